// The popup browser window on the manual clock: where it appears, its fade
// and slides step by step, its automatic close, the place a type-2 popup
// remembers, what its page's commands do and where they go, and values from
// packets that are out of any sensible range.
#include <QCursor>
#include <QWidget>
#include <cmath>

#include "AppTest.h"
#include "browser/MyBrowser.h"
#include "platform/desktop.h"
#include "shared/Forwarding.h"
#include "shared/Service.h"

namespace {

using ObservedPopup = Observed<CMyBrowser>;

// The alpha of the window's opacity (0 to 255).
int Alpha(const CWnd* w) {
    return static_cast<int>(std::lround(w->GetPeer()->windowOpacity() * 255.0));
}

// The alpha that the layered-window helper gives a percentage.
int AlphaOfPercent(int percent) {
    return percent * 255 / 100;
}

class PopupBrowserTest : public PageWindowTest {
protected:
    void SetUp() override {
        PageWindowTest::SetUp();
        UseProfile();
    }

    // A popup made from a command-22 packet with `fields` and shown, as the
    // main window does it.
    ObservedPopup* Open(const QString& fields) {
        auto* popup = new ObservedPopup();
        CPacket packet(Command(22, fields));
        EXPECT_TRUE(popup->Create(&packet, nullptr));
        windows.push_back(popup->m_hWnd);
        popup->ShowWindow(SW_SHOW);
        return popup;
    }

    // A packet from the popup's page, posted as the browser client does;
    // then what its handling posted (a close, a move request).
    static void FromPage(CMyBrowser* popup, const QString& text) {
        popup->PostMessage(WM_APP_PACKET, reinterpret_cast<WPARAM>(new CPacket(text)), 0);
        DeliverPostedMessages();
        DeliverPostedMessages();
    }

    // Announces a fake browser whose window is a child of the popup.
    CefRefPtr<FakeBrowser> Attach(CMyBrowser* popup) { return AttachBrowser(popup, QString()); }
};

// ---------------------------------------------------------------------------
// Creation and placement.

TEST_F(PopupBrowserTest, DefaultPopupSitsInTheWorkAreasBottomRightCorner) {
    struct Case {
        const char* taskbar;
        RECT available;
        RECT expected;
    };
    const Case cases[] = {
        {"bottom", {0, 0, 1920, 1040}, {1700, 860, 1920, 1040}},
        {"right", {0, 0, 1860, 1080}, {1640, 900, 1860, 1080}},
        {"top", {0, 40, 1920, 1080}, {1700, 900, 1920, 1080}},
        {"left", {60, 0, 1920, 1080}, {1700, 900, 1920, 1080}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.taskbar);
        fakes.screen.Set(RECT{0, 0, 1920, 1080}, c.available);
        ObservedPopup* popup = Open("");
        EXPECT_EQ(popup->m_rcTarget, c.expected);
        EXPECT_EQ(WindowRect(popup), c.expected);
        EXPECT_EQ(popup->m_nType, 3);
    }
}

TEST_F(PopupBrowserTest, WindowIsABorderlessHandCursorPopupThatNeverTakesTheFocus) {
    ObservedPopup* popup = Open("<DLGTIT>알림</DLGTIT>");
    EXPECT_EQ(popup->GetPeer()->objectName(), "ZUNTABROWSER");
    EXPECT_EQ(popup->GetPeer()->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(popup->GetStyle() & ~WS_VISIBLE, WS_POPUP | WS_SYSMENU);
    // Layered from its creation: it is first seen translucent.
    EXPECT_EQ(popup->GetExStyle(), WS_EX_NOACTIVATE | WS_EX_LAYERED);
    EXPECT_TRUE(popup->GetPeer()->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(popup->GetPeer()->windowFlags() & Qt::WindowDoesNotAcceptFocus);
    EXPECT_TRUE(popup->GetPeer()->testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_TRUE(popup->IsWindowVisible());
    EXPECT_EQ(popup->GetWindowText(), "알림");
    // Without DLGTIT the window text is empty once created.
    EXPECT_EQ(Open("")->GetWindowText(), "");
}

TEST_F(PopupBrowserTest, ExplicitPlacementAndEachSlidesFirstPlaceFromTheCreation) {
    struct Case {
        QString fields;
        RECT first;  // from the creation until the first step
    };
    const Case cases[] = {
        {"<XX>10</XX><YY>20</YY><WW>300</WW><HH>100</HH>", {10, 20, 310, 120}},
        {"<ANIM>2</ANIM><XX>10</XX><YY>20</YY><WW>300</WW><HH>100</HH>", {10, 120, 310, 220}},
        {"<ANIM>3</ANIM><XX>10</XX><YY>20</YY><WW>300</WW><HH>100</HH>", {310, 20, 610, 120}},
        // Any other ANIM: one height below, and it stays there.
        {"<ANIM>7</ANIM><XX>10</XX><YY>20</YY><WW>300</WW><HH>100</HH>", {10, 120, 310, 220}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fields.toStdString());
        ObservedPopup* popup = Open(c.fields);
        EXPECT_EQ(WindowRect(popup), c.first);
        clock.Advance(100);
        EXPECT_EQ(WindowRect(popup), c.first);
        clock.Advance(1000);
        const bool stays = c.fields.contains("<ANIM>7");
        EXPECT_EQ(WindowRect(popup), stays ? c.first : (RECT{10, 20, 310, 120}));
        DestroyWindow(popup->m_hWnd);
    }
}

// ---------------------------------------------------------------------------
// The start: browser and address.

TEST_F(PopupBrowserTest, BrowserStartsAfter100MsOnTheLoginPageOrAnAddressBasedOnIt) {
    struct Case {
        QString fields;
        QString url;
    };
    const Case cases[] = {
        {"", LoginUrl()},
        {"<URL></URL>", LoginUrl()},
        {"<URL>?notice=7</URL>", LoginUrl() + "?notice=7"},
        {"<URL>http://127.0.0.1:18480/alarm.html</URL>", "http://127.0.0.1:18480/alarm.html"},
        {"<URL>https://example.com/a</URL>", "https://example.com/a"},
        // Only "http" at the very start counts, as written.
        {"<URL>Http://example.com/</URL>", LoginUrl() + "Http://example.com/"},
        {"<URL> http://example.com/</URL>", LoginUrl() + " http://example.com/"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fields.toStdString());
        factory.requests.clear();
        ObservedPopup* popup = Open(c.fields);
        clock.Advance(99);
        EXPECT_TRUE(factory.requests.empty());
        clock.Advance(1);
        ASSERT_EQ(factory.requests.size(), 1u);
        EXPECT_EQ(factory.requests[0].url, c.url);
        EXPECT_EQ(factory.requests[0].windowInfo.parent_window, popup->m_hWnd);
        EXPECT_EQ(factory.requests[0].windowInfo.width, 220);
        EXPECT_EQ(factory.requests[0].windowInfo.height, 180);
        DestroyWindow(popup->m_hWnd);
    }
}

TEST_F(PopupBrowserTest, BrowserWindowFollowsThePopupsSize) {
    ObservedPopup* popup = Open("");
    clock.Advance(100);
    CefRefPtr<FakeBrowser> browser = Attach(popup);
    ASSERT_EQ(popup->Browser().get(), browser.get());
    popup->MoveWindow(RECT{100, 100, 400, 350}, TRUE);
    EXPECT_EQ(WindowRect(browserWindows[0].get()), (RECT{100, 100, 400, 350}));
}

// ---------------------------------------------------------------------------
// The fade and the slides.

TEST_F(PopupBrowserTest, OpacityRisesFrom20PercentStepByStep) {
    struct Case {
        QString fields;
        std::vector<int> percents;  // after each step
    };
    const Case cases[] = {
        {"", {20, 20, 30, 40, 50, 60, 70, 80, 90, 100}},
        {"<ANIM_TIME>4</ANIM_TIME>", {25, 50, 75, 100}},
        {"<ANIM_TIME>3</ANIM_TIME>", {33, 66, 100}},
        {"<ANIM_TIME>1</ANIM_TIME>", {100}},
        // Fewer than one step: the first step is the last.
        {"<ANIM_TIME>0</ANIM_TIME>", {100}},
        {"<ANIM_TIME>-3</ANIM_TIME>", {100}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fields.toStdString());
        ObservedPopup* popup = Open(c.fields);
        clock.Advance(100);
        EXPECT_TRUE(popup->GetExStyle() & WS_EX_LAYERED);
        EXPECT_EQ(Alpha(popup), AlphaOfPercent(20));
        for (size_t i = 0; i < c.percents.size(); ++i) {
            clock.Advance(100);
            EXPECT_EQ(Alpha(popup), AlphaOfPercent(c.percents[i])) << "step " << i + 1;
            EXPECT_EQ(popup->m_nStep, static_cast<int>(i + 1));
        }
        // No step after the last.
        clock.Advance(500);
        EXPECT_EQ(popup->m_nStep, static_cast<int>(c.percents.size()));
        DestroyWindow(popup->m_hWnd);
    }
}

TEST_F(PopupBrowserTest, SlidesMoveByTheTruncatedShareOfEachStep) {
    struct Case {
        QString fields;
        std::vector<POINT> corners;  // top-left after each step
    };
    const QString target = "<XX>1000</XX><YY>500</YY><WW>220</WW><HH>180</HH>";
    const Case cases[] = {
        {"<ANIM>2</ANIM><ANIM_TIME>4</ANIM_TIME>",
         {{1000, 635}, {1000, 590}, {1000, 545}, {1000, 500}}},
        {"<ANIM>2</ANIM><ANIM_TIME>7</ANIM_TIME>",
         {{1000, 655},
          {1000, 629},
          {1000, 603},
          {1000, 578},
          {1000, 552},
          {1000, 526},
          {1000, 500}}},
        {"<ANIM>3</ANIM><ANIM_TIME>4</ANIM_TIME>",
         {{1165, 500}, {1110, 500}, {1055, 500}, {1000, 500}}},
        {"<ANIM>3</ANIM><ANIM_TIME>3</ANIM_TIME>", {{1147, 500}, {1074, 500}, {1000, 500}}},
        {"<ANIM>2</ANIM><ANIM_TIME>0</ANIM_TIME>", {{1000, 500}}},
        {"<ANIM>3</ANIM><ANIM_TIME>-1</ANIM_TIME>", {{1000, 500}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fields.toStdString());
        ObservedPopup* popup = Open(c.fields + target);
        clock.Advance(100);
        for (size_t i = 0; i < c.corners.size(); ++i) {
            clock.Advance(100);
            const RECT r = WindowRect(popup);
            EXPECT_EQ(r.left, c.corners[i].x) << "step " << i + 1;
            EXPECT_EQ(r.top, c.corners[i].y) << "step " << i + 1;
            EXPECT_EQ(r.right - r.left, 220);
            EXPECT_EQ(r.bottom - r.top, 180);
        }
        DestroyWindow(popup->m_hWnd);
    }
}

TEST_F(PopupBrowserTest, WithoutLayeredWindowsThePopupIsOpaqueAndStillSlidesAndCloses) {
    fakes.modules.entryPointMissing = true;
    ObservedPopup* popup = Open("<ANIM>2</ANIM><ANIM_TIME>2</ANIM_TIME><CLOSESEC>1</CLOSESEC>");
    const HWND h = popup->m_hWnd;
    clock.Advance(100);
    EXPECT_FALSE(popup->GetExStyle() & WS_EX_LAYERED);
    EXPECT_EQ(Alpha(popup), 255);
    clock.Advance(200);
    EXPECT_EQ(WindowRect(popup).top, 860);
    clock.Advance(1000);
    EXPECT_FALSE(IsWindow(h));
}

// ---------------------------------------------------------------------------
// Closing.

TEST_F(PopupBrowserTest, ClosesCloseSecSecondsAfterTheLastStep) {
    struct Case {
        QString fields;
        long long lastStepMs;  // from creation
        long long openForMs;   // after the last step; -1: stays open
    };
    const Case cases[] = {
        {"", 1100, 3000},
        {"<CLOSESEC>1</CLOSESEC><ANIM_TIME>2</ANIM_TIME>", 300, 1000},
        {"<CLOSESEC>0</CLOSESEC>", 1100, -1},
        {"<CLOSESEC>-4</CLOSESEC>", 1100, -1},
        // Beyond the longest timer: that long, never a short or negative one.
        {"<CLOSESEC>2147483647</CLOSESEC><ANIM_TIME>1</ANIM_TIME>", 200, 0x7FFFFFFF},
        {"<CLOSESEC>9999999999</CLOSESEC><ANIM_TIME>1</ANIM_TIME>", 200, 0x7FFFFFFF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fields.toStdString());
        const int before = WindowCount();
        ObservedPopup* popup = Open(c.fields);
        const HWND h = popup->m_hWnd;
        clock.Advance(c.lastStepMs);
        ASSERT_TRUE(IsWindow(h));
        EXPECT_EQ(Alpha(popup), 255);
        if (c.openForMs < 0) {
            clock.Advance(24LL * 3600 * 1000);
            EXPECT_TRUE(IsWindow(h));
            DestroyWindow(h);
        } else {
            clock.Advance(c.openForMs - 1);
            EXPECT_TRUE(IsWindow(h));
            clock.Advance(1);
            EXPECT_FALSE(IsWindow(h));
        }
        EXPECT_EQ(WindowCount(), before);
    }
}

TEST_F(PopupBrowserTest, TypeTwoPopupReopensWhereTheLastOneWasClosed) {
    const QString fields = "<TP>2</TP><XX>100</XX><YY>200</YY><WW>300</WW><HH>150</HH>";
    ObservedPopup* first = Open(fields);
    EXPECT_EQ(WindowRect(first), (RECT{100, 200, 400, 350}));
    first->MoveWindow(RECT{40, 50, 290, 170}, TRUE);
    first->SendMessage(WM_CLOSE);

    // The packet's place gives way to the saved one.
    ObservedPopup* second = Open(fields);
    EXPECT_EQ(second->m_rcTarget, (RECT{40, 50, 290, 170}));
    EXPECT_EQ(WindowRect(second), (RECT{40, 50, 290, 170}));
    // Other types neither read nor write the place.
    ObservedPopup* other = Open("<XX>100</XX><YY>200</YY><WW>300</WW><HH>150</HH>");
    EXPECT_EQ(WindowRect(other), (RECT{100, 200, 400, 350}));
    other->MoveWindow(RECT{0, 0, 10, 10}, TRUE);
    other->SendMessage(WM_CLOSE);
    EXPECT_EQ(Open(fields)->m_rcTarget, (RECT{40, 50, 290, 170}));
}

TEST_F(PopupBrowserTest, ClosedByItsPageBeforeItsBrowserArrived) {
    const int before = WindowCount();
    ObservedPopup* popup = Open("");
    const HWND h = popup->m_hWnd;
    clock.Advance(100);
    ASSERT_EQ(factory.requests.size(), 1u);
    auto window = std::make_unique<CWnd>();
    ASSERT_TRUE(window->Create("Browser", "", WS_CHILD | WS_VISIBLE, RECT{0, 0, 10, 10}, popup, 1));
    CefRefPtr<FakeBrowser> browser = FakeBrowser::Create(window->m_hWnd);
    browser->client = app.m_clientApp->m_handler;

    FromPage(popup, Command(1));
    EXPECT_FALSE(IsWindow(h));
    // The browser announced late, its steps and its close all find nothing.
    browser->AnnounceCreated();
    clock.Advance(10000);
    EXPECT_EQ(WindowCount(), before);

    // Closed before the start: no browser is asked for.
    factory.requests.clear();
    ObservedPopup* early = Open("");
    early->SendMessage(WM_CLOSE);
    clock.Advance(1000);
    EXPECT_TRUE(factory.requests.empty());
    EXPECT_EQ(WindowCount(), before);
}

// ---------------------------------------------------------------------------
// The page's commands.

TEST_F(PopupBrowserTest, PageCommandsActOnThePopupOrGoOnToTheMainWindow) {
    struct Case {
        QString text;
        std::vector<Got> forwarded;
    };
    const QString k9010 = "<PKT><GBN>9010</GBN><CODE>200</CODE></PKT>";
    const QString k9009 = "<PKT><GBN>9009</GBN><LOADING>1</LOADING></PKT>";
    const Case cases[] = {
        // Other kinds, the popup's own load events among them.
        {k9010, {{k9010, SENDER_OTHER_KIND}}},
        {k9009, {{k9009, SENDER_OTHER_KIND}}},
        // Commands the popup has no rule for, unchanged and without a requester.
        {Command(19, "<XX>1</XX>"), {{Command(19, "<XX>1</XX>"), SENDER_NO_WINDOW}}},
        {Command(26, "<MSG>m</MSG>"), {{Command(26, "<MSG>m</MSG>"), SENDER_NO_WINDOW}}},
        {Command(30), {{Command(30), SENDER_NO_WINDOW}}},
        {Command(31), {{Command(31), SENDER_NO_WINDOW}}},
        {Command(52, "<SCALE>2</SCALE>"), {{Command(52, "<SCALE>2</SCALE>"), SENDER_NO_WINDOW}}},
        {Command(99999), {{Command(99999), SENDER_NO_WINDOW}}},
        {Command(-1), {{Command(-1), SENDER_NO_WINDOW}}},
        // Dropped.
        {Command(6), {}},
        {Command(21, "<V>50</V>"), {}},
        {Command(22), {}},
        {Command(25), {}},
        // Carried out on the popup.
        {Command(2), {}},
        {Command(24), {}},
        {Command(23, "<URL>http://example.com/x</URL>"), {}},
    };
    ObservedPopup* popup = Open("");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        mainWnd.packets.clear();
        FromPage(popup, c.text);
        EXPECT_EQ(mainWnd.packets, c.forwarded);
    }
    EXPECT_TRUE(popup->IsIconic());
    EXPECT_EQ(fakes.urlOpener.opened, QStringList({"http://example.com/x"}));
}

TEST_F(PopupBrowserTest, MoveAndResizeCommandsStartTheSystemLoopWithoutChangingTheStyle) {
    ObservedPopup* popup = Open("");
    for (int cmd = 10; cmd <= 18; ++cmd)
        FromPage(popup, Command(cmd));
    EXPECT_EQ(popup->moveRequests,
              (std::vector<int>{HTCAPTION, HTTOP, HTBOTTOM, HTTOPLEFT, HTBOTTOMRIGHT, HTTOPRIGHT,
                                HTBOTTOMLEFT, HTLEFT, HTRIGHT}));
    EXPECT_EQ(popup->GetStyle() & ~WS_VISIBLE, WS_POPUP | WS_SYSMENU);
    EXPECT_TRUE(mainWnd.packets.empty());
}

TEST_F(PopupBrowserTest, CloseCommandClosesThePopupAndItsObjectGoes) {
    const int before = WindowCount();
    ObservedPopup* popup = Open("");
    std::shared_ptr<bool> alive = popup->AliveToken();
    FromPage(popup, Command(1));
    EXPECT_FALSE(*alive);
    EXPECT_EQ(WindowCount(), before);
}

TEST_F(PopupBrowserTest, ChatWindowBesideATypeTwoPopup) {
    struct Case {
        QString fields;
        RECT popupAfter;
        QString request;  // the fields after CMD 20's own
    };
    const QString url = "<URL>http://127.0.0.1:18480/side.html</URL>";
    const Case cases[] = {
        // 200 wide, its right edge 100 from the work area's: moved 101 left,
        // and the chat window's right edge on the work area's.
        {"<XX>1620</XX><YY>500</YY><WW>200</WW><HH>150</HH>",
         {1519, 500, 1719, 650},
         "<XX>1720</XX><YY>500</YY><WW>200</WW><HH>150</HH>"},
        // Room enough: the popup stays, the chat window one pixel right of it.
        {"<XX>100</XX><YY>40</YY><WW>300</WW><HH>120</HH>",
         {100, 40, 400, 160},
         "<XX>401</XX><YY>40</YY><WW>300</WW><HH>120</HH>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fields.toStdString());
        QSettings(QSettings::NativeFormat, QSettings::UserScope, "VelkTest", "PopupBrowserTest")
            .clear();
        ObservedPopup* popup = Open("<TP>2</TP><DLGTIT>시세 알림</DLGTIT>" + c.fields);
        mainWnd.packets.clear();
        FromPage(popup, Command(20, url));
        EXPECT_EQ(WindowRect(popup), c.popupAfter);
        EXPECT_EQ(mainWnd.packets,
                  (std::vector<Got>{{Command(20, url + "<DLGTIT>시세 알림,s</DLGTIT>" + c.request),
                                     SenderOf(popup)}}));
        DestroyWindow(popup->m_hWnd);
    }
}

TEST_F(PopupBrowserTest, ChatWindowRequestFromAnyOtherTypeGoesOnUnchanged) {
    ObservedPopup* popup = Open("<XX>1620</XX><YY>500</YY><WW>200</WW><HH>150</HH>");
    const QString text = Command(20, "<TP>4</TP><DLGTIT>x</DLGTIT>");
    FromPage(popup, text);
    EXPECT_EQ(WindowRect(popup), (RECT{1620, 500, 1820, 650}));
    EXPECT_EQ(mainWnd.packets, (std::vector<Got>{{text, SENDER_NO_WINDOW}}));
}

// ---------------------------------------------------------------------------
// Values out of any sensible range.

TEST_F(PopupBrowserTest, BadNumbersGiveABoundedWindowAndAnimateWithoutOverflow) {
    struct Case {
        QString fields;
        RECT target;
    };
    const Case cases[] = {
        {"<WW>99999999999</WW><HH>-5</HH>", {0, 1040, 1920, 1040}},
        {"<WW>-2147483648</WW><HH>2147483647</HH>", {1920, 0, 1920, 1040}},
        {"<WW>abc</WW><HH>x1</HH><XX>abc</XX><YY></YY>", {0, 0, 0, 0}},
        {"<XX>2147483647</XX><YY>-2147483648</YY>", {16777216, -16777216, 16777436, -16777036}},
        {"<XX>-99999999999</XX><YY>99999999999</YY><ANIM>2</ANIM>",
         {-16777216, 16777216, -16776996, 16777396}},
        {"<ANIM>x</ANIM><ANIM_TIME>abc</ANIM_TIME><CLOSESEC>abc</CLOSESEC>",
         {1700, 860, 1920, 1040}},
        {"<ANIM>3</ANIM><ANIM_TIME>-2147483648</ANIM_TIME><CLOSESEC>-2147483648</CLOSESEC>",
         {1700, 860, 1920, 1040}},
        {"<ANIM>2147483647</ANIM><ANIM_TIME>2147483647</ANIM_TIME>", {1700, 860, 1920, 1040}},
        {"<TP>99999999999</TP><ANIM>-2147483648</ANIM>", {1700, 860, 1920, 1040}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fields.toStdString());
        const int before = WindowCount();
        ObservedPopup* popup = Open(c.fields);
        EXPECT_EQ(popup->m_rcTarget, c.target);
        clock.Advance(2000);
        EXPECT_TRUE(IsWindow(popup->m_hWnd));
        popup->SendMessage(WM_CLOSE);
        EXPECT_EQ(WindowCount(), before);
    }
}

}  // namespace
