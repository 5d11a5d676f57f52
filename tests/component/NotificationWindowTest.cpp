// Which windows bypass the window manager: a top-level popup that is never
// activated (an alarm popup) does, from its creation on and through later
// style changes of the same native window; chat frames, the hidden main
// frame and captioned windows stay managed.
#include <QCoreApplication>
#include <QWidget>
#include <QWindow>

#include "testsupport.h"

namespace {

class NotificationWindowTest : public ComponentTest {};

TEST_F(NotificationWindowTest, OnlyANoActivatePopupBypassesTheWindowManager) {
    struct Case {
        const char* what;
        DWORD style;
        DWORD exStyle;
        bool bypasses;
    };
    const Case cases[] = {
        {"alarm popup", WS_POPUP | WS_SYSMENU, WS_EX_NOACTIVATE, true},
        {"topmost tool popup", WS_POPUP, WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW | WS_EX_TOPMOST, true},
        {"hidden main frame", WS_POPUP | WS_SYSMENU,
         WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_WINDOWEDGE, false},
        {"chat frame", WS_POPUP | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX, 0,
         false},
        {"captioned no-activate window", WS_OVERLAPPEDWINDOW, WS_EX_NOACTIVATE, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RecordingWnd w({});
        ASSERT_TRUE(w.CreateTopLevel(c.style, c.exStyle));
        QWidget* peer = w.GetPeer();
        const WId native = peer->winId();
        EXPECT_EQ(peer->windowFlags().testFlag(Qt::BypassWindowManagerHint), c.bypasses);
        // Topmost and back: the same native window, which keeps bypassing
        // the manager or not.
        w.SetWindowPos(HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        w.SetWindowPos(HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        EXPECT_EQ(peer->windowHandle()->winId(), native);
        EXPECT_EQ(peer->windowHandle()->flags().testFlag(Qt::BypassWindowManagerHint), c.bypasses);
        w.DestroyWindow();
    }
}

TEST_F(NotificationWindowTest, AnIconifiedNotificationWindowLeavesTheScreenUntilRestored) {
    // No window manager iconifies a window that bypasses it, and it has no
    // taskbar entry to stay in: it goes off the screen; a managed window is
    // left to its manager.
    struct Case {
        const char* what;
        DWORD style;
        DWORD exStyle;
        bool visibleWhileIconic;
    };
    const Case cases[] = {
        {"alarm popup", WS_POPUP | WS_SYSMENU, WS_EX_NOACTIVATE, false},
        {"chat frame", WS_POPUP | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX, 0,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RecordingWnd w({});
        ASSERT_TRUE(w.CreateTopLevel(c.style, c.exStyle));
        w.ShowWindow(SW_SHOWNA);
        w.ShowWindow(SW_MINIMIZE);
        QCoreApplication::sendPostedEvents();
        EXPECT_TRUE(w.IsIconic());
        EXPECT_EQ(w.IsWindowVisible() != FALSE, c.visibleWhileIconic);
        w.ShowWindow(SW_RESTORE);
        QCoreApplication::sendPostedEvents();
        EXPECT_FALSE(w.IsIconic());
        EXPECT_TRUE(w.IsWindowVisible());
        w.DestroyWindow();
    }
}

}  // namespace
