// The tray icon beyond the notification area's record: the menu handed to
// hosts that draw it themselves, where the hand-shown menu opens, and what
// a click on a balloon sent as a desktop notification does.
#include "mainframe/TrayIcon.h"
#include "res/resources.h"
#include "shared/Messages.h"
#include "testsupport.h"

namespace {

class TrayIconTest : public ComponentTest {
protected:
    void SetUp() override {
        ComponentTest::SetUp();
        RegisterResources();
        ASSERT_TRUE(owner.CreateTopLevel());
    }
    void TearDown() override {
        owner.DestroyWindow();
        ComponentTest::TearDown();
    }
    RecordingWnd owner{{WM_APP_TRAY_NOTIFY, WM_COMMAND}};
};

TEST_F(TrayIconTest, AddingTheIconHandsOverTheTrayMenu) {
    CTrayIcon icon;
    ASSERT_TRUE(icon.AddIcon(&owner, WM_APP_TRAY_NOTIFY, "벨크"));
    ASSERT_EQ(fakes.tray.menu.size(), 3u);
    EXPECT_EQ(fakes.tray.menu[0].id, ID_TRAY_REFRESH);
    EXPECT_EQ(fakes.tray.menu[0].text, "새로고침");
    EXPECT_EQ(fakes.tray.menu[1].id, 0u);
    EXPECT_EQ(fakes.tray.menu[2].id, ID_TRAY_EXIT);
    EXPECT_EQ(fakes.tray.menu[2].text, "종료");
}

TEST_F(TrayIconTest, AMenuAskedForByAnIconOpensAtTheIconOnce) {
    struct Case {
        const char* name;
        std::optional<POINT> iconPlace;
        POINT expected;
    };
    const POINT pointer{40, 50};
    const Case cases[] = {
        {"no icon asked", std::nullopt, pointer},
        {"the icon asked", POINT{1200, 1010}, POINT{1200, 1010}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fakes.menus.places.clear();
        fakes.tray.menuPlace = c.iconPlace;
        HMENU menu = LoadMenuW(nullptr, IDR_TRAY_MENU);
        ASSERT_NE(menu, nullptr);
        // The second menu has no request behind it: the pointer's place.
        for (int i = 0; i < 2; ++i)
            TrackPopupMenu(GetSubMenu(menu, 0), TPM_RIGHTBUTTON, pointer.x, pointer.y, 0,
                           owner.m_hWnd, nullptr);
        DestroyMenu(menu);
        const auto xy = [](POINT p) { return std::make_pair(p.x, p.y); };
        ASSERT_EQ(fakes.menus.places.size(), 2u);
        EXPECT_EQ(xy(fakes.menus.places[0]), xy(c.expected));
        EXPECT_EQ(xy(fakes.menus.places[1]), xy(pointer));
    }
}

TEST_F(TrayIconTest, ClickingABalloonShownAsANotificationClicksTheIcon) {
    fakes.tray.available = false;
    CTrayIcon icon;
    ASSERT_TRUE(icon.AddIcon(&owner, WM_APP_TRAY_NOTIFY, "벨크"));
    ASSERT_TRUE(icon.ShowBalloon("삼성전자 목표가 도달"));
    ASSERT_EQ(fakes.notifications.clicks.size(), 1u);
    DeliverPostedMessages();
    EXPECT_TRUE(owner.received.empty()) << "nothing before the click";
    fakes.notifications.clicks[0]();
    DeliverPostedMessages();
    EXPECT_EQ(
        owner.received,
        (std::vector<Recorded>{{WM_APP_TRAY_NOTIFY, 0, static_cast<LPARAM>(WM_LBUTTONDOWN)}}));
}

}  // namespace
