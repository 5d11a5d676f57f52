#include "browser/PageHost.h"

#include <memory>

#include "browser/PageRoutes.h"
#include "browser/WindowCommands.h"
#include "packet/Fields.h"
#include "packet/Packet.h"
#include "shared/Forwarding.h"
#include "shared/Messages.h"
#include "shared/ShellApp.h"

CPageHost::CPageHost(CWnd* window, PageWindowDelegate* delegate, const PageRoutes* routes)
    : m_window(window), m_delegate(delegate), m_routes(routes) {}

bool CPageHost::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_APP_BROWSER_CREATED:
            TakeBrowser(reinterpret_cast<CefBrowser*>(lParam));
            return true;
        case WM_APP_PACKET: {
            // The posted packet is ours: it goes when the handling ends, on
            // every path, also when a command closes the window and with it
            // this host (the packet lives on this stack, not in the host).
            std::unique_ptr<CPacket> packet(reinterpret_cast<CPacket*>(wParam));
            if (packet)
                Deliver(*packet);
            return true;
        }
        case WM_SIZE:
        case WM_SIZING:
            FillClientArea();
            NotifyMoveOrResize();
            return false;
        case WM_CLOSE:
            if (m_delegate)
                m_delegate->OnPageClosing();
            if (m_browser)
                m_browser->GetHost()->CloseBrowser(false);
            return false;
        default:
            return false;
    }
}

bool CPageHost::AskForBrowser(const CString& url) {
    if (!m_window || !AfxGetApp())
        return false;
    RECT r;
    m_window->GetClientRect(&r);
    return ShellApp().CreateBrowser(m_window->m_hWnd, url, r);
}

void CPageHost::TakeBrowser(const CefRefPtr<CefBrowser>& browser) {
    m_browser = browser;
    if (m_delegate)
        m_delegate->OnPageArrived();
}

LPARAM CPageHost::SenderContext(ForwardAs as) const {
    switch (as) {
        case ForwardAs::OtherKind:
            return SENDER_OTHER_KIND;
        case ForwardAs::Asking:
            return SenderOf(m_delegate->AskingWindow());
        case ForwardAs::NoWindow:
            break;
    }
    return SENDER_NO_WINDOW;
}

void CPageHost::Deliver(CPacket& packet) {
    if (!m_delegate || !m_routes)
        return;
    const PacketRoute route = RouteOf(*m_routes, PacketKind(packet), PacketCommand(packet));
    switch (route.route) {
        case Route::Own:
            m_delegate->OnOwnPacket(packet);
            break;
        case Route::Shared:
            RunWindowCommand(m_routes->shared, m_delegate->CommandWindow(), m_browser, packet);
            break;
        case Route::Drop:
            break;
        case Route::Forward:
            ForwardToMainWindow(packet, SenderContext(route.as));
            break;
    }
}

bool CPageHost::FillClientArea() {
    if (!m_browser || !m_window)
        return false;
    HWND h = m_browser->GetHost()->GetWindowHandle();
    if (!h)
        return false;
    RECT r;
    m_window->GetClientRect(&r);
    ::SetWindowPos(h, nullptr, static_cast<int>(r.left), static_cast<int>(r.top),
                   static_cast<int>(r.right - r.left), static_cast<int>(r.bottom - r.top),
                   SWP_NOZORDER | SWP_NOACTIVATE);
    return true;
}

void CPageHost::NotifyMoveOrResize() {
    if (m_browser)
        m_browser->GetHost()->NotifyMoveOrResizeStarted();
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
