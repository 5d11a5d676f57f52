#include "shared/WorkArea.h"

#include "framework/afxwin.h"
#include "platform/desktop.h"

RECT GetWorkArea() {
    RECT area{};
    ::GetWindowRect(GetDesktopWindow(), &area);
    HWND taskbar = FindWindowW(QStringLiteral("Shell_TrayWnd"), QString());
    RECT bar{};
    if (taskbar && ::GetWindowRect(taskbar, &bar)) {
        if (bar.top > area.top) {
            area.bottom = bar.top;
        } else if (bar.bottom >= area.bottom && bar.right >= area.right) {
            area.right = bar.left;
        }
    }
    return area;
}
