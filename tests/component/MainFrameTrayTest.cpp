// The main frame's icon in the notification area: its tip, what a click
// does to the main chat window, the tray menu with its refresh and exit,
// and the icon's removal when the main frame closes.
#include <optional>

#include "MainFrameFixture.h"
#include "framework/internal.h"
#include "res/resources.h"

namespace {

TEST_F(MainFrameTest, TrayTipIsTheWintitSetting) {
    struct Case {
        const char* name;
        std::optional<QByteArray> ini;
        QString tip;
    };
    const Case cases[] = {
        {"no settings file", std::nullopt, "벨크"},
        {"empty settings file", QByteArray(), "벨크"},
        {"WINTIT", QByteArray("[APP]\r\nWINTIT=벨크톡\r\n"), "벨크톡"},
        // Cut to the field's 127 characters.
        {"long WINTIT", "[APP]\r\nWINTIT=" + QByteArray(200, 'a') + "\r\n", QString(127, 'a')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DestroyAll();
        SetIni(c.ini);
        ASSERT_TRUE(CreateMain());
        EXPECT_TRUE(fakes.tray.present);
        EXPECT_EQ(fakes.tray.tip, c.tip);
    }
}

// ---------------------------------------------------------------------------
// The tray icon.

TEST_F(MainFrameTest, LeftClickOpensOrRevealsTheMainChatWindow) {
    enum State { kNotYetOpen, kHidden, kVisible, kMinimised, kClosed, kClosedNoticePending };
    struct Case {
        const char* name;
        State state;
        bool sameWindow;
    };
    const Case cases[] = {
        {"not yet open", kNotYetOpen, false},
        {"hidden", kHidden, true},
        {"visible", kVisible, true},
        {"minimised", kMinimised, true},
        {"closed", kClosed, false},
        {"closed, notice still pending", kClosedNoticePending, false},
    };
    for (UINT mouse : {WM_LBUTTONDOWN, WM_LBUTTONDBLCLK}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(QString("%1 %2").arg(mouse).arg(c.name).toStdString());
            DestroyAll();
            ASSERT_TRUE(CreateMain());
            HWND before = nullptr;
            if (c.state != kNotYetOpen) {
                CMyBrowserFrame* chat = StartMainChat();
                ASSERT_NE(chat, nullptr);
                before = chat->m_hWnd;
                switch (c.state) {
                    case kHidden:
                        chat->ShowWindow(SW_HIDE);
                        break;
                    case kMinimised:
                        chat->ShowWindow(SW_MINIMIZE);
                        ASSERT_TRUE(chat->IsIconic());
                        break;
                    case kClosed:
                        chat->SendMessage(WM_CLOSE);
                        DeliverPostedMessages();
                        break;
                    case kClosedNoticePending:
                        chat->SendMessage(WM_CLOSE);
                        break;
                    default:
                        break;
                }
            }
            // The icon's id in wParam; only the low word of lParam counts.
            EXPECT_EQ(TrayNotify(static_cast<LPARAM>(0x12340000u | mouse)), 1);
            CMyBrowserFrame* now = main->GetMainChatFrame(CMainFrame::FindOnly);
            ASSERT_NE(now, nullptr);
            EXPECT_EQ(now->m_hWnd == before, c.sameWindow);
            EXPECT_TRUE(now->IsWindowVisible());
            EXPECT_FALSE(now->IsIconic());
            EXPECT_EQ(CountOfKind(1), 1);
            // The main chat window's own start finds it there.
            clock.Advance(100);
            EXPECT_EQ(CountOfKind(1), 1);
        }
    }
}

TEST_F(MainFrameTest, OtherMouseMessagesDoNothing) {
    int menus = 0;
    fakes.menus.choose = [&](const std::vector<MenuItemTemplate>&) {
        ++menus;
        return ID_TRAY_EXIT;
    };
    ASSERT_TRUE(CreateMain());
    CMyBrowserFrame* chat = StartMainChat();
    chat->ShowWindow(SW_HIDE);
    for (UINT mouse : {WM_RBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONUP, 0u, 0x0206u}) {
        SCOPED_TRACE(mouse);
        EXPECT_EQ(TrayNotify(mouse), 1);
        DeliverPostedMessages();
    }
    EXPECT_EQ(menus, 0);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_FALSE(chat->IsWindowVisible());
    EXPECT_EQ(main->RegisteredFrames().size(), 1u);
}

TEST_F(MainFrameTest, RightButtonReleaseShowsTheTrayMenu) {
    std::vector<MenuItemTemplate> seen;
    int menus = 0;
    fakes.menus.choose = [&](const std::vector<MenuItemTemplate>& items) {
        seen = items;
        ++menus;
        return 0u;  // dismissed
    };
    ASSERT_TRUE(CreateMain());
    EXPECT_EQ(TrayNotify(static_cast<LPARAM>(0x00050000u | WM_RBUTTONUP)), 1);
    EXPECT_EQ(menus, 1);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].id, ID_TRAY_REFRESH);
    EXPECT_EQ(seen[0].text, "새로고침");
    EXPECT_EQ(seen[1].id, 0u);
    EXPECT_EQ(seen[2].id, ID_TRAY_EXIT);
    EXPECT_EQ(seen[2].text, "종료");
    DeliverPostedMessages();
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_TRUE(main->RegisteredFrames().empty());
    EXPECT_TRUE(IsWindow(mainHwnd));
}

TEST_F(MainFrameTest, RefreshRevealsTheMainChatWindowAndReloadsItsPage) {
    enum State { kNone, kNoBrowser, kHidden, kVisible, kMinimised };
    struct Case {
        const char* name;
        State state;
        int reloads;
    };
    const Case cases[] = {
        {"no main chat window", kNone, 0},
        {"no browser yet", kNoBrowser, 0},
        {"hidden", kHidden, 1},
        {"visible", kVisible, 1},
        {"minimised", kMinimised, 1},
    };
    UINT choice = ID_TRAY_REFRESH;
    fakes.menus.choose = [&](const std::vector<MenuItemTemplate>&) { return choice; };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DestroyAll();
        ASSERT_TRUE(CreateMain());
        CefRefPtr<FakeBrowser> browser;
        HWND before = nullptr;
        if (c.state != kNone) {
            CMyBrowserFrame* chat = StartMainChat();
            ASSERT_NE(chat, nullptr);
            before = chat->m_hWnd;
            if (c.state != kNoBrowser)
                browser = Attach(chat);
            if (c.state == kHidden)
                chat->ShowWindow(SW_HIDE);
            if (c.state == kMinimised)
                chat->ShowWindow(SW_MINIMIZE);
        }
        TrayNotify(WM_RBUTTONUP);
        DeliverPostedMessages();
        CMyBrowserFrame* now = main->GetMainChatFrame(CMainFrame::FindOnly);
        ASSERT_NE(now, nullptr);
        if (before) {
            EXPECT_EQ(now->m_hWnd, before);
        }
        EXPECT_TRUE(now->IsWindowVisible());
        EXPECT_FALSE(now->IsIconic());
        EXPECT_EQ(CountOfKind(1), 1);
        if (browser) {
            EXPECT_EQ(browser->reloads, c.reloads);
            EXPECT_EQ(browser->reloadsIgnoringCache, 0);
        }
        EXPECT_TRUE(boxes.shown.empty());
    }
}

TEST_F(MainFrameTest, ExitAskedAndAnsweredNoChangesNothing) {
    struct Case {
        const char* name;
        std::optional<QByteArray> ini;
        QString question;
    };
    const Case cases[] = {
        {"no settings file", std::nullopt, "VelkApp 를 종료하시겠습니까?"},
        {"empty settings file", QByteArray(), "VelkApp 를 종료하시겠습니까?"},
        {"WINTIT", QByteArray("[APP]\r\nWINTIT=벨크톡\r\n"), "벨크톡 를 종료하시겠습니까?"},
    };
    fakes.menus.choose = [](const std::vector<MenuItemTemplate>&) { return ID_TRAY_EXIT; };
    boxes.answer = IDNO;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DestroyAll();
        SetIni(c.ini);
        ASSERT_TRUE(CreateMain());
        CMyBrowserFrame* chat = StartMainChat();
        ASSERT_NE(chat, nullptr);
        TrayNotify(WM_RBUTTONUP);
        DeliverPostedMessages();
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].text, c.question);
        EXPECT_EQ(boxes.shown[0].type, MB_YESNO);
        EXPECT_EQ(boxes.shown[0].caption, "MainFrameTest");
        DeliverPostedMessages();
        EXPECT_TRUE(IsWindow(mainHwnd));
        EXPECT_TRUE(chat->IsWindowVisible());
        EXPECT_TRUE(fakes.tray.present);
        EXPECT_FALSE(framework::QuitPosted());
        EXPECT_EQ(main->RegisteredFrames(), (std::vector<CMyBrowserFrame*>{chat}));
    }
}

TEST_F(MainFrameTest, ExitAnsweredYesHidesTheMainChatWindowThenClosesTheMainFrame) {
    struct Case {
        const char* name;
        bool withChat;
    };
    const Case cases[] = {{"with the main chat window", true}, {"without", false}};
    fakes.menus.choose = [](const std::vector<MenuItemTemplate>&) { return ID_TRAY_EXIT; };
    boxes.answer = IDYES;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DestroyAll();
        ASSERT_TRUE(CreateMain());
        CMyBrowserFrame* chat = nullptr;
        HWND chatWnd = nullptr;
        if (c.withChat) {
            chat = StartMainChat();
            ASSERT_NE(chat, nullptr);
            chatWnd = chat->m_hWnd;
            frames.push_back(chatWnd);  // outlives the main frame
        }
        TrayNotify(WM_RBUTTONUP);
        DeliverPostedMessages();  // the command
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].type, MB_YESNO);
        if (chat) {
            EXPECT_FALSE(chat->IsWindowVisible());
        }
        EXPECT_TRUE(IsWindow(mainHwnd)) << "the close is posted";
        EXPECT_TRUE(fakes.tray.present);
        DeliverPostedMessages();  // the close
        EXPECT_FALSE(IsWindow(mainHwnd));
        EXPECT_FALSE(fakes.tray.present);
        EXPECT_TRUE(framework::QuitPosted());
        EXPECT_EQ(app.m_pMainWnd, nullptr);
        // The main frame does not close the chat frames itself.
        if (chatWnd) {
            EXPECT_TRUE(IsWindow(chatWnd));
        }
        main = nullptr;
        mainHwnd = nullptr;
    }
}

TEST_F(MainFrameTest, CloseRemovesTheTrayIcon) {
    ASSERT_TRUE(CreateMain());
    ASSERT_TRUE(fakes.tray.present);
    main->SendMessage(WM_CLOSE);
    EXPECT_FALSE(IsWindow(mainHwnd));
    EXPECT_FALSE(fakes.tray.present);
    main = nullptr;
    mainHwnd = nullptr;
}

}  // namespace
