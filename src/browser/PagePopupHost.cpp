#include "browser/PagePopupHost.h"

#include "packet/Fields.h"
#include "packet/Packet.h"
#include "shared/Messages.h"

namespace {

// Re-applies a window's changed frame styles without moving, sizing or
// re-ordering it.
constexpr UINT kFrameChangedOnly =
    SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED | SWP_NOOWNERZORDER;
static_assert(kFrameChangedOnly == 0x227);

void RemoveWindowStyle(HWND h, int index, DWORD remove) {
    SetWindowLongW(h, index,
                   static_cast<LONG>(static_cast<DWORD>(GetWindowLongW(h, index)) & ~remove));
}

}  // namespace

CPagePopupHost::CPagePopupHost(const CefRefPtr<CefBrowser>& browser) : m_top(TopWindow(browser)) {
    m_page.TakeBrowser(browser);
}

HWND CPagePopupHost::TopWindow(const CefRefPtr<CefBrowser>& browser) {
    CefRefPtr<CefBrowserHost> host = browser ? browser->GetHost() : nullptr;
    return host ? GetAncestor(host->GetWindowHandle(), GA_ROOT) : nullptr;
}

void CPagePopupHost::Arrived(bool framed) {
    if (framed || !m_top)
        return;
    HICON icon = LoadIconW(nullptr, IDI_APPLICATION_ICON);
    SendMessage(m_top, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessage(m_top, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    RemoveWindowStyle(m_top, GWL_STYLE, WS_CAPTION | WS_THICKFRAME);
    RemoveWindowStyle(m_top, GWL_EXSTYLE, WS_EX_DLGMODALFRAME);
    SetWindowPos(m_top, nullptr, 0, 0, 0, 0, kFrameChangedOnly);
}

// The page popup's own commands: closing, and giving up its sizing frame
// (a resize command gives it back).
void CPagePopupHost::OnOwnPacket(CPacket& packet) {
    switch (PacketCommand(packet)) {
        case CMD_HIDE_OR_CLOSE:
            PostMessage(m_top, WM_CLOSE, 0, 0);
            break;
        case CMD_OPEN_POPUP_WINDOW:
            RemoveWindowStyle(m_top, GWL_STYLE, WS_THICKFRAME);
            SetWindowPos(m_top, nullptr, 0, 0, 0, 0, kFrameChangedOnly);
            break;
        default:
            break;
    }
}
