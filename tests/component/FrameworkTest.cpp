// The application framework's rules: handles, sent and posted messages,
// timers on the manual clock, window destruction, geometry, the profile.
#include <QDir>
#include <QWidget>

#include "TestProfile.h"
#include "framework/internal.h"
#include "testsupport.h"

namespace {

constexpr UINT WM_TEST = WM_APP + 1;

int g_disposed = 0;
void CountDisposal(WPARAM w) {
    delete reinterpret_cast<int*>(w);
    ++g_disposed;
}

class FrameworkTest : public ComponentTest {};

TEST_F(FrameworkTest, TimersFireAtTheirDueTimesInOrder) {
    RecordingWnd w({WM_TIMER});
    ASSERT_TRUE(w.CreateTopLevel());
    std::vector<std::pair<std::int64_t, UINT_PTR>> fired;
    w.onMessage = [&](UINT m, WPARAM id, LPARAM) {
        if (m == WM_TIMER)
            fired.push_back({clock.NowMs(), id});
    };
    w.SetTimer(1, 30);
    w.SetTimer(2, 50);
    clock.Advance(100);
    const std::vector<std::pair<std::int64_t, UINT_PTR>> expected = {
        {30, 1}, {50, 2}, {60, 1}, {90, 1}, {100, 2}};
    EXPECT_EQ(fired, expected);
    w.DestroyWindow();
}

TEST_F(FrameworkTest, SettingATimerAgainRearmsItAndKillingStopsIt) {
    RecordingWnd w({WM_TIMER});
    ASSERT_TRUE(w.CreateTopLevel());
    std::vector<std::int64_t> fired;
    w.onMessage = [&](UINT m, WPARAM, LPARAM) {
        if (m == WM_TIMER)
            fired.push_back(clock.NowMs());
    };
    w.SetTimer(7, 100);
    clock.Advance(50);
    w.SetTimer(7, 100);  // now due at 150, not 100
    clock.Advance(120);
    EXPECT_EQ(fired, std::vector<std::int64_t>({150}));
    EXPECT_TRUE(w.KillTimer(7));
    EXPECT_FALSE(w.KillTimer(7));
    clock.Advance(1000);
    EXPECT_EQ(fired.size(), 1u);
    w.DestroyWindow();
}

TEST_F(FrameworkTest, TimerHandlerThatDestroysItsWindowStopsCleanly) {
    // A window that deletes itself when its window goes, from its own timer.
    struct SelfClosing : CWnd {
        int* count;
        explicit SelfClosing(int* c) : count(c) {}
        void OnTimer(UINT_PTR) override {
            if (++*count == 2)
                DestroyWindow();
        }
        void PostNcDestroy() override { delete this; }
    };
    int count = 0;
    auto* w = new SelfClosing(&count);
    ASSERT_TRUE(w->CreateEx(0, "T", "t", WS_POPUP, 0, 0, 10, 10, nullptr, 0));
    HWND h = w->m_hWnd;
    w->SetTimer(1, 10);
    w->SetTimer(2, 15);
    clock.Advance(100);
    EXPECT_EQ(count, 2);
    EXPECT_FALSE(IsWindow(h));
}

TEST_F(FrameworkTest, PostedMessagesArriveInOrderAndDeadTargetsDisposeTheirPayload) {
    RegisterPostedPayloadDisposer(WM_TEST, CountDisposal);
    RecordingWnd a({WM_TEST});
    ASSERT_TRUE(a.CreateTopLevel());
    auto* b = new RecordingWnd({WM_TEST});
    ASSERT_TRUE(b->CreateTopLevel());
    HWND bh = b->m_hWnd;
    a.onMessage = [](UINT m, WPARAM w, LPARAM) {
        if (m == WM_TEST)
            delete reinterpret_cast<int*>(w);
    };
    for (int i = 0; i < 5; ++i)
        PostMessage(a.m_hWnd, WM_TEST, WPARAM(new int(i)), i);
    PostMessage(bh, WM_TEST, WPARAM(new int(99)), 0);
    g_disposed = 0;
    b->DestroyWindow();
    delete b;
    DeliverPostedMessages();
    ASSERT_EQ(a.received.size(), 5u);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(a.received[i].lParam, i);
    EXPECT_EQ(g_disposed, 1);
    // Nothing reaches a handle whose window is gone.
    EXPECT_EQ(SendMessage(bh, WM_TEST, 0, 0), 0);
    EXPECT_FALSE(IsWindow(bh));
    a.DestroyWindow();
}

TEST_F(FrameworkTest, HandlesAreNeverReusedAndChildrenGoWithTheirParent) {
    std::vector<HWND> seen;
    for (int i = 0; i < 3; ++i) {
        CWnd w;
        ASSERT_TRUE(w.CreateEx(0, "C", "n", WS_POPUP, 0, 0, 10, 10, nullptr, 0));
        seen.push_back(w.m_hWnd);
        w.DestroyWindow();
    }
    EXPECT_NE(seen[0], seen[1]);
    EXPECT_NE(seen[1], seen[2]);

    CWnd parent;
    ASSERT_TRUE(parent.CreateEx(0, "P", "p", WS_POPUP, 0, 0, 100, 100, nullptr, 0));
    RecordingWnd child({WM_DESTROY});
    RECT r{0, 0, 50, 50};
    ASSERT_TRUE(child.Create("C", "c", WS_CHILD | WS_VISIBLE, r, &parent, 1));
    EXPECT_EQ(GetParent(child.m_hWnd), parent.m_hWnd);
    EXPECT_EQ(GetWindow(parent.m_hWnd, GW_CHILD), child.m_hWnd);
    EXPECT_EQ(GetAncestor(child.m_hWnd, GA_ROOT), parent.m_hWnd);
    HWND ch = child.m_hWnd;
    parent.DestroyWindow();
    EXPECT_FALSE(IsWindow(ch));
    EXPECT_EQ(child.received.size(), 1u);
    EXPECT_EQ(child.m_hWnd, nullptr);
}

// A frame deletes itself when its window goes; the handle stays harmless.
TEST_F(FrameworkTest, FrameClosingItselfFromItsOwnHandlerIsSafe) {
    auto* frame = new CFrameWnd();
    ASSERT_TRUE(frame->CreateEx(0, "F", "f", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, 0));
    HWND h = frame->m_hWnd;
    PostMessage(h, WM_CLOSE, 0, 0);
    PostMessage(h, WM_CLOSE, 0, 0);  // arrives after the window is gone
    DeliverPostedMessages();
    EXPECT_FALSE(IsWindow(h));
    EXPECT_FALSE(ShowWindow(h, SW_SHOW));
    EXPECT_FALSE(SetWindowPos(h, nullptr, 0, 0, 1, 1, 0));
}

TEST_F(FrameworkTest, CreationFailsWhenOnCreateRefuses) {
    struct Refusing : CWnd {
        int OnCreate(CREATESTRUCT*) override { return -1; }
    };
    const int before = WindowCount();
    Refusing w;
    EXPECT_FALSE(w.CreateEx(0, "R", "r", WS_POPUP, 0, 0, 10, 10, nullptr, 0));
    EXPECT_EQ(WindowCount(), before);
    EXPECT_EQ(w.m_hWnd, nullptr);
}

TEST_F(FrameworkTest, StylesAndPlacementMapToTheToolkit) {
    CWnd w;
    ASSERT_TRUE(w.CreateEx(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, "S", "title", WS_POPUP, 20, 30, 200,
                           100, nullptr, 0));
    QWidget* peer = w.GetPeer();
    EXPECT_TRUE(peer->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(peer->windowFlags() & Qt::WindowType_Mask, Qt::Tool);
    EXPECT_TRUE(peer->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(w.GetWindowText(), QStringLiteral("title"));
    w.ShowWindow(SW_SHOW);
    RECT r;
    w.GetWindowRect(&r);
    EXPECT_EQ(r, (RECT{20, 30, 220, 130}));
    w.SetWindowPos(nullptr, 5, 6, 70, 80, SWP_NOZORDER);
    w.GetWindowRect(&r);
    EXPECT_EQ(r, (RECT{5, 6, 75, 86}));
    EXPECT_TRUE(w.GetStyle() & WS_VISIBLE);
    w.ShowWindow(SW_HIDE);
    EXPECT_FALSE(w.GetStyle() & WS_VISIBLE);
    w.DestroyWindow();
}

TEST_F(FrameworkTest, DestroyingTheMainWindowPostsQuit) {
    CWinApp app(QStringLiteral("FrameworkTestApp"));
    auto* frame = new CFrameWnd();
    ASSERT_TRUE(frame->CreateEx(0, "F", "f", WS_POPUP, 0, 0, 10, 10, nullptr, 0));
    app.m_pMainWnd = frame;
    framework::ResetQuit();
    frame->SendMessage(WM_CLOSE);
    EXPECT_TRUE(framework::QuitPosted());
    EXPECT_EQ(app.m_pMainWnd, nullptr);
    EXPECT_FALSE(app.PumpMessage());
    framework::ResetQuit();
}

TEST(Geometry, RectanglesHaveExclusiveRightAndBottomEdges) {
    const RECT r{10, 20, 30, 40};
    struct Case {
        POINT p;
        BOOL inside;
    };
    const Case cases[] = {{{10, 20}, TRUE},  {{29, 39}, TRUE}, {{30, 39}, FALSE},
                          {{29, 40}, FALSE}, {{9, 25}, FALSE}, {{15, 19}, FALSE}};
    for (const Case& c : cases) {
        EXPECT_EQ(PtInRect(&r, c.p), c.inside) << c.p.x << "," << c.p.y;
    }
    RECT g = r;
    InflateRect(&g, 5, 5);
    EXPECT_EQ(g, (RECT{5, 15, 35, 45}));
    InflateRect(&g, -1, -2);
    EXPECT_EQ(g, (RECT{6, 17, 34, 43}));
    OffsetRect(&g, -6, 3);
    EXPECT_EQ(g, (RECT{0, 20, 28, 46}));
}

TEST(Profile, ValuesRoundTripPerSectionAfterTheRegistryKeyIsSet) {
    TestProfile profile;
    ASSERT_TRUE(profile.Install());
    const QString home = profile.Path();
    CWinApp app(QStringLiteral("ProfileTestApp"));
    EXPECT_EQ(app.GetProfileString("ALARM", "CFG", "<PKT></PKT>"), "<PKT></PKT>");
    EXPECT_FALSE(app.WriteProfileInt("CHAT", "XX", 5));
    app.SetRegistryKey(QStringLiteral("VelkApp"));
    EXPECT_TRUE(app.WriteProfileInt("CHAT", "XX", -120));
    EXPECT_TRUE(app.WriteProfileString("ALARM", "CFG", "<PKT><A>벨크</A></PKT>"));
    EXPECT_EQ(static_cast<int>(app.GetProfileInt("CHAT", "XX", 0)), -120);
    EXPECT_EQ(static_cast<int>(app.GetProfileInt("W4X", "XX", 42)), 42);
    EXPECT_EQ(app.GetProfileString("ALARM", "CFG", ""), "<PKT><A>벨크</A></PKT>");
    // The values live in the user's own configuration directory.
    EXPECT_TRUE(QDir(home + "/VelkApp").exists());

    // A key that would lead elsewhere names a directory of its own in there,
    // and keeps its values apart.
    const std::pair<QString, QString> keys[] = {{"../../escaped", "%2E.%2F..%2Fescaped"},
                                                {"a/b\\c%d", "a%2Fb%5Cc%25d"},
                                                {".hidden", "%2Ehidden"},
                                                {"벨크 채팅", "벨크 채팅"}};
    for (const auto& [key, directory] : keys) {
        app.SetRegistryKey(key);
        EXPECT_TRUE(app.WriteProfileInt("CHAT", "XX", 7));
        EXPECT_TRUE(QFileInfo::exists(home + "/" + directory + "/ProfileTestApp.conf"))
            << key.toStdString();
        EXPECT_EQ(static_cast<int>(app.GetProfileInt("CHAT", "XX", 0)), 7);
    }
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(home).dir().filePath("escaped")));
    EXPECT_EQ(QDir(home).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 5);
}

// A profile whose directory cannot be made: a file stands in its place.
TEST(Profile, ValuesThatCannotBeWrittenStayInMemoryAndTheFirstFailureIsTold) {
    TestProfile profile;
    ASSERT_TRUE(profile.Install());
    struct App : CWinApp {
        using CWinApp::CWinApp;
        void OnProfileNotSaved(const QString& file, const QString& reason) override {
            told << file + " | " + reason;
        }
        QStringList told;
    } app(QStringLiteral("ProfileTestApp"));
    app.SetRegistryKey(QStringLiteral("VelkApp"));
    const QString blocker = profile.Path() + "/VelkApp";
    ASSERT_TRUE(QFile(blocker).open(QIODevice::WriteOnly));
    EXPECT_FALSE(app.WriteProfileInt("CHAT", "XX", -120));
    EXPECT_FALSE(app.WriteProfileInt("CHAT", "YY", 7));
    EXPECT_EQ(static_cast<int>(app.GetProfileInt("CHAT", "XX", 0)), -120);
    EXPECT_EQ(app.told,
              QStringList({blocker + "/ProfileTestApp.conf | " + blocker + " is not a directory"}));
    // Once the directory can be made, the next write saves every value kept.
    ASSERT_TRUE(QFile::remove(blocker));
    EXPECT_TRUE(app.WriteProfileString("ALARM", "CFG", "<PKT></PKT>"));
    EXPECT_EQ(
        QSettings(blocker + "/ProfileTestApp.conf", QSettings::IniFormat).value("CHAT/XX").toInt(),
        -120);
}

}  // namespace

namespace {
TEST_F(FrameworkTest, CaptionStylesDecideTheFrame) {
    CWnd w;
    ASSERT_TRUE(w.CreateEx(0, "D", "d", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, 0));
    w.ShowWindow(SW_SHOW);
    EXPECT_FALSE(w.GetPeer()->windowFlags() & Qt::FramelessWindowHint);
    SetWindowLongW(w.m_hWnd, GWL_STYLE,
                   GetWindowLongW(w.m_hWnd, GWL_STYLE) & ~(WS_CAPTION | WS_THICKFRAME));
    SetWindowPos(w.m_hWnd, nullptr, 0, 0, 0, 0, 0x227);
    EXPECT_TRUE(w.GetPeer()->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(w.IsWindowVisible());
    w.DestroyWindow();
}
}  // namespace
