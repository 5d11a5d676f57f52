// The window layer under the system's windows: a native window lives as
// long as its window, whatever changes on it; a thick-frame window without a
// caption keeps its sizing border; nested loops keep the program running.
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include "testsupport.h"

namespace {

class WindowLayerTest : public ComponentTest {};

// Every change the system makes on a window that is on screen.
TEST_F(WindowLayerTest, ChangesOnAShownWindowKeepItsNativeWindow) {
    CWnd w;
    ASSERT_TRUE(w.CreateEx(WS_EX_CLIENTEDGE, "L", "live", WS_OVERLAPPEDWINDOW, 10, 10, 300, 200,
                           nullptr, 0));
    w.ShowWindow(SW_SHOW);
    QWindow* native = w.GetPeer()->windowHandle();
    ASSERT_NE(native, nullptr);
    const WId id = native->winId();
    // The native window is never hidden on the way (hidden and shown again
    // it would flicker, and for a moment not be on screen).
    int hidden = 0;
    QObject::connect(native, &QWindow::visibleChanged, [&](bool visible) { hidden += !visible; });

    struct Step {
        const char* what;
        std::function<void()> change;
    };
    const HWND h = w.m_hWnd;
    const Step steps[] = {
        {"client edge removed", [&] { w.ModifyStyleEx(WS_EX_CLIENTEDGE, 0, SWP_FRAMECHANGED); }},
        {"topmost", [&] { SetWindowPos(h, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE); }},
        {"layered",
         [&] {
             w.ModifyStyleEx(0, WS_EX_LAYERED);
             w.SetLayeredAlpha(128);
         }},
        {"caption lost",
         [&] {
             SetWindowLongW(h, GWL_STYLE,
                            GetWindowLongW(h, GWL_STYLE) & ~(WS_CAPTION | WS_THICKFRAME));
             SetWindowPos(h, nullptr, 0, 0, 0, 0, 0x227);
         }},
        {"sizing frame added", [&] { w.ModifyStyle(0, WS_THICKFRAME, SWP_FRAMECHANGED); }},
        {"tool window", [&] { w.ModifyStyleEx(0, WS_EX_TOOLWINDOW, SWP_FRAMECHANGED); }},
        {"not topmost",
         [&] { SetWindowPos(h, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE); }},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.change();
        QCoreApplication::processEvents();
        EXPECT_EQ(w.GetPeer()->windowHandle(), native);
        EXPECT_EQ(native->winId(), id);
        EXPECT_TRUE(w.GetPeer()->isVisible());
        EXPECT_TRUE(w.IsWindowVisible());
        EXPECT_EQ(hidden, 0);
    }
    EXPECT_TRUE(native->flags() & Qt::FramelessWindowHint);
    EXPECT_EQ(native->flags() & Qt::WindowType_Mask, Qt::Tool);
    EXPECT_FALSE(native->flags() & Qt::WindowStaysOnTopHint);
    w.DestroyWindow();
}

// A window created visible and hidden at once never reaches the screen;
// one left visible appears when the loop runs.
TEST_F(WindowLayerTest, WindowCreatedVisibleAppearsWhenTheLoopRuns) {
    CWnd hidden, shown;
    ASSERT_TRUE(hidden.CreateEx(WS_EX_TOPMOST, "H", "h", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100,
                                nullptr, 0));
    ASSERT_TRUE(shown.CreateEx(0, "S", "s", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100, nullptr, 0));
    EXPECT_TRUE(hidden.IsWindowVisible());
    EXPECT_TRUE(hidden.GetStyle() & WS_VISIBLE);
    // It exists in the window system from its creation on.
    QWindow* native = hidden.GetPeer()->windowHandle();
    ASSERT_NE(native, nullptr);
    int shows = 0;
    QObject::connect(native, &QWindow::visibleChanged, [&](bool visible) { shows += visible; });
    hidden.ShowWindow(SW_HIDE);
    QCoreApplication::processEvents();
    EXPECT_EQ(shows, 0);
    EXPECT_FALSE(hidden.IsWindowVisible());
    EXPECT_TRUE(shown.GetPeer()->isVisible());
    hidden.DestroyWindow();
    shown.DestroyWindow();
}

// Client coordinates, WM_SIZE and the children live inside the sizing
// border; the border comes and goes with WS_THICKFRAME.
TEST_F(WindowLayerTest, ThickFrameWithoutCaptionKeepsASizingBorder) {
    RecordingWnd frame({WM_SIZE});
    ASSERT_TRUE(frame.CreateTopLevel(WS_POPUP | WS_THICKFRAME));
    CWnd child;
    ASSERT_TRUE(child.Create("C", "", WS_CHILD | WS_VISIBLE, RECT{0, 0, 50, 40}, &frame, 1));
    frame.ShowWindow(SW_SHOW);
    RECT client;
    frame.GetClientRect(&client);
    EXPECT_EQ(client, (RECT{0, 0, 200 - 2 * AFX_CXFRAME, 100 - 2 * AFX_CYFRAME}));
    ASSERT_FALSE(frame.received.empty());
    EXPECT_EQ(frame.received.back().lParam, MAKELPARAM(client.right, client.bottom));
    RECT outer, inner;
    frame.GetWindowRect(&outer);
    child.GetWindowRect(&inner);
    EXPECT_EQ(inner.left - outer.left, AFX_CXFRAME);
    EXPECT_EQ(inner.top - outer.top, AFX_CYFRAME);
    POINT p{3, 7};
    frame.ClientToScreen(&p);
    EXPECT_EQ(p.x, outer.left + AFX_CXFRAME + 3);
    EXPECT_EQ(p.y, outer.top + AFX_CYFRAME + 7);
    frame.ScreenToClient(&p);
    EXPECT_EQ(p.x, 3);
    EXPECT_EQ(p.y, 7);

    // Without the sizing frame the whole window is client area; the child
    // keeps its client coordinates.
    frame.received.clear();
    frame.ModifyStyle(WS_THICKFRAME, 0, SWP_FRAMECHANGED);
    frame.GetClientRect(&client);
    EXPECT_EQ(client, (RECT{0, 0, 200, 100}));
    ASSERT_FALSE(frame.received.empty());
    EXPECT_EQ(frame.received.back().lParam, MAKELPARAM(200, 100));
    child.GetWindowRect(&inner);
    EXPECT_EQ(inner.left, outer.left);
    EXPECT_EQ(inner.top, outer.top);
    frame.DestroyWindow();
}

// A box runs a loop of its own: in it, posted messages arrive in posting
// order and the application does its pending work, so no other window
// waits for the box to close.
TEST_F(WindowLayerTest, NestedLoopOfABoxKeepsTheProgramRunning) {
    struct App : CWinApp {
        App() : CWinApp(QStringLiteral("NestedLoopApp")) {}
        void OnNestedLoopWork() override { ++work; }
        int work = 0;
    } app;
    RecordingWnd other({WM_APP + 7});
    ASSERT_TRUE(other.CreateTopLevel());
    struct LoopingBox : MessageBoxPort {
        std::function<void()> during;
        int Show(const CString&, const CString&, UINT) override {
            QEventLoop loop;
            during();
            QTimer::singleShot(0, &loop, &QEventLoop::quit);
            loop.exec();
            return IDYES;
        }
    } box;
    int workBefore = 0;
    box.during = [&] {
        workBefore = app.work;
        AfxWakeMessageLoop();
        ::PostMessage(other.m_hWnd, WM_APP + 7, 2, 0);
    };
    // One message waits before the box opens, one is posted while it is open.
    ::PostMessage(other.m_hWnd, WM_APP + 7, 1, 0);
    AfxSetMessageBoxPort(&box);
    EXPECT_EQ(AfxMessageBox("?", MB_YESNO), IDYES);
    AfxSetMessageBoxPort(&boxes);
    EXPECT_GT(app.work, workBefore);
    EXPECT_EQ(other.received, std::vector<Recorded>({{WM_APP + 7, 1, 0}, {WM_APP + 7, 2, 0}}));
    // Outside a box the main loop does the work itself.
    const int afterBox = app.work;
    AfxWakeMessageLoop();
    QCoreApplication::processEvents();
    EXPECT_EQ(app.work, afterBox);
    other.DestroyWindow();
}

}  // namespace
