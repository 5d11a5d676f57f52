#include "browser/WindowCommands.h"

#include "framework/afxwin.h"
#include "packet/Fields.h"
#include "packet/Packet.h"
#include "packet/Vocabulary.h"
#include "platform/shell.h"
#include "shared/WorkArea.h"

namespace {

void AddSizingFrame(HWND window) {
    const auto style = static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE));
    SetWindowLongW(window, GWL_STYLE, static_cast<LONG>(style | WS_THICKFRAME));
}

void ToggleMaximized(HWND window) {
    const auto style = static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE));
    if (IsIconic(window) || (style & WS_MAXIMIZE) != 0) {
        ShowWindow(window, SW_RESTORE);
    } else {
        ShowWindow(window, SW_MAXIMIZE);
    }
    SetForegroundWindow(window);
}

// The user's pressed mouse button moves or sizes the window in the system's
// own loop.
void StartMoveOrSize(const WindowCommandRules& rules, HWND window, int command) {
    const bool resize = command != CMD_MOVE;
    if (rules.resizeAddsSizingFrame && resize && command != CMD_SIZE_LEFT)
        AddSizingFrame(window);
    ReleaseCapture();
    PostMessage(window, WM_NCLBUTTONDOWN, static_cast<WPARAM>(HitTestOfCommand(command)), 0);
}

void OpenInSystemBrowser(CPacket& packet) {
    // The result is not checked.
    const QString url = packet.GetString(field::kUrl, QString());
    if (!url.isEmpty())
        ShellExecuteW(nullptr, QStringLiteral("open"), url, QString(), QString(), SW_SHOW);
}

void CallJSVer(const CefRefPtr<CefBrowser>& page) {
    if (!page)
        return;
    if (CefRefPtr<CefFrame> frame = page->GetMainFrame())
        frame->ExecuteJavaScript(QStringLiteral("JSVer(1)"), frame->GetURL(), 0);
}

}  // namespace

void PlaceWindowFromPacket(HWND window, CPacket& packet, const RECT& defaults, UINT flags) {
    // A place on no screen is pulled onto the nearest one.
    const RECT r = KeepOnScreen(RectFromFields(packet, defaults), GetWorkAreas());
    SetWindowPos(window, nullptr, static_cast<int>(r.left), static_cast<int>(r.top),
                 static_cast<int>(r.right - r.left), static_cast<int>(r.bottom - r.top), flags);
}

bool RunWindowCommand(const WindowCommandRules& rules, HWND window,
                      const CefRefPtr<CefBrowser>& page, CPacket& packet) {
    const int command = PacketCommand(packet);
    if (!CarriesOut(rules, command))
        return false;
    switch (command) {
        case CMD_MINIMIZE:
            if (window)
                ShowWindow(window, SW_MINIMIZE);
            return true;
        case CMD_TOGGLE_MAXIMIZE:
            if (window)
                ToggleMaximized(window);
            return true;
        case CMD_MOVE:
        case CMD_SIZE_TOP:
        case CMD_SIZE_BOTTOM:
        case CMD_SIZE_TOP_LEFT:
        case CMD_SIZE_BOTTOM_RIGHT:
        case CMD_SIZE_TOP_RIGHT:
        case CMD_SIZE_BOTTOM_LEFT:
        case CMD_SIZE_LEFT:
        case CMD_SIZE_RIGHT:
            if (window)
                StartMoveOrSize(rules, window, command);
            return true;
        case CMD_PLACE_WINDOW:
            if (window && rules.placement)
                PlaceWindowFromPacket(window, packet, rules.placement->defaults,
                                      rules.placement->flags);
            return true;
        case CMD_OPEN_IN_SYSTEM_BROWSER:
            OpenInSystemBrowser(packet);
            return true;
        case CMD_FLASH_WINDOW:
            if (CWnd* w = CWnd::FromHandle(window))
                w->FlashWindow(TRUE);
            return true;
        case CMD_CALL_JSVER:
            CallJSVer(page);
            return true;
        default:
            return false;
    }
}
