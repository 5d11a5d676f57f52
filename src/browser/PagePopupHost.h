// The host of a page popup: a window the engine opened by itself around a
// page that a page opened (window.open, a link to a new window) or around
// the developer tools. The engine owns that top-level window, sizes its
// browser in it and closes it; the host gives it its frame when the engine
// announces the browser, and decides the fate of each packet the page sends
// by the page popup's route table (PageRoutes.h). It holds nothing between
// those moments, so the browser client makes one for each.
//
// Threading: user-interface thread.
#pragma once

#include "browser/PageHost.h"
#include "browser/PageRoutes.h"
#include "engine/cef_browser.h"

class CPagePopupHost : private PageWindowDelegate {
public:
    explicit CPagePopupHost(const CefRefPtr<CefBrowser>& browser);

    // The engine announced the browser. `framed` false: the window gets the
    // application's icon and loses its caption, sizing frame and modal frame.
    void Arrived(bool framed);
    // A packet the page sent.
    void Deliver(CPacket& packet) { m_page.Deliver(packet); }

    // The engine's top-level window around `browser`; null once it is gone.
    static HWND TopWindow(const CefRefPtr<CefBrowser>& browser);

private:
    void OnOwnPacket(CPacket& packet) override;
    HWND CommandWindow() const override { return m_top; }
    const CWnd* AskingWindow() const override { return nullptr; }

    HWND m_top;
    CPageHost m_page{nullptr, this, &kPagePopupRoutes};
};
