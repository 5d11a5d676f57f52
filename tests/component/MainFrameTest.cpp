// The hidden main frame with real chat frames and fake browsers: its window
// and client view, the main chat window it opens and its creation packet,
// and the packet commands that windows pass up to it. Its registry, tray
// icon and hand-off have files of their own (MainFrame*Test.cpp).
#include <QWidget>
#include <optional>

#include "MainFrameFixture.h"
#include "framework/internal.h"
#include "mainframe/ChildView.h"
#include "shared/Service.h"

namespace {

LPARAM Context(CWnd* w) {
    return reinterpret_cast<LPARAM>(w);
}

const QString kDefaultCreationPacket =
    "<PKT><GBN>0</GBN><DLGTIT>벨크</DLGTIT><TP>1</TP><URL>about:blank</URL><LMIW>1200</LMIW>"
    "<LMIH>720</LMIH><WW>1920</WW><HH>1040</HH><XX>C</XX><YY>C</YY><XGAP>1</XGAP><YGAP>1</YGAP>"
    "<BORDERCOLOR>4210752</BORDERCOLOR><HDR>1</HDR></PKT>";

// ---------------------------------------------------------------------------
// Creation.

TEST_F(MainFrameTest, LoadFrameMakesATopmostToolWindowCentredOnTheDesktop) {
    struct Case {
        RECT screen;
        QString winnm;  // empty: not among the launch parameters
        QString title;
        int x, y;
    };
    const Case cases[] = {
        {{0, 0, 1920, 1080}, "", "VelkApp", 910, 490},
        {{0, 0, 1366, 768}, "벨크메인", "벨크메인", 633, 334},
        {{0, 0, 1025, 769}, "Main", "Main", 462, 334},
        // Truncated toward zero.
        {{0, 0, 51, 51}, "Main", "Main", -24, -24},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title.toStdString());
        DestroyAll();
        fakes.screen.Set(c.screen, c.screen);
        ResetParams();
        if (!c.winnm.isEmpty())
            app.m_params.SetString("WINNM", c.winnm);
        ASSERT_TRUE(LoadMain());
        EXPECT_EQ(main->GetWindowText(), c.title);
        // The window's class is the CLSNM setting.
        EXPECT_EQ(main->GetPeer()->objectName(), app.m_params.GetString("CLSNM", ""));
        EXPECT_EQ(WindowRect(main), (RECT{c.x, c.y, c.x + 100, c.y + 100}));
        EXPECT_EQ(main->GetStyle(), WS_POPUP | WS_VISIBLE | WS_SYSMENU);
        EXPECT_EQ(main->GetExStyle(),
                  static_cast<DWORD>(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_WINDOWEDGE));
        const Qt::WindowFlags flags = main->GetPeer()->windowFlags();
        EXPECT_EQ(main->GetPeer()->windowType(), Qt::Tool);
        EXPECT_TRUE(flags.testFlag(Qt::WindowStaysOnTopHint));
        EXPECT_TRUE(flags.testFlag(Qt::FramelessWindowHint));
        EXPECT_TRUE(main->IsWindowVisible());
        main->ShowWindow(SW_HIDE);
        EXPECT_FALSE(main->IsWindowVisible());
        // The icon in the notification area: added, then given the icon.
        EXPECT_TRUE(fakes.tray.present);
        EXPECT_TRUE(fakes.tray.visible);
        EXPECT_EQ(fakes.tray.calls, 2);
        EXPECT_EQ(fakes.tray.tip, "벨크");
    }
}

TEST_F(MainFrameTest, ClientViewIsTheOnlyChildAndHostsABrowserLikeEveryHost) {
    ASSERT_TRUE(LoadMain());
    const HWND viewWnd = GetWindow(mainHwnd, GW_CHILD);
    auto* view = dynamic_cast<CChildView*>(CWnd::FromHandle(viewWnd));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->GetParent(), main);
    const DWORD style = view->GetStyle();
    EXPECT_EQ(style & (WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN),
              WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN);
    EXPECT_FALSE(style & WS_BORDER);
    EXPECT_TRUE(view->GetExStyle() & WS_EX_CLIENTEDGE);
    RECT client;
    view->GetClientRect(&client);
    EXPECT_EQ(client, (RECT{0, 0, 100, 100}));
    EXPECT_FALSE(view->Browser());

    // A browser announced to the view is kept and follows the view's size.
    CWnd browserWnd;
    ASSERT_TRUE(
        browserWnd.Create("Browser", "", WS_CHILD | WS_VISIBLE, RECT{0, 0, 10, 10}, view, 1));
    CefRefPtr<FakeBrowser> browser = FakeBrowser::Create(browserWnd.m_hWnd);
    EXPECT_EQ(view->SendMessage(WM_APP_BROWSER_CREATED, 1, reinterpret_cast<LPARAM>(browser.get())),
              0);
    EXPECT_EQ(view->Browser().get(), static_cast<CefBrowser*>(browser.get()));
    view->MoveWindow(RECT{0, 0, 80, 60});
    RECT r;
    browserWnd.GetClientRect(&r);
    EXPECT_EQ(r, (RECT{0, 0, 80, 60}));
    browserWnd.DestroyWindow();
}

TEST_F(MainFrameTest, MainChatWindowOpensOnceHundredMillisecondsAfterCreation) {
    ASSERT_TRUE(CreateMain());
    clock.Advance(99);
    EXPECT_TRUE(main->RegisteredFrames().empty());
    EXPECT_EQ(main->GetMainChatFrame(CMainFrame::FindOnly), nullptr);
    clock.Advance(1);
    const std::vector<CMyBrowserFrame*> registered = main->RegisteredFrames();
    ASSERT_EQ(registered.size(), 1u);
    CMyBrowserFrame* chat = registered[0];
    EXPECT_EQ(chat->m_kind, 1);
    EXPECT_EQ(chat->GetWindowText(), "벨크");
    EXPECT_TRUE(chat->IsWindowVisible());
    EXPECT_EQ(main->GetMainChatFrame(CMainFrame::FindOnly), chat);
    // The chat frame asks for its browser on the start page.
    EXPECT_TRUE(factory.requests.empty());
    clock.Advance(10);
    ASSERT_EQ(factory.requests.size(), 1u);
    EXPECT_EQ(factory.requests[0].url, "about:blank");

    // The timer fired once: a main chat window that is gone stays gone.
    DestroyWindow(chat->m_hWnd);
    clock.Advance(10000);
    EXPECT_TRUE(main->RegisteredFrames().empty());
    EXPECT_EQ(factory.requests.size(), 1u);
}

TEST_F(MainFrameTest, MainChatWindowIsStartedByTimer50000) {
    ASSERT_TRUE(CreateMain());
    EXPECT_TRUE(main->KillTimer(50000));
    clock.Advance(1000);
    EXPECT_TRUE(main->RegisteredFrames().empty());
}

TEST_F(MainFrameTest, MainChatCreationPacketComesFromTheSettingsAndTheLaunchParameters) {
    const QByteArray fullIni =
        "[APP]\r\nWINTIT=벨크 채팅\r\nSTARTURL=http://127.0.0.1:18480/start.html\r\nXX=R\r\n"
        "YY=T\r\nLMW=300\r\nLMH=200\r\nWW=800\r\nHH=600\r\nHDR=1\r\nBORDERCOLOR=255\r\n"
        "XGAP=2\r\nYGAP=3\r\n";
    struct Case {
        const char* name;
        std::optional<QByteArray> ini;
        RECT available;
        std::vector<std::pair<QString, QString>> params;
        QString packet;
        std::optional<RECT> rect;  // none where the frame has the standard caption
        QString title;
        COLORREF border;
        int nativeCaption;
        QString browserUrl;
    };
    const Case cases[] = {
        {"no settings file",
         std::nullopt,
         {0, 0, 1920, 1040},
         {},
         kDefaultCreationPacket,
         RECT{0, 0, 1920, 1040},
         "벨크",
         0x404040,
         0,
         "about:blank"},
        {"empty settings file",
         QByteArray(),
         {0, 0, 1920, 1040},
         {},
         kDefaultCreationPacket,
         RECT{0, 0, 1920, 1040},
         "벨크",
         0x404040,
         0,
         "about:blank"},
        {"taskbar at the right",
         std::nullopt,
         {0, 0, 1860, 1080},
         {},
         "<PKT><GBN>0</GBN><DLGTIT>벨크</DLGTIT><TP>1</TP><URL>about:blank</URL><LMIW>1200</LMIW>"
         "<LMIH>720</LMIH><WW>1860</WW><HH>1080</HH><XX>C</XX><YY>C</YY><XGAP>1</XGAP>"
         "<YGAP>1</YGAP><BORDERCOLOR>4210752</BORDERCOLOR><HDR>1</HDR></PKT>",
         RECT{0, 0, 1860, 1080},
         "벨크",
         0x404040,
         0,
         "about:blank"},
        {"settings file",
         fullIni,
         {0, 0, 1920, 1040},
         {},
         "<PKT><GBN>0</GBN><DLGTIT>벨크 채팅</DLGTIT><TP>1</TP>"
         "<URL>http://127.0.0.1:18480/start.html</URL><LMIW>300</LMIW><LMIH>200</LMIH>"
         "<WW>800</WW><HH>600</HH><XX>R</XX><YY>T</YY><XGAP>2</XGAP><YGAP>3</YGAP>"
         "<BORDERCOLOR>255</BORDERCOLOR><HDR>1</HDR></PKT>",
         RECT{1120, 0, 1920, 600},
         "벨크 채팅",
         RGB(255, 0, 0),
         0,
         "http://127.0.0.1:18480/start.html"},
        // The launch values win, except for the title and the kind.
        {"launch parameters",
         fullIni,
         {0, 0, 1920, 1040},
         {{"URL", "http://127.0.0.1:18480/room.html"},
          {"LMIW", "400"},
          {"LMIH", "300"},
          {"WW", "640"},
          {"HH", "480"},
          {"XX", "L"},
          {"YY", "B"},
          {"XGAP", "0"},
          {"YGAP", "5"},
          {"BORDERCOLOR", "65280"},
          {"HDR", "1"},
          {"DLGTIT", "남의 제목"},
          {"TP", "3"},
          {"LMW", "999"}},
         "<PKT><GBN>0</GBN><DLGTIT>벨크 채팅</DLGTIT><TP>1</TP>"
         "<URL>http://127.0.0.1:18480/room.html</URL><LMIW>400</LMIW><LMIH>300</LMIH>"
         "<WW>640</WW><HH>480</HH><XX>L</XX><YY>B</YY><XGAP>0</XGAP><YGAP>5</YGAP>"
         "<BORDERCOLOR>65280</BORDERCOLOR><HDR>1</HDR></PKT>",
         RECT{0, 560, 640, 1040},
         "벨크 채팅",
         RGB(0, 255, 0),
         0,
         "http://127.0.0.1:18480/room.html"},
        {"launch URL only",
         std::nullopt,
         {0, 0, 1920, 1040},
         {{"URL", "http://127.0.0.1:18480/only.html"}},
         "<PKT><GBN>0</GBN><DLGTIT>벨크</DLGTIT><TP>1</TP><URL>http://127.0.0.1:18480/only.html"
         "</URL><LMIW>1200</LMIW><LMIH>720</LMIH><WW>1920</WW><HH>1040</HH><XX>C</XX><YY>C</YY>"
         "<XGAP>1</XGAP><YGAP>1</YGAP><BORDERCOLOR>4210752</BORDERCOLOR><HDR>1</HDR></PKT>",
         RECT{0, 0, 1920, 1040},
         "벨크",
         0x404040,
         0,
         "http://127.0.0.1:18480/only.html"},
        {"standard caption",
         QByteArray("[APP]\r\nHDR=0\r\n"),
         {0, 0, 1920, 1040},
         {},
         "<PKT><GBN>0</GBN><DLGTIT>벨크</DLGTIT><TP>1</TP><URL>about:blank</URL><LMIW>1200</LMIW>"
         "<LMIH>720</LMIH><WW>1920</WW><HH>1040</HH><XX>C</XX><YY>C</YY><XGAP>1</XGAP>"
         "<YGAP>1</YGAP><BORDERCOLOR>4210752</BORDERCOLOR><HDR>0</HDR></PKT>",
         std::nullopt,
         "벨크",
         0x404040,
         1,
         "about:blank"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DestroyAll();
        SetIni(c.ini);
        fakes.screen.Set(RECT{0, 0, 1920, 1080}, c.available);
        ResetParams();
        for (const auto& [key, value] : c.params)
            app.m_params.SetString(key, value);
        ASSERT_TRUE(CreateMain());
        CMyBrowserFrame* chat = StartMainChat();
        ASSERT_NE(chat, nullptr);
        ASSERT_TRUE(chat->m_settings);
        EXPECT_EQ(chat->m_settings->GetText(), c.packet);
        EXPECT_EQ(chat->m_kind, 1);
        EXPECT_EQ(chat->GetWindowText(), c.title);
        EXPECT_EQ(chat->m_borderColor, c.border);
        EXPECT_EQ(chat->m_nativeCaption, c.nativeCaption);
        if (c.rect) {
            EXPECT_EQ(WindowRect(chat), *c.rect);
        }
        EXPECT_TRUE(chat->IsWindowVisible());
        clock.Advance(10);
        ASSERT_EQ(factory.requests.size(), 1u);
        EXPECT_EQ(factory.requests[0].url, c.browserUrl);
    }
}

TEST_F(MainFrameTest, MainChatSizeDefaultsToTheWorkAreasSize) {
    struct Case {
        RECT screen, available;
        int ww, hh;
    };
    const Case cases[] = {
        {{100, 50, 2020, 1130}, {100, 50, 2020, 1090}, 1920, 1040},
        {{-1920, -100, 0, 980}, {-1920, -100, -60, 980}, 1860, 1080},
    };
    RemoveIni();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ww);
        DestroyAll();
        fakes.screen.Set(c.screen, c.available);
        ASSERT_TRUE(CreateMain());
        CMyBrowserFrame* chat = StartMainChat();
        ASSERT_NE(chat, nullptr);
        EXPECT_EQ(chat->m_settings->GetInt("WW", -1), c.ww);
        EXPECT_EQ(chat->m_settings->GetInt("HH", -1), c.hh);
    }
}

// ---------------------------------------------------------------------------
// Packet commands.

TEST_F(MainFrameTest, PacketsOtherThanCommandsAreIgnored) {
    ASSERT_TRUE(CreateMain());
    CMyBrowserFrame* chat = StartMainChat();
    CMyBrowserFrame* kind2 = Direct("<TP>2</TP><DLGTIT>two</DLGTIT>");
    const QString gbns[] = {"",
                            "<GBN>0</GBN>",
                            "<GBN>9001</GBN>",
                            "<GBN>900</GBN>",
                            "<GBN>90000</GBN>",
                            "<GBN>9010</GBN>"};
    const int cmds[] = {20, 25, 26, 30};
    for (const QString& gbn : gbns) {
        for (int cmd : cmds) {
            SCOPED_TRACE((gbn + QString::number(cmd)).toStdString());
            const QString text =
                QStringLiteral(
                    "<PKT>%1<CMD>%2</CMD><DLGTIT>new</DLGTIT><LMIW>100</LMIW><LMIH>100</LMIH>"
                    "<MSG>hello</MSG></PKT>")
                    .arg(gbn)
                    .arg(cmd);
            EXPECT_EQ(SendPacket(text, 0), 0);
            SendPacket(text, 2);
            DeliverPostedMessages();
        }
    }
    EXPECT_EQ(main->SendMessage(WM_APP_PACKET, 0, 0), 0) << "no packet";
    DeliverPostedMessages();
    EXPECT_EQ(main->RegisteredFrames(), (std::vector<CMyBrowserFrame*>{chat, kind2}));
    EXPECT_TRUE(fakes.tray.balloons.empty());
    EXPECT_EQ(app.GetProfileString("ALARM", "CFG", "none"), "none");
    EXPECT_EQ(main->AlarmSettings().GetText(), "<PKT></PKT>");
}

TEST_F(MainFrameTest, NewFrameFollowsTheRequestingWindow) {
    ASSERT_TRUE(CreateMain());
    enum Requester { kChatFrame, kOtherWindow, kNone, kContext2, kObjectWithoutWindow };
    struct Case {
        const char* name;
        Requester requester;
        bool linked;
    };
    const Case cases[] = {
        {"chat frame", kChatFrame, true},
        {"another window", kOtherWindow, true},
        {"none", kNone, false},
        {"context 2", kContext2, false},
        {"object without a window", kObjectWithoutWindow, false},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CMyBrowserFrame* chat = Direct(QStringLiteral("<DLGTIT>owner %1</DLGTIT>").arg(n));
        RecordingWnd other({});
        LPARAM context = 0;
        HWND ownerWnd = nullptr;
        switch (c.requester) {
            case kChatFrame:
                context = Context(chat);
                ownerWnd = chat->m_hWnd;
                break;
            case kOtherWindow:
                ASSERT_TRUE(other.CreateTopLevel());
                context = Context(&other);
                ownerWnd = other.m_hWnd;
                break;
            case kNone:
                break;
            case kContext2:
                context = 2;
                break;
            case kObjectWithoutWindow:
                context = Context(&other);
                break;
        }
        const size_t before = main->RegisteredFrames().size();
        const QString title = QStringLiteral("새 창 %1").arg(n++);
        CMyBrowserFrame* opened = Open20("<TP>4</TP><DLGTIT>" + title + "</DLGTIT><URL>" + kPage +
                                             "room.html</URL><XX>100</XX><YY>100</YY>"
                                             "<WW>500</WW><HH>400</HH>",
                                         context);
        ASSERT_NE(opened, nullptr);
        EXPECT_EQ(main->RegisteredFrames().size(), before + 1);
        EXPECT_EQ(main->RegisteredFrames().back(), opened);
        EXPECT_EQ(opened->m_kind, 4);
        EXPECT_EQ(opened->GetWindowText(), title);
        EXPECT_EQ(WindowRect(opened), (RECT{100, 100, 600, 500}));
        EXPECT_TRUE(opened->IsWindowVisible());
        EXPECT_EQ(opened->m_ownerWnd, c.linked ? ownerWnd : nullptr);
        EXPECT_EQ(opened->m_trackOwner, c.linked ? 1 : 0);
        EXPECT_EQ(chat->m_childWnd, c.requester == kChatFrame ? opened->m_hWnd : nullptr);
        clock.Advance(10);
        ASSERT_FALSE(factory.requests.empty());
        EXPECT_EQ(factory.requests.back().url, kPage + "room.html");
        if (other.m_hWnd)
            other.DestroyWindow();
    }
}

class MainFrameRetargetTest : public MainFrameTest {
protected:
    // A frame of `kind` opened for a requesting chat frame, so that it
    // follows it, at (300, 200)-(800, 600), with a browser.
    CMyBrowserFrame* OpenFollower(int kind, const QString& title) {
        CMyBrowserFrame* owner = Direct("<TP>1</TP><DLGTIT>owner of " + title + "</DLGTIT>");
        CMyBrowserFrame* f = Open20(QStringLiteral("<TP>%1</TP><DLGTIT>").arg(kind) + title +
                                        "</DLGTIT><XX>300</XX><YY>200</YY><WW>500</WW>"
                                        "<HH>400</HH>",
                                    Context(owner));
        EXPECT_NE(f, nullptr);
        if (f) {
            EXPECT_EQ(f->m_trackOwner, 1);
        }
        return f;
    }
};

TEST_F(MainFrameRetargetTest, FollowingFrameIsMovedAndNavigated) {
    const RECT base{300, 200, 800, 600};
    struct Case {
        QString fields;
        RECT expected;
        QString loaded;
    };
    const Case cases[] = {
        // An absent WW keeps the right edge, an absent HH the bottom edge.
        {"<XX>100</XX><URL>" + kPage + "b.html</URL>", {100, 200, 800, 600}, kPage + "b.html"},
        {"<XX>100</XX><YY>50</YY><URL>" + kPage + "c.html</URL>",
         {100, 50, 800, 600},
         kPage + "c.html"},
        {"<XX>100</XX><YY>50</YY><WW>300</WW><HH>200</HH><URL>" + kPage + "d.html</URL>",
         {100, 50, 400, 250},
         kPage + "d.html"},
        {"<YY>300</YY><URL>" + kPage + "e.html</URL>", {300, 300, 800, 600}, kPage + "e.html"},
        {"<URL>" + kPage + "f.html</URL>", base, kPage + "f.html"},
        // Without URL the empty address is loaded (made whole by the view).
        {"<XX>100</XX>", {100, 200, 800, 600}, ContentBaseUrl()},
        // The corner may lie up to 4 px outside the work area.
        {"<XX>1424</XX><WW>500</WW><HH>400</HH><URL>" + kPage + "g.html</URL>",
         {1424, 200, 1924, 600},
         kPage + "g.html"},
        {"<YY>644</YY><WW>500</WW><HH>400</HH><URL>" + kPage + "h.html</URL>",
         {300, 644, 800, 1044},
         kPage + "h.html"},
        {"<XX>-505</XX><YY>-405</YY><WW>500</WW><HH>400</HH><URL>" + kPage + "i.html</URL>",
         {-505, -405, -5, -5},
         kPage + "i.html"},
        // 5 px or more outside: not moved, but loaded all the same.
        {"<XX>1425</XX><WW>500</WW><HH>400</HH><URL>" + kPage + "j.html</URL>", base,
         kPage + "j.html"},
        {"<YY>645</YY><WW>500</WW><HH>400</HH><URL>" + kPage + "k.html</URL>", base,
         kPage + "k.html"},
        {"<XX>-506</XX><WW>500</WW><URL>" + kPage + "l.html</URL>", base, kPage + "l.html"},
        {"<YY>-406</YY><HH>400</HH><URL>" + kPage + "m.html</URL>", base, kPage + "m.html"},
    };
    ASSERT_TRUE(CreateMain());
    for (int kind : {3, 4}) {
        SCOPED_TRACE(kind);
        const QString title = QStringLiteral("따라가는 창 %1").arg(kind);
        CMyBrowserFrame* target = OpenFollower(kind, title);
        ASSERT_NE(target, nullptr);
        ASSERT_EQ(WindowRect(target), base);
        CefRefPtr<FakeBrowser> browser = Attach(target);
        for (const Case& c : cases) {
            SCOPED_TRACE(c.fields.toStdString());
            target->MoveWindow(base);
            browser->loadedUrls.clear();
            const size_t before = main->RegisteredFrames().size();
            SendPacket(Command(20, "<DLGTIT>" + title + "</DLGTIT>" + c.fields));
            EXPECT_EQ(main->RegisteredFrames().size(), before) << "no new frame";
            EXPECT_EQ(WindowRect(target), c.expected);
            EXPECT_EQ(browser->loadedUrls, QStringList({c.loaded}));
            EXPECT_TRUE(target->IsWindowVisible());
        }
    }
}

TEST_F(MainFrameRetargetTest, FollowingFrameThatIsHiddenOrMinimisedIsRevealed) {
    ASSERT_TRUE(CreateMain());
    CMyBrowserFrame* target = OpenFollower(3, "숨은 창");
    ASSERT_NE(target, nullptr);
    CefRefPtr<FakeBrowser> browser = Attach(target);
    target->ShowWindow(SW_HIDE);
    SendPacket(Command(20, "<DLGTIT>숨은 창</DLGTIT><XX>100</XX><URL>" + kPage + "a.html</URL>"));
    EXPECT_TRUE(target->IsWindowVisible());
    EXPECT_EQ(WindowRect(target), (RECT{100, 200, 800, 600}));
    target->ShowWindow(SW_MINIMIZE);
    ASSERT_TRUE(target->IsIconic());
    SendPacket(Command(20, "<DLGTIT>숨은 창</DLGTIT><URL>" + kPage + "b.html</URL>"));
    EXPECT_FALSE(target->IsIconic());
    EXPECT_EQ(browser->loadedUrls, QStringList({kPage + "a.html", kPage + "b.html"}));
}

TEST_F(MainFrameTest, FrameThatDoesNotFollowIsOnlyBroughtForward) {
    struct Case {
        int kind;
        int track;
    };
    const Case cases[] = {{1, 0}, {1, 1}, {2, 1}, {3, 0}, {4, 0}, {5, 1}, {0, 1}};
    ASSERT_TRUE(CreateMain());
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(QString("kind %1 track %2").arg(c.kind).arg(c.track).toStdString());
        const QString title = QStringLiteral("창 %1").arg(n++);
        CMyBrowserFrame* frame =
            Direct(QStringLiteral("<TP>%1</TP><DLGTIT>").arg(c.kind) + title +
                   "</DLGTIT><XX>300</XX><YY>200</YY><WW>500</WW><HH>400</HH>");
        frame->m_trackOwner = c.track;
        CefRefPtr<FakeBrowser> browser = Attach(frame);
        const size_t before = main->RegisteredFrames().size();
        const QString command = Command(20, "<DLGTIT>" + title +
                                                "</DLGTIT><XX>100</XX><YY>50</YY><WW>300</WW>"
                                                "<HH>200</HH><URL>" +
                                                kPage + "x.html</URL>");
        frame->ShowWindow(SW_HIDE);
        SendPacket(command);
        EXPECT_TRUE(frame->IsWindowVisible());
        frame->ShowWindow(SW_MINIMIZE);
        ASSERT_TRUE(frame->IsIconic());
        SendPacket(command);
        EXPECT_FALSE(frame->IsIconic());
        SendPacket(command);
        EXPECT_TRUE(frame->IsWindowVisible());
        EXPECT_EQ(WindowRect(frame), (RECT{300, 200, 800, 600}));
        EXPECT_TRUE(browser->loadedUrls.isEmpty());
        EXPECT_EQ(main->RegisteredFrames().size(), before);
    }
}

TEST_F(MainFrameRetargetTest, OfTwoFramesWithTheSameTitleTheFirstRegisteredIsRetargeted) {
    ASSERT_TRUE(CreateMain());
    CMyBrowserFrame* first = OpenFollower(3, "old");
    ASSERT_NE(first, nullptr);
    // The second one comes by another title and then takes the same.
    CMyBrowserFrame* second = OpenFollower(3, "new");
    ASSERT_NE(second, nullptr);
    second->MoveWindow(RECT{900, 200, 1400, 600});
    second->SetWindowText("old");
    CefRefPtr<FakeBrowser> a = Attach(first);
    CefRefPtr<FakeBrowser> b = Attach(second);
    SendPacket(Command(20, "<DLGTIT>old</DLGTIT><XX>100</XX><URL>" + kPage + "x.html</URL>"));
    EXPECT_EQ(WindowRect(first), (RECT{100, 200, 800, 600}));
    EXPECT_EQ(WindowRect(second), (RECT{900, 200, 1400, 600}));
    EXPECT_EQ(a->loadedUrls, QStringList({kPage + "x.html"}));
    EXPECT_TRUE(b->loadedUrls.isEmpty());
}

TEST_F(MainFrameTest, Command25ClosesTheFramesOfKindTwoOnly) {
    ASSERT_TRUE(CreateMain());
    CMyBrowserFrame* chat = StartMainChat();
    CMyBrowserFrame* two = Direct("<TP>2</TP><DLGTIT>a</DLGTIT>");
    CMyBrowserFrame* three = Direct("<TP>3</TP><DLGTIT>b</DLGTIT>");
    CMyBrowserFrame* twoHidden = Direct("<TP>2</TP><DLGTIT>c</DLGTIT>");
    twoHidden->ShowWindow(SW_HIDE);
    CMyBrowserFrame* five = Direct("<TP>5</TP><DLGTIT>d</DLGTIT>");
    CMyBrowserFrame* four = Direct("<TP>4</TP><DLGTIT>e</DLGTIT>");
    const HWND twoWnd = two->m_hWnd, twoHiddenWnd = twoHidden->m_hWnd;
    EXPECT_EQ(SendPacket(Command(25)), 0);
    // Posted, not sent; the first at once, the next a turn later.
    EXPECT_TRUE(IsWindow(twoWnd));
    EXPECT_TRUE(IsWindow(twoHiddenWnd));
    DeliverPostedMessages();
    EXPECT_FALSE(IsWindow(twoWnd));
    EXPECT_TRUE(IsWindow(twoHiddenWnd));
    clock.Advance(WindowRequests::kPaceMs);
    DeliverPostedMessages();
    EXPECT_FALSE(IsWindow(twoHiddenWnd));
    DeliverPostedMessages();  // their notices to the main frame
    EXPECT_EQ(main->RegisteredFrames(), (std::vector<CMyBrowserFrame*>{chat, three, five, four}));
    EXPECT_TRUE(IsWindow(mainHwnd));
}

TEST_F(MainFrameTest, Command26ShowsTheMessageAsABalloon) {
    struct Case {
        const char* name;
        QString fields;
        QString balloon;
    };
    const Case cases[] = {
        {"text", "<MSG>새 알림이 있습니다</MSG>", "새 알림이 있습니다"},
        {"no MSG", "", ""},
        {"empty MSG", "<MSG></MSG>", ""},
        // Cut to the field's 255 characters.
        {"long MSG", "<MSG>" + QString(300, 'm') + "</MSG>", QString(255, 'm')},
    };
    ASSERT_TRUE(CreateMain());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fakes.tray.balloons.clear();
        SendPacket(Command(26, c.fields));
        EXPECT_EQ(fakes.tray.balloons, std::vector<CString>({c.balloon}));
        EXPECT_TRUE(fakes.tray.present);
        EXPECT_EQ(fakes.tray.tip, "벨크") << "the tip stays";
    }
}

TEST_F(MainFrameTest, Command26WithoutANotificationAreaGoesToTheNotificationService) {
    ASSERT_TRUE(CreateMain());
    fakes.tray.available = false;
    SendPacket(Command(26, "<MSG>삼성전자 목표가 도달</MSG>"));
    EXPECT_TRUE(fakes.tray.balloons.empty());
    // Under the icon's tip, the program's title.
    EXPECT_EQ(fakes.notifications.shown,
              (std::vector<std::pair<CString, CString>>{{"벨크", "삼성전자 목표가 도달"}}));

    // Neither a notification area nor a service: nothing shown, nothing
    // broken, and a later balloon still reaches a tray that appeared.
    fakes.notifications.missing = true;
    SendPacket(Command(26, "<MSG>lost</MSG>"));
    fakes.tray.available = true;
    SendPacket(Command(26, "<MSG>back</MSG>"));
    EXPECT_EQ(fakes.tray.balloons, std::vector<CString>({"back"}));
    EXPECT_EQ(fakes.notifications.shown.size(), 1u);
    EXPECT_TRUE(fakes.tray.present);
}

TEST_F(MainFrameTest, Command30StoresTheAlarmSettingsForTheNextStart) {
    {
        CMainFrame before;
        EXPECT_EQ(before.AlarmSettings().GetText(), "<PKT></PKT>");
    }
    ASSERT_TRUE(CreateMain());
    // A packet that kept its percent signs.
    CPacket first(
        CPacket::Verbatim{"<PKT><GBN>9000</GBN><CMD>30</CMD><SND>1</SND><VOL>80%</VOL></PKT>"});
    SendPacket(first);
    const QString stored = "<PKT><GBN>9000</GBN><CMD>30</CMD><SND>1</SND><VOL>80％</VOL></PKT>";
    EXPECT_EQ(main->AlarmSettings().GetText(), stored);
    EXPECT_EQ(app.GetProfileString("ALARM", "CFG", "none"), stored);
    {
        CMainFrame next;
        EXPECT_EQ(next.AlarmSettings().GetText(), stored);
    }
    // The next one replaces it whole.
    SendPacket(Command(30, "<ON>0</ON>"));
    EXPECT_EQ(main->AlarmSettings().GetText(), Command(30, "<ON>0</ON>"));
    EXPECT_EQ(app.GetProfileString("ALARM", "CFG", "none"), Command(30, "<ON>0</ON>"));
}

TEST_F(MainFrameTest, Command6NeverEndsTheApplication) {
    ASSERT_TRUE(CreateMain());
    CMyBrowserFrame* chat = StartMainChat();
    const QString fields[] = {
        "",
        "<FILE>updater.exe</FILE><CRC>0</CRC>",
        "<FILE>missing.exe</FILE><CRC>12345678</CRC><PARAM>-x</PARAM>",
    };
    for (const QString& f : fields) {
        SCOPED_TRACE(f.toStdString());
        EXPECT_EQ(SendPacket(Command(6, f)), 0);
        DeliverPostedMessages();
        DeliverPostedMessages();
        EXPECT_TRUE(IsWindow(mainHwnd));
        EXPECT_FALSE(framework::QuitPosted());
        EXPECT_TRUE(fakes.tray.present);
        EXPECT_EQ(main->RegisteredFrames(), (std::vector<CMyBrowserFrame*>{chat}));
        EXPECT_TRUE(chat->IsWindowVisible());
    }
}

}  // namespace
