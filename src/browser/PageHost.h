// What every window around a page does alike, as a member object of that
// window (the browser view on its chat frame, the popup browser window, the
// page popup's host, the main frame's child view): it asks for the window's
// browser and takes the one the engine announces, keeps the browser's window
// as large as the window's client area, closes the browser when the window
// closes, and decides the fate of each packet the page sends by the window's
// route table (PageRoutes.h): it carries out the shared commands by the
// window's rules, drops what the table drops and forwards to the main frame
// what it forwards. The window keeps only its own packets, told to it
// through PageWindowDelegate.
//
// Threading: user-interface thread.
#pragma once

#include <cstdint>

#include "engine/cef_browser.h"
#include "framework/afxwin.h"

class CPacket;
struct PageRoutes;
enum class ForwardAs : std::uint8_t;

// The window's side of its page host.
class PageWindowDelegate {
public:
    // The engine announced the window's browser (CPageHost::Browser()); it
    // may be empty when the engine had none to give.
    virtual void OnPageArrived() {}
    // A packet whose route in the window's table is Own: one of its own
    // commands, or a packet of a kind it handles itself. The host deletes a
    // posted packet when the call returns, on every path, also when the
    // handling closes the window and with it the host.
    virtual void OnOwnPacket(CPacket& packet) = 0;
    // The window is closing: the host closes the browser right after.
    virtual void OnPageClosing() {}
    // The window the shared commands act on (a view acts on its frame), and
    // the window a packet forwarded as asked by the window goes as (its
    // frame, the popup itself). Either may be null.
    virtual HWND CommandWindow() const = 0;
    virtual const CWnd* AskingWindow() const = 0;

protected:
    ~PageWindowDelegate() = default;
};

class CPageHost {
public:
    // `window` owns the host (null for a window the engine owns, which the
    // delegate names as its CommandWindow); `delegate` is the window's side
    // and `routes` its table (both not owned; both null for a window that
    // takes no packets, whose posted packets are deleted unread).
    CPageHost(CWnd* window, PageWindowDelegate* delegate, const PageRoutes* routes);
    CPageHost(const CPageHost&) = delete;
    CPageHost& operator=(const CPageHost&) = delete;

    // Handles the browser's announcement (WM_APP_BROWSER_CREATED) and a
    // posted packet (WM_APP_PACKET), and returns true for them: the window
    // procedure then returns 0. Also follows the window's size (WM_SIZE,
    // WM_SIZING) and closing (WM_CLOSE), returning false: the window then
    // handles those as usual.
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    // Asks the application for a browser of `url` filling the window's
    // client area; the engine announces it later. False when there is no
    // application to ask, or it refused.
    bool AskForBrowser(const CString& url);
    // Takes the browser the engine announced (what WM_APP_BROWSER_CREATED
    // does), for a host whose window does not receive the announcement.
    void TakeBrowser(const CefRefPtr<CefBrowser>& browser);
    const CefRefPtr<CefBrowser>& Browser() const { return m_browser; }

    // Decides the fate of `packet` by the window's route table.
    void Deliver(CPacket& packet);

    // Gives the browser's window the window's client area. False when there
    // is no browser, or the browser has no window yet.
    bool FillClientArea();
    // Tells the browser that its window moves or changes size; nothing
    // without a browser.
    void NotifyMoveOrResize();

private:
    // The sender context of a packet forwarded as `as`.
    LPARAM SenderContext(ForwardAs as) const;

    CWnd* m_window;
    PageWindowDelegate* m_delegate;
    const PageRoutes* m_routes;
    CefRefPtr<CefBrowser> m_browser;
};

// Where a window opened beside another goes, and where that other one goes
// to make room: `beside` has `self`'s size and top and starts `gap` pixels
// right of `self`'s right edge (a negative gap overlaps). When `beside`
// would leave the work area `work` at the right, both move left by as much
// (`shifted`). Computed wide: a window may stand anywhere the coordinates
// allow.
struct BesidePlacement {
    RECT self;
    RECT beside;
    bool shifted = false;
};
BesidePlacement PlaceBeside(const RECT& self, int gap, const RECT& work);
