#include "platform/desktop.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "framework/afxwin.h"
#include "framework/peer.h"

namespace {

// --- Screen and taskbar ------------------------------------------------------

platform::ScreenArea AreaOf(const QScreen* s) {
    return {framework::FromQRect(s->geometry()), framework::FromQRect(s->availableGeometry())};
}

// The toolkit's screens, its primary one first; without one, a screen of
// 1024 x 768.
class DesktopScreen final : public platform::ScreenPort {
public:
    platform::ScreenArea PrimaryScreen() override {
        const QScreen* s = QGuiApplication::primaryScreen();
        if (!s)
            return {RECT{0, 0, 1024, 768}, RECT{0, 0, 1024, 768}};
        return AreaOf(s);
    }
    std::vector<platform::ScreenArea> Screens() override {
        std::vector<platform::ScreenArea> screens{PrimaryScreen()};
        const QScreen* primary = QGuiApplication::primaryScreen();
        for (const QScreen* s : QGuiApplication::screens()) {
            if (s != primary)
                screens.push_back(AreaOf(s));
        }
        return screens;
    }
};

void Screen(RECT* screen, RECT* available) {
    const platform::ScreenArea area = platform::ScreenInUse().PrimaryScreen();
    *screen = area.screen;
    *available = area.available;
}

HWND const kTaskbar = reinterpret_cast<HWND>(0x14);

// A screen's taskbar is the panel that takes the screen's bottom or right
// edge out of the available area; top and left panels are reported as well,
// and the system's own rule decides what to make of them.
bool PanelRect(const platform::ScreenArea& area, RECT* r) {
    const RECT& screen = area.screen;
    const RECT& available = area.available;
    if (available.bottom < screen.bottom) {
        *r = RECT{screen.left, available.bottom, screen.right, screen.bottom};
    } else if (available.right < screen.right) {
        *r = RECT{available.right, screen.top, screen.right, screen.bottom};
    } else if (available.top > screen.top) {
        *r = RECT{screen.left, screen.top, screen.right, available.top};
    } else if (available.left > screen.left) {
        *r = RECT{screen.left, screen.top, available.left, screen.bottom};
    } else {
        return false;
    }
    return true;
}

// The primary screen's taskbar.
bool TaskbarRect(RECT* r) {
    return PanelRect(platform::ScreenInUse().PrimaryScreen(), r);
}

bool ForeignRect(HWND h, RECT* r) {
    if (h == GetDesktopWindow()) {
        RECT available;
        Screen(r, &available);
        return true;
    }
    if (h == kTaskbar)
        return TaskbarRect(r);
    return false;
}

}  // namespace

std::vector<DesktopScreenInfo> GetDesktopScreens() {
    std::vector<DesktopScreenInfo> out;
    for (const platform::ScreenArea& area : platform::ScreenInUse().Screens()) {
        DesktopScreenInfo info{area.screen, false, RECT{}};
        info.hasTaskbar = PanelRect(area, &info.taskbar);
        out.push_back(info);
    }
    return out;
}

HWND FindWindowW(const CString& className, const CString&) {
    if (className == QLatin1String("Shell_TrayWnd")) {
        RECT r;
        return TaskbarRect(&r) ? kTaskbar : nullptr;
    }
    return nullptr;
}

int GetSystemMetrics(int index) {
    switch (index) {
        case SM_CXBORDER:
        case SM_CYBORDER:
            return 1;
        case SM_CYCAPTION:
            return 23;
        case SM_CXFRAME:
            return AFX_CXFRAME;
        case SM_CYFRAME:
            return AFX_CYFRAME;
        default:
            return 0;
    }
}

long RevokeDragDrop(HWND h) {
    CWnd* w = CWnd::FromHandle(h);
    if (!w || !w->GetPeer())
        return -1;
    QWidget* peer = w->GetPeer();
    peer->setAcceptDrops(false);
    for (QWidget* child : peer->findChildren<QWidget*>())
        child->setAcceptDrops(false);
    return 0;
}

namespace platform {

// Installed with the ports (InstallPorts), so from the process's set-up on.
void AnswerForDesktopWindows() {
    SetForeignWindowRectProvider(ForeignRect);
}

ScreenPort& RealScreen() {
    static auto* screen = new DesktopScreen();
    return *screen;
}

}  // namespace platform
