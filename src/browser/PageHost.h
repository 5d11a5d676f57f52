// What every window around a page does alike, as a member object of that
// window (the browser view on its chat frame, the popup browser window, the
// main frame's child view): it takes the browser the engine announces for
// the window, owns each packet posted to the window while the window
// handles it, keeps the browser's window as large as the window's client
// area, and carries out the commands every page window shares
// (WindowCommands.h) by the window's rules. The window keeps only its own
// commands, told to it through PageWindowDelegate.
//
// Threading: user-interface thread.
#pragma once

#include "engine/cef_browser.h"
#include "framework/afxwin.h"

class CPacket;
struct WindowCommandRules;

// The window's side of its page host.
class PageWindowDelegate {
public:
    // The engine announced the window's browser (CPageHost::Browser()); it
    // may be empty when the engine had none to give.
    virtual void OnPageArrived() {}
    // A packet posted to the window, by its page or by the engine's client
    // for it. The host deletes it when the call returns, on every path, also
    // when the handling closes the window and with it the host.
    virtual void OnPagePacket(CPacket& packet) = 0;

protected:
    ~PageWindowDelegate() = default;
};

class CPageHost {
public:
    // `window` owns the host; `delegate` is the window's side (not owned,
    // may be null for a window that takes no packets).
    CPageHost(CWnd& window, PageWindowDelegate* delegate);
    CPageHost(const CPageHost&) = delete;
    CPageHost& operator=(const CPageHost&) = delete;

    // Handles the browser's announcement (WM_APP_BROWSER_CREATED) and a
    // posted packet (WM_APP_PACKET). True when `message` was one of them;
    // the window procedure then returns 0.
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    const CefRefPtr<CefBrowser>& Browser() const { return m_browser; }

    // Gives the browser's window the window's client area. False when there
    // is no browser, or the browser has no window yet.
    bool FillClientArea();
    // Tells the browser that its window moves or changes size; nothing
    // without a browser.
    void NotifyMoveOrResize();
    // Carries out a shared command of `packet` on `target` by `rules`, this
    // page being the sender (RunWindowCommand). False when the command is
    // not one of them: the window then handles it.
    bool RunSharedCommand(const WindowCommandRules& rules, HWND target, CPacket& packet);

private:
    CWnd& m_window;
    PageWindowDelegate* m_delegate;
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
