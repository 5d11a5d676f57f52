#include "browser/PageHost.h"

#include <memory>

#include "browser/WindowCommands.h"
#include "packet/Fields.h"
#include "packet/Packet.h"
#include "shared/Messages.h"

CPageHost::CPageHost(CWnd& window, PageWindowDelegate* delegate)
    : m_window(window), m_delegate(delegate) {}

bool CPageHost::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_APP_BROWSER_CREATED:
            m_browser = reinterpret_cast<CefBrowser*>(lParam);
            if (m_delegate)
                m_delegate->OnPageArrived();
            return true;
        case WM_APP_PACKET: {
            // The posted packet is ours: it goes when the handling ends, on
            // every path, also when a command closes the window and with it
            // this host (the packet lives on this stack, not in the host).
            std::unique_ptr<CPacket> packet(reinterpret_cast<CPacket*>(wParam));
            if (packet && m_delegate)
                m_delegate->OnPagePacket(*packet);
            return true;
        }
        default:
            return false;
    }
}

bool CPageHost::FillClientArea() {
    if (!m_browser)
        return false;
    HWND h = m_browser->GetHost()->GetWindowHandle();
    if (!h)
        return false;
    RECT r;
    m_window.GetClientRect(&r);
    ::SetWindowPos(h, nullptr, static_cast<int>(r.left), static_cast<int>(r.top),
                   static_cast<int>(r.right - r.left), static_cast<int>(r.bottom - r.top),
                   SWP_NOZORDER | SWP_NOACTIVATE);
    return true;
}

void CPageHost::NotifyMoveOrResize() {
    if (m_browser)
        m_browser->GetHost()->NotifyMoveOrResizeStarted();
}

bool CPageHost::RunSharedCommand(const WindowCommandRules& rules, HWND target, CPacket& packet) {
    return RunWindowCommand(rules, target, m_browser, packet);
}

BesidePlacement PlaceBeside(const RECT& self, int gap, const RECT& work) {
    const long long width = static_cast<long long>(self.right) - self.left;
    long long left = static_cast<long long>(self.right) + gap;
    long long dx = 0;
    if (left + width > work.right)
        dx = static_cast<long long>(work.right) - (left + width);
    left += dx;
    BesidePlacement p;
    p.self = RECT{ClampToInt(self.left + dx), self.top, ClampToInt(self.right + dx), self.bottom};
    p.beside = RECT{ClampToInt(left), self.top, ClampToInt(left + width), self.bottom};
    p.shifted = dx != 0;
    return p;
}
