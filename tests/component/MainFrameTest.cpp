// The hidden main frame with real chat frames and fake browsers: its window,
// the tray icon and its menu, the main chat window it opens, the frame
// registry, the packet commands that windows pass up to it and the hand-off
// of a second start. Also the work area rule and the layered-window helper
// the frames rely on, and the registry lock's guard.
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QWidget>
#include <atomic>
#include <memory>
#include <optional>
#include <stdexcept>
#include <thread>

#include "FakeBrowser.h"
#include "app/ClientApp.h"
#include "app/VelkSTKApp.h"
#include "browser/MyBrowserFrame.h"
#include "browser/MyBrowserView.h"
#include "framework/internal.h"
#include "mainframe/ChildView.h"
#include "mainframe/MainFrm.h"
#include "mainframe/MyMutex.h"
#include "packet/Packet.h"
#include "platform/desktop.h"
#include "platform/instance.h"
#include "res/resources.h"
#include "shared/LayeredWindowHelperST.h"
#include "shared/Messages.h"
#include "shared/Service.h"
#include "shared/WorkArea.h"
#include "testsupport.h"

// Rectangles in failure messages (found by argument lookup: RECT is global).
static void PrintTo(const RECT& r, std::ostream* os) {
    *os << "(" << r.left << "," << r.top << ")-(" << r.right << "," << r.bottom << ")";
}

namespace {

const QString kPage = QStringLiteral("http://127.0.0.1:18480/");

QString Command(int cmd, const QString& fields = QString()) {
    return QStringLiteral("<PKT><GBN>9000</GBN><CMD>%1</CMD>%2</PKT>").arg(cmd).arg(fields);
}

RECT WindowRect(const CWnd* w) {
    RECT r;
    w->GetWindowRect(&r);
    return r;
}

LPARAM Context(CWnd* w) {
    return reinterpret_cast<LPARAM>(w);
}

// ---------------------------------------------------------------------------
// The work area.

class WorkAreaTest : public ComponentTest {};

TEST_F(WorkAreaTest, TaskbarAtTheBottomOrRightIsSubtractedAtTheTopOrLeftNot) {
    struct Case {
        const char* name;
        RECT screen;
        RECT available;
        RECT expected;
    };
    const Case cases[] = {
        {"bottom", {0, 0, 1920, 1080}, {0, 0, 1920, 1040}, {0, 0, 1920, 1040}},
        {"bottom, small screen", {0, 0, 1366, 768}, {0, 0, 1366, 728}, {0, 0, 1366, 728}},
        {"right", {0, 0, 1920, 1080}, {0, 0, 1860, 1080}, {0, 0, 1860, 1080}},
        {"top", {0, 0, 1920, 1080}, {0, 40, 1920, 1080}, {0, 0, 1920, 1080}},
        {"left", {0, 0, 1920, 1080}, {60, 0, 1920, 1080}, {0, 0, 1920, 1080}},
        {"none", {0, 0, 1920, 1080}, {0, 0, 1920, 1080}, {0, 0, 1920, 1080}},
        // Computed anew at every use: back to a taskbar at the bottom.
        {"bottom again", {0, 0, 1600, 900}, {0, 0, 1600, 870}, {0, 0, 1600, 870}},
        {"away from the origin",
         {100, 50, 2020, 1130},
         {100, 50, 2020, 1090},
         {100, 50, 2020, 1090}},
        {"away from the origin, right",
         {-1920, 0, 0, 1080},
         {-1920, 0, -60, 1080},
         {-1920, 0, -60, 1080}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fakes.screen.Set(c.screen, c.available);
        EXPECT_EQ(GetWorkArea(), c.expected);
    }
}

// ---------------------------------------------------------------------------
// The main frame.

class MainFrameTest : public ComponentTest {
protected:
    void SetUp() override {
        ComponentTest::SetUp();
        RegisterSystemMessages();
        RegisterResources();
        // A 1920 x 1080 screen with a 40 px taskbar at the bottom.
        fakes.screen.Set(RECT{0, 0, 1920, 1080}, RECT{0, 0, 1920, 1040});
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(home.isValid());
        fakes.executable.path = dir.path() + "/VelkSTKApp";
        app.m_iniPath = dir.path() + "/app.ini";
        // The profile is the test's own.
        qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, home.path());
        app.m_pszAppName = "MainFrameTest";
        app.SetRegistryKey("VelkTest");
        ResetParams();
        app.m_clientApp = new ClientApp();
        app.m_clientApp->OnContextInitialized();
    }
    void TearDown() override {
        DestroyAll();
        qunsetenv("XDG_CONFIG_HOME");
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
        framework::ResetQuit();
        ComponentTest::TearDown();
    }

    // Launch parameters with nothing but a channel name of this test's own,
    // so that no other instance's hand-off channel is touched.
    void ResetParams() {
        app.m_params.SetText("<PKT><GBN>0</GBN></PKT>");
        app.m_params.SetString(
            "CLSNM",
            QStringLiteral("VelkMainFrameTest-%1").arg(QCoreApplication::applicationPid()));
    }

    void WriteIni(const QByteArray& bytes) {
        QFile f(app.m_iniPath);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    void RemoveIni() { QFile::remove(app.m_iniPath); }

    // The main frame as start-up loads it, still shown.
    bool LoadMain() {
        auto* frame = new CMainFrame();
        app.m_pMainWnd = frame;
        if (!frame->LoadFrame(IDR_MAINFRAME, WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE, nullptr,
                              nullptr)) {
            if (!IsWindow(frame->m_hWnd))
                delete frame;
            app.m_pMainWnd = nullptr;
            return false;
        }
        main = frame;
        mainHwnd = frame->m_hWnd;
        return true;
    }
    // ... and then as start-up leaves it: no menu, hidden.
    bool CreateMain() {
        if (!LoadMain())
            return false;
        main->SetMenu(nullptr);
        main->ShowWindow(SW_HIDE);
        main->UpdateWindow();
        return true;
    }
    // The main chat window, which the main frame opens 100 ms after its creation.
    CMyBrowserFrame* StartMainChat() {
        clock.Advance(100);
        CMyBrowserFrame* chat = main->GetMainChatFrame(CMainFrame::FindOnly);
        EXPECT_NE(chat, nullptr);
        return chat;
    }

    // Every chat frame and the main frame go; the next case starts afresh.
    void DestroyAll() {
        std::vector<HWND> chats = frames;
        if (IsWindow(mainHwnd)) {
            for (CMyBrowserFrame* f : main->RegisteredFrames())
                chats.push_back(f->m_hWnd);
        }
        for (HWND h : chats) {
            if (IsWindow(h))
                DestroyWindow(h);
        }
        frames.clear();
        app.m_pMainWnd = nullptr;
        if (IsWindow(mainHwnd))
            DestroyWindow(mainHwnd);
        main = nullptr;
        mainHwnd = nullptr;
        platform::StopListeningForInstances();
        DiscardPostedMessages();
        framework::ResetQuit();
        factory.requests.clear();
        fakes.tray.Reset();
        boxes.shown.clear();
    }

    // A shown chat frame made directly from a creation packet with `fields`;
    // it registers with the main frame. Small minimum sizes keep the
    // placements free.
    CMyBrowserFrame* Direct(const QString& fields) {
        auto* frame = new CMyBrowserFrame();
        CPacket packet("<PKT><LMIW>100</LMIW><LMIH>100</LMIH>" + fields + "</PKT>");
        EXPECT_TRUE(frame->CreateFrame(&packet));
        frames.push_back(frame->m_hWnd);
        frame->ShowWindow(SW_SHOW);
        return frame;
    }

    LRESULT SendPacket(CPacket& packet, LPARAM context = 0) {
        return main->SendMessage(WM_APP_PACKET, reinterpret_cast<WPARAM>(&packet), context);
    }
    LRESULT SendPacket(const QString& text, LPARAM context = 0) {
        CPacket packet(text);
        return SendPacket(packet, context);
    }
    // CMD 20 with small minimum sizes; the frame now titled as the packet.
    CMyBrowserFrame* Open20(const QString& fields, LPARAM context = 0) {
        CPacket packet(Command(20, "<LMIW>100</LMIW><LMIH>100</LMIH>" + fields));
        EXPECT_EQ(SendPacket(packet, context), 0);
        return main->FindFrameByTitle(packet);
    }

    LRESULT TrayNotify(LPARAM mouse) { return main->SendMessage(WM_APP_TRAY_NOTIFY, 0, mouse); }

    // Announces a fake browser in a child window of the frame's view, as the
    // engine does.
    CefRefPtr<FakeBrowser> Attach(CMyBrowserFrame* frame) {
        auto window = std::make_unique<CWnd>();
        EXPECT_TRUE(window->Create("Browser", "", WS_CHILD | WS_VISIBLE, RECT{0, 0, 10, 10},
                                   &frame->m_view, 1));
        CefRefPtr<FakeBrowser> browser = FakeBrowser::Create(window->m_hWnd);
        browser->client = app.m_clientApp->m_handler;
        browser->url = kPage + "chat.html";
        browser->AnnounceCreated();
        EXPECT_EQ(frame->m_view.Browser().get(), static_cast<CefBrowser*>(browser.get()));
        browserWindows.push_back(std::move(window));
        return browser;
    }

    // Sends `bytes` to the main frame's channel as a later start would and
    // serves the channel on this thread meanwhile; returns the reply.
    QByteArray Exchange(const QByteArray& bytes) {
        const QString className = app.m_params.GetString("CLSNM", "");
        std::atomic<bool> done{false};
        QByteArray reply;
        std::thread second([&] {
            QLocalSocket socket;
            socket.connectToServer(platform::InstanceChannelPath(className));
            if (socket.waitForConnected(5000)) {
                socket.write(bytes);
                socket.waitForBytesWritten(5000);
                if (socket.waitForReadyRead(20000))
                    reply = socket.readAll();
            }
            done = true;
        });
        QDeadlineTimer deadline(30000);
        while (!done && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (!done)
            platform::StopListeningForInstances();
        second.join();
        return reply;
    }

    int CountOfKind(int kind) const {
        int n = 0;
        for (CMyBrowserFrame* f : main->RegisteredFrames())
            n += f->m_kind == kind ? 1 : 0;
        return n;
    }

    CVelkSTKAppApp app;
    QTemporaryDir dir;
    QTemporaryDir home;
    FakeBrowserFactory factory;
    CMainFrame* main = nullptr;
    HWND mainHwnd = nullptr;
    std::vector<HWND> frames;
    std::vector<std::unique_ptr<CWnd>> browserWindows;
};

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
        if (c.ini) {
            WriteIni(*c.ini);
        } else {
            RemoveIni();
        }
        ASSERT_TRUE(CreateMain());
        EXPECT_TRUE(fakes.tray.present);
        EXPECT_EQ(fakes.tray.tip, c.tip);
    }
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
        if (c.ini) {
            WriteIni(*c.ini);
        } else {
            RemoveIni();
        }
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
// The frame registry.

TEST_F(MainFrameTest, SecondRegistrationOfAHandleKeepsOneEntry) {
    ASSERT_TRUE(CreateMain());
    CMyBrowserFrame* chat = StartMainChat();
    CMyBrowserFrame* other = Direct("<DLGTIT>b</DLGTIT>");
    ASSERT_EQ(main->RegisteredFrames(), (std::vector<CMyBrowserFrame*>{chat, other}));
    EXPECT_EQ(main->SendMessage(WM_APP_REGISTER_FRAME, reinterpret_cast<WPARAM>(chat->m_hWnd)), 0);
    main->SendMessage(WM_APP_REGISTER_FRAME, reinterpret_cast<WPARAM>(other->m_hWnd));
    main->SendMessage(WM_APP_REGISTER_FRAME, reinterpret_cast<WPARAM>(chat->m_hWnd));
    EXPECT_EQ(main->RegisteredFrames(), (std::vector<CMyBrowserFrame*>{chat, other}));
}

TEST_F(MainFrameTest, UnregisterWithAnUnknownHandleDropsFramesThatAreGone) {
    ASSERT_TRUE(CreateMain());
    CMyBrowserFrame* a = Direct("<TP>2</TP><DLGTIT>a</DLGTIT>");
    CMyBrowserFrame* b = Direct("<TP>1</TP><DLGTIT>b</DLGTIT>");
    CMyBrowserFrame* c = Direct("<TP>3</TP><DLGTIT>c</DLGTIT>");
    ASSERT_EQ(main->RegisteredFrames(), (std::vector<CMyBrowserFrame*>{a, b, c}));
    const HWND aWnd = a->m_hWnd;
    // The object goes, and its window with it; the registry still points at it.
    delete a;
    ASSERT_FALSE(IsWindow(aWnd));
    // Searches and commands pass the gone entry without touching it.
    CPacket byTitle("<PKT><DLGTIT>a</DLGTIT></PKT>");
    EXPECT_EQ(main->FindFrameByTitle(byTitle), nullptr);
    EXPECT_EQ(main->GetMainChatFrame(CMainFrame::FindOnly), b);
    SendPacket(Command(25));
    DeliverPostedMessages();
    EXPECT_TRUE(IsWindow(b->m_hWnd));

    const HWND unknown = reinterpret_cast<HWND>(0x7fff0);
    EXPECT_EQ(main->SendMessage(WM_APP_UNREGISTER_FRAME, reinterpret_cast<WPARAM>(unknown)), 0);
    EXPECT_EQ(main->RegisteredFrames(), (std::vector<CMyBrowserFrame*>{b, c}));
    EXPECT_TRUE(IsWindow(b->m_hWnd));
    EXPECT_TRUE(IsWindow(c->m_hWnd));

    // A frame whose window was destroyed (and which deleted itself).
    DestroyWindow(c->m_hWnd);
    main->SendMessage(WM_APP_UNREGISTER_FRAME, reinterpret_cast<WPARAM>(unknown));
    EXPECT_EQ(main->RegisteredFrames(), (std::vector<CMyBrowserFrame*>{b}));
}

TEST_F(MainFrameTest, UnregisterOfALiveFrameRemovesItAndDestroysIt) {
    ASSERT_TRUE(CreateMain());
    CMyBrowserFrame* a = Direct("<DLGTIT>a</DLGTIT>");
    CMyBrowserFrame* b = Direct("<DLGTIT>b</DLGTIT>");
    const HWND aWnd = a->m_hWnd;
    main->SendMessage(WM_APP_UNREGISTER_FRAME, reinterpret_cast<WPARAM>(aWnd));
    EXPECT_FALSE(IsWindow(aWnd));
    EXPECT_EQ(main->RegisteredFrames(), (std::vector<CMyBrowserFrame*>{b}));
}

TEST_F(MainFrameTest, ClosedFrameLeavesTheRegistryThroughItsPostedNotice) {
    ASSERT_TRUE(CreateMain());
    CMyBrowserFrame* chat = StartMainChat();
    CMyBrowserFrame* other = Direct("<DLGTIT>b</DLGTIT>");
    chat->SendMessage(WM_CLOSE);
    // Gone before the main frame hears of it.
    EXPECT_EQ(main->GetMainChatFrame(CMainFrame::FindOnly), nullptr);
    DeliverPostedMessages();
    EXPECT_EQ(main->RegisteredFrames(), (std::vector<CMyBrowserFrame*>{other}));
    EXPECT_EQ(main->GetMainChatFrame(CMainFrame::FindOnly), nullptr);
}

TEST_F(MainFrameTest, GetMainChatFrameFindsCreatesOrNavigates) {
    ASSERT_TRUE(CreateMain());
    EXPECT_EQ(main->GetMainChatFrame(CMainFrame::FindOnly), nullptr);
    EXPECT_TRUE(main->RegisteredFrames().empty()) << "FindOnly creates nothing";

    // Only a frame of kind 1 counts.
    CMyBrowserFrame* other = Direct("<TP>3</TP><DLGTIT>벨크</DLGTIT>");
    EXPECT_EQ(main->GetMainChatFrame(CMainFrame::FindOnly), nullptr);

    CMyBrowserFrame* chat = main->GetMainChatFrame(CMainFrame::OpenOrCreate);
    ASSERT_NE(chat, nullptr);
    frames.push_back(chat->m_hWnd);
    EXPECT_EQ(chat->m_kind, 1);
    EXPECT_TRUE(chat->IsWindowVisible());
    EXPECT_EQ(main->RegisteredFrames(), (std::vector<CMyBrowserFrame*>{other, chat}));
    EXPECT_EQ(main->GetMainChatFrame(CMainFrame::OpenOrCreate), chat);
    EXPECT_EQ(main->GetMainChatFrame(CMainFrame::FindOnly), chat);
    EXPECT_EQ(main->RegisteredFrames().size(), 2u);

    CefRefPtr<FakeBrowser> browser = Attach(chat);
    main->GetMainChatFrame(CMainFrame::OpenOrCreate);
    main->GetMainChatFrame(CMainFrame::FindOnly);
    EXPECT_TRUE(browser->loadedUrls.isEmpty()) << "only NavigateOrCreate loads";

    app.m_params.SetString("URL", kPage + "next.html");
    EXPECT_EQ(main->GetMainChatFrame(CMainFrame::NavigateOrCreate), chat);
    EXPECT_EQ(browser->loadedUrls, QStringList({kPage + "next.html"}));

    // Without a URL parameter the page gets the empty address (made whole
    // by the view).
    app.m_params.Remove("URL");
    EXPECT_EQ(main->GetMainChatFrame(CMainFrame::NavigateOrCreate), chat);
    EXPECT_EQ(browser->loadedUrls, QStringList({kPage + "next.html", ContentBaseUrl()}));
    EXPECT_EQ(main->RegisteredFrames().size(), 2u);
}

TEST_F(MainFrameTest, FirstRegisteredFrameOfKindOneIsTheMainChatWindow) {
    ASSERT_TRUE(CreateMain());
    CMyBrowserFrame* first = Direct("<TP>1</TP><DLGTIT>x</DLGTIT>");
    CMyBrowserFrame* second = Direct("<TP>1</TP><DLGTIT>y</DLGTIT>");
    EXPECT_EQ(main->GetMainChatFrame(CMainFrame::FindOnly), first);
    DestroyWindow(first->m_hWnd);
    EXPECT_EQ(main->GetMainChatFrame(CMainFrame::FindOnly), second);
}

TEST_F(MainFrameTest, FindFrameByTitlePicksTheFirstRegisteredOfTheSameTitle) {
    ASSERT_TRUE(CreateMain());
    CMyBrowserFrame* untitled = Direct("");
    CMyBrowserFrame* first = Direct("<DLGTIT>대화방</DLGTIT>");
    CMyBrowserFrame* second = Direct("<DLGTIT>대화방</DLGTIT>");
    CMyBrowserFrame* latin = Direct("<DLGTIT>Chat</DLGTIT>");
    struct Case {
        QString packet;
        CMyBrowserFrame* expected;
    };
    const Case cases[] = {
        {"<PKT><DLGTIT>대화방</DLGTIT></PKT>", first},
        {"<PKT><DLGTIT>Chat</DLGTIT></PKT>", latin},
        {"<PKT><DLGTIT>chat</DLGTIT></PKT>", nullptr},
        {"<PKT><DLGTIT>Chat </DLGTIT></PKT>", nullptr},
        {"<PKT><DLGTIT>대화</DLGTIT></PKT>", nullptr},
        // No title asked for: the empty title.
        {"<PKT></PKT>", untitled},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.packet.toStdString());
        CPacket p(c.packet);
        EXPECT_EQ(main->FindFrameByTitle(p), c.expected);
    }
    DestroyWindow(first->m_hWnd);
    CPacket p("<PKT><DLGTIT>대화방</DLGTIT></PKT>");
    EXPECT_EQ(main->FindFrameByTitle(p), second);
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
    // Posted, not sent.
    EXPECT_TRUE(IsWindow(twoWnd));
    EXPECT_TRUE(IsWindow(twoHiddenWnd));
    DeliverPostedMessages();
    EXPECT_FALSE(IsWindow(twoWnd));
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
        if (c.ini) {
            WriteIni(*c.ini);
        } else {
            RemoveIni();
        }
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

// ---------------------------------------------------------------------------
// Hand-off and outside requests.

TEST_F(MainFrameTest, HandOffLoadsTheHandedUrlInTheMainChatWindow) {
    enum State { kVisible, kHidden, kMinimised };
    struct Case {
        const char* name;
        State state;
        QString handed;
        QString url;  // m_params' URL afterwards, and the page loaded
    };
    const QString old = kPage + "old.html";
    const Case cases[] = {
        {"visible", kVisible, "<PKT><GBN>0</GBN><URL>" + kPage + "a.html?q=%EB%B2%A8</URL></PKT>",
         kPage + "a.html?q=%EB%B2%A8"},
        {"hidden", kHidden, "<PKT><GBN>0</GBN><URL>" + kPage + "b.html</URL></PKT>",
         kPage + "b.html"},
        {"minimised", kMinimised, "<PKT><GBN>0</GBN><URL>" + kPage + "c.html</URL></PKT>",
         kPage + "c.html"},
        // Without a URL the launch parameters keep theirs, which is loaded again.
        {"no URL", kVisible, "<PKT><GBN>0</GBN><MUTEX>M</MUTEX></PKT>", old},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DestroyAll();
        ASSERT_TRUE(CreateMain());
        CMyBrowserFrame* chat = StartMainChat();
        ASSERT_NE(chat, nullptr);
        CefRefPtr<FakeBrowser> browser = Attach(chat);
        if (c.state == kHidden)
            chat->ShowWindow(SW_HIDE);
        if (c.state == kMinimised)
            chat->ShowWindow(SW_MINIMIZE);
        app.m_params.SetString("URL", old);
        CPacket handed(CPacket::Verbatim{c.handed});
        EXPECT_EQ(main->SendMessage(WM_APP_HANDOFF, reinterpret_cast<WPARAM>(&handed), 0), 0);
        EXPECT_EQ(app.m_params.GetString("URL", "none"), c.url);
        EXPECT_EQ(browser->loadedUrls, QStringList({c.url}));
        EXPECT_EQ(main->GetMainChatFrame(CMainFrame::FindOnly), chat);
        EXPECT_TRUE(chat->IsWindowVisible());
        EXPECT_FALSE(chat->IsIconic());
        EXPECT_EQ(main->RegisteredFrames().size(), 1u);
    }
}

TEST_F(MainFrameTest, HandOffWithoutAMainChatWindowCreatesItOnTheHandedUrl) {
    ASSERT_TRUE(CreateMain());
    CPacket handed(CPacket::Verbatim{"<PKT><GBN>0</GBN><URL>" + kPage + "handed.html</URL></PKT>"});
    main->SendMessage(WM_APP_HANDOFF, reinterpret_cast<WPARAM>(&handed), 0);
    CMyBrowserFrame* chat = main->GetMainChatFrame(CMainFrame::FindOnly);
    ASSERT_NE(chat, nullptr);
    EXPECT_TRUE(chat->IsWindowVisible());
    EXPECT_EQ(chat->m_settings->GetString("URL", ""), kPage + "handed.html");
    clock.Advance(10);
    ASSERT_FALSE(factory.requests.empty());
    EXPECT_EQ(factory.requests.back().url, kPage + "handed.html");
    // The start timer finds it there.
    clock.Advance(100);
    EXPECT_EQ(CountOfKind(1), 1);
}

TEST_F(MainFrameTest, SecondStartHandsItsParametersOverThroughTheChannel) {
    ASSERT_TRUE(CreateMain());
    CMyBrowserFrame* chat = StartMainChat();
    ASSERT_NE(chat, nullptr);
    CefRefPtr<FakeBrowser> browser = Attach(chat);
    chat->ShowWindow(SW_HIDE);
    // A second start's launch parameters, its address percent-encoded.
    const QString url = kPage + "room.html?q=%EB%B2%A8";
    const QString text = "<PKT><GBN>0</GBN><URL>" + url + "</URL><MUTEX>NO-MUTEX</MUTEX></PKT>";
    const auto exchange = [&](const QByteArray& bytes) { return Exchange(bytes); };
    // A malformed request is refused and harms nothing.
    EXPECT_EQ(exchange("VLKH\x02junk"), "E");
    EXPECT_EQ(exchange("GET / HTTP/1.0\r\n\r\n"), "E");
    EXPECT_TRUE(browser->loadedUrls.isEmpty());

    platform::InstanceRequest request;
    request.text = text;
    EXPECT_EQ(exchange(platform::EncodeInstanceRequest(request)), "K");
    EXPECT_EQ(app.m_params.GetString("URL", "none"), url);
    EXPECT_EQ(browser->loadedUrls, QStringList({url}));
    EXPECT_TRUE(chat->IsWindowVisible());

    // A request to show the main chat window brings a hidden one back
    // without loading anything.
    chat->ShowWindow(SW_HIDE);
    request.kind = platform::InstanceRequest::kShowMainChat;
    EXPECT_EQ(exchange(platform::EncodeInstanceRequest(request)), "K");
    EXPECT_TRUE(chat->IsWindowVisible());
    EXPECT_EQ(browser->loadedUrls.size(), 1);
}

TEST_F(MainFrameTest, ALaterStartsStartupSequenceIsCompletedWithTheWindowItBroughtForward) {
    using Kind = platform::InstanceRequest::Kind;
    struct Case {
        const char* name;
        Kind kind;
        bool chatOpen;  // the main chat window exists before the request
        QByteArray startupId;
        bool completed;
    };
    const Case cases[] = {
        {"hand-off", Kind::kLaunchParameters, true, "icewm-12_TIME4242", true},
        {"hand-off that opens the window", Kind::kLaunchParameters, false, "menu_TIME7", true},
        {"show request", Kind::kShowMainChat, true, "dock/42-0-host_TIME99", true},
        // Quoted in the message, but a launcher's all the same.
        {"id with a space", Kind::kShowMainChat, true, "a \"b\"_TIME1", true},
        {"no id", Kind::kLaunchParameters, true, "", false},
        {"id with a line break", Kind::kLaunchParameters, true, "x\nremove: ID=y", false},
        {"id over its length", Kind::kShowMainChat, true,
         QByteArray(platform::kMaxStartupId + 1, 'a'), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DestroyAll();
        ASSERT_TRUE(CreateMain());
        if (c.chatOpen) {
            CMyBrowserFrame* before = StartMainChat();
            ASSERT_NE(before, nullptr);
            before->ShowWindow(SW_HIDE);
        }
        fakes.activation.completed.clear();
        platform::InstanceRequest request;
        request.kind = c.kind;
        request.text = "<PKT><GBN>0</GBN></PKT>";
        request.startupId = c.startupId;
        EXPECT_EQ(Exchange(platform::EncodeInstanceRequest(request)), "K");
        CMyBrowserFrame* chat = main->GetMainChatFrame(CMainFrame::FindOnly);
        ASSERT_NE(chat, nullptr);
        EXPECT_TRUE(chat->IsWindowVisible());
        std::vector<FakeActivation::Completed> expected;
        if (c.completed)
            expected.push_back({chat->m_hWnd, c.startupId});
        EXPECT_EQ(fakes.activation.completed, expected);
    }
}

TEST_F(MainFrameTest, AHiddenStartKeepsTheMainChatWindowHiddenOnlyWithATray) {
    struct Case {
        const char* name;
        QString commandLine;
        bool tray;
        bool visible;
    };
    const Case cases[] = {
        {"hidden start with a tray", "\"VelkSTKApp\" --hidden", true, false},
        {"hidden start without a tray", "\"VelkSTKApp\" --hidden", false, true},
        {"ordinary start", "\"VelkSTKApp\"", true, true},
    };
    const CString kept = GetCommandLineW();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DestroyAll();
        SetCommandLineForProcess(c.commandLine);
        fakes.tray.available = c.tray;
        ASSERT_TRUE(CreateMain());
        CMyBrowserFrame* chat = StartMainChat();
        ASSERT_NE(chat, nullptr);
        EXPECT_EQ(chat->IsWindowVisible() != FALSE, c.visible);
        // The tray icon brings it back.
        TrayNotify(WM_LBUTTONDOWN);
        EXPECT_TRUE(chat->IsWindowVisible());
        EXPECT_EQ(CountOfKind(1), 1);
    }
    SetCommandLineForProcess(kept);
}

TEST_F(MainFrameTest, AnotherInstancesChannelIsLeftAloneAndTakenOverOnceFree) {
    const QString className = "SharedClass";
    const QString path = platform::InstanceChannelPath(className);
    QLocalServer::removeServer(path);
    // Another running instance listens under the same class name.
    auto other = std::make_unique<QLocalServer>();
    ASSERT_TRUE(other->listen(path));
    int handled = 0;
    EXPECT_FALSE(platform::ListenForInstances(
        className, [&](const platform::InstanceRequest&) { ++handled; }));
    // Its channel is still its own.
    {
        QLocalSocket probe;
        probe.connectToServer(path);
        ASSERT_TRUE(probe.waitForConnected(2000));
        ASSERT_TRUE(other->waitForNewConnection(2000));
    }
    // It ends: this instance takes the name over and is reached through it.
    other.reset();
    std::atomic<int> answered{-1};
    QDeadlineTimer deadline(30000);
    while (!QFileInfo::exists(path) && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    platform::InstanceRequest request;
    request.text = "<PKT><GBN>0</GBN></PKT>";
    std::thread second(
        [&] { answered = platform::HandOffToInstance(className, request, 20000) ? 1 : 0; });
    while (answered < 0 && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    platform::StopListeningForInstances();
    second.join();
    EXPECT_EQ(answered, 1);
    EXPECT_EQ(handled, 1);
}

TEST_F(MainFrameTest, SecondStartGivesUpOnAnInstanceThatDoesNotAnswer) {
    // Something listens under the class name but never answers, as a
    // stopped instance would.
    QLocalServer silent;
    const QString className = "SilentClass";
    const QString path = platform::InstanceChannelPath(className);
    QLocalServer::removeServer(path);
    ASSERT_TRUE(silent.listen(path));
    platform::InstanceRequest request;
    request.text = "<PKT><GBN>0</GBN></PKT>";
    EXPECT_FALSE(platform::HandOffToInstance(className, request, 300));
    EXPECT_FALSE(platform::HandOffToInstance("NobodyListens", request, 300));
}

TEST_F(MainFrameTest, ShowMainChatRequestOpensOrShowsIt) {
    ASSERT_TRUE(CreateMain());
    EXPECT_EQ(main->SendMessage(WM_APP_SHOW_MAIN_CHAT), 0);
    CMyBrowserFrame* chat = main->GetMainChatFrame(CMainFrame::FindOnly);
    ASSERT_NE(chat, nullptr);
    EXPECT_TRUE(chat->IsWindowVisible());
    chat->ShowWindow(SW_HIDE);
    main->SendMessage(WM_APP_SHOW_MAIN_CHAT);
    EXPECT_TRUE(chat->IsWindowVisible());
    EXPECT_EQ(CountOfKind(1), 1);
}

// ---------------------------------------------------------------------------
// The registry lock's guard.

class CountingSemaphore : public CMySemaphore {
public:
    void Unlock() override { ++unlocks; }
    int unlocks = 0;
};

TEST(MainFrameLockTest, GuardUnlocksOnceOnEveryWayOut) {
    CountingSemaphore s;
    {
        CMyUnlockGuard guard(s);
        EXPECT_EQ(s.unlocks, 0);
    }
    EXPECT_EQ(s.unlocks, 1);
    try {
        CMyUnlockGuard guard(s);
        throw std::runtime_error("out");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(s.unlocks, 2);
}

// ---------------------------------------------------------------------------
// The layered-window helper.

class LayeredWindowHelperTest : public ComponentTest {
protected:
    void SetUp() override {
        ComponentTest::SetUp();
        ASSERT_TRUE(layered.CreateTopLevel(WS_POPUP, WS_EX_LAYERED));
        layered.ShowWindow(SW_SHOW);
    }
    double Opacity(const CWnd& w) const { return w.GetPeer()->windowOpacity(); }
    // A value no percentage gives, so that a call that does nothing shows.
    static constexpr BYTE kMarker = 10;
    RecordingWnd layered{{}};
};

TEST_F(LayeredWindowHelperTest, PercentageIsClampedTo20To100AndTruncated) {
    struct Case {
        int percent;
        int alpha;
    };
    const Case cases[] = {{0, 51},   {1, 51},   {-5, 51},   {19, 51},   {20, 51},  {21, 53},
                          {50, 127}, {99, 252}, {100, 255}, {101, 255}, {250, 255}};
    CLayeredWindowHelperST helper;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.percent);
        ASSERT_TRUE(layered.SetLayeredAlpha(kMarker));
        EXPECT_NE(helper.SetTransparencyPercent(layered.m_hWnd, c.percent), 0);
        EXPECT_NEAR(Opacity(layered), c.alpha / 255.0, 1e-6);
    }
}

TEST_F(LayeredWindowHelperTest, ResultIsTheEntryPointsAndTheStylesAreLeftAlone) {
    RecordingWnd plain({});
    ASSERT_TRUE(plain.CreateTopLevel(WS_POPUP, 0));
    plain.ShowWindow(SW_SHOW);
    CLayeredWindowHelperST helper;
    // A window without the layered style cannot be made translucent.
    EXPECT_EQ(helper.SetTransparencyPercent(plain.m_hWnd, 50), 0);
    EXPECT_NEAR(Opacity(plain), 1.0, 1e-6);
    EXPECT_EQ(plain.GetExStyle(), 0u);
    EXPECT_NE(helper.SetTransparencyPercent(layered.m_hWnd, 50), 0);
    EXPECT_EQ(layered.GetExStyle(), static_cast<DWORD>(WS_EX_LAYERED));
    plain.DestroyWindow();
}

TEST_F(LayeredWindowHelperTest, MissingModuleReportsSuccessAndChangesNothing) {
    fakes.modules.moduleMissing = true;
    CLayeredWindowHelperST helper;
    fakes.modules.moduleMissing = false;
    ASSERT_TRUE(layered.SetLayeredAlpha(kMarker));
    for (int percent : {50, 0, 100}) {
        SCOPED_TRACE(percent);
        EXPECT_EQ(helper.SetTransparencyPercent(layered.m_hWnd, percent), 1);
        EXPECT_NEAR(Opacity(layered), kMarker / 255.0, 1e-6);
    }
}

TEST_F(LayeredWindowHelperTest, MissingEntryPointReportsFailureAndIsLookedUpAtEveryCall) {
    CLayeredWindowHelperST helper;
    ASSERT_TRUE(layered.SetLayeredAlpha(kMarker));
    EXPECT_NE(helper.SetTransparencyPercent(layered.m_hWnd, 50), 0);
    EXPECT_NEAR(Opacity(layered), 127 / 255.0, 1e-6);
    fakes.modules.entryPointMissing = true;
    EXPECT_EQ(helper.SetTransparencyPercent(layered.m_hWnd, 30), 0);
    EXPECT_NEAR(Opacity(layered), 127 / 255.0, 1e-6);
    fakes.modules.entryPointMissing = false;
    EXPECT_NE(helper.SetTransparencyPercent(layered.m_hWnd, 30), 0);
    EXPECT_NEAR(Opacity(layered), 76 / 255.0, 1e-6);
}

TEST_F(LayeredWindowHelperTest, EachHelperHoldsItsOwnModuleReference) {
    RecordingWnd second({});
    ASSERT_TRUE(second.CreateTopLevel(WS_POPUP, WS_EX_LAYERED));
    second.ShowWindow(SW_SHOW);
    auto a = std::make_unique<CLayeredWindowHelperST>();
    auto b = std::make_unique<CLayeredWindowHelperST>();
    a.reset();
    EXPECT_NE(b->SetTransparencyPercent(second.m_hWnd, 50), 0);
    EXPECT_NEAR(Opacity(second), 127 / 255.0, 1e-6);
    auto c = std::make_unique<CLayeredWindowHelperST>();
    b.reset();
    EXPECT_NE(c->SetTransparencyPercent(layered.m_hWnd, 40), 0);
    EXPECT_NEAR(Opacity(layered), 102 / 255.0, 1e-6);
    second.DestroyWindow();
}

}  // namespace
