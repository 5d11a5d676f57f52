// The desktop: its screens and the taskbar on them (the screen port), the
// frame metrics, and drag and drop.
//
// Threading: user-interface thread.
#pragma once

#include <vector>

#include "framework/afxtypes.h"

// --- Windows of the desktop shell ------------------------------------------

// Finds a top-level window by class. The desktop's taskbar answers to
// "Shell_TrayWnd": it is inferred from the difference between the primary
// screen and its available area (a panel at the bottom or right edge);
// without such a panel there is none. GetWindowRect works on its handle.
HWND FindWindowW(const CString& className, const CString& windowName);

// --- Screens ------------------------------------------------------------------
// Every screen of the desktop, the primary one first, each with the panel
// that takes one of its edges (its taskbar), inferred as for the primary
// screen's "Shell_TrayWnd". The primary screen's entry is what GetWindowRect
// gives for the desktop window and for that taskbar.
struct DesktopScreenInfo {
    RECT screen;
    bool hasTaskbar;
    RECT taskbar;
};
std::vector<DesktopScreenInfo> GetDesktopScreens();

// --- System metrics ---------------------------------------------------------
// Fixed values (those of a standard Windows desktop at 96 dpi): the toolkit
// draws frames itself, so the system's own arithmetic gets stable numbers.
constexpr int SM_CXBORDER = 5;
constexpr int SM_CYBORDER = 6;
constexpr int SM_CYCAPTION = 4;
constexpr int SM_CXFRAME = 32;
constexpr int SM_CYFRAME = 33;
int GetSystemMetrics(int index);

// Drag and drop: nothing can be dropped on the window or its children.
long RevokeDragDrop(HWND h);

namespace platform {

// A screen and the part of it that panels leave free.
struct ScreenArea {
    RECT screen;
    RECT available;
};
class ScreenPort {
public:
    virtual ~ScreenPort() = default;
    virtual ScreenArea PrimaryScreen() = 0;
    // Every screen of the desktop, the primary one first; a desktop of one
    // screen has only that.
    virtual std::vector<ScreenArea> Screens() { return {PrimaryScreen()}; }
};

// The real port: the toolkit's screens, its primary one first; without
// one, a screen of 1024 x 768.
ScreenPort& RealScreen();
// The port in use (installed by ports.h).
ScreenPort& ScreenInUse();

// Makes GetWindowRect answer for the desktop and the taskbar from the screen
// port in use. Installing ports does it (ports.h), the process's set-up
// first of all (setup.h); calling it again changes nothing.
void AnswerForDesktopWindows();

}  // namespace platform
