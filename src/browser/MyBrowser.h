// The popup browser window: a small borderless window that shows one page of
// the service near the notification area, as an alarm or a notice. It is
// placed at the work area's bottom-right corner (or where its creation packet
// says), fades in from 20 % opacity, optionally slides in from below (ANIM 2)
// or from the right (ANIM 3), and closes itself CLOSESEC seconds after its
// last animation step. A popup of type 2 remembers its place in the profile
// section "CHAT". It never takes the keyboard focus.
//
// Its page's packets go by its route table (PageRoutes.h): the commands
// every page window shares act on the popup itself; command 1 closes it and
// command 20 opens a chat window beside a type-2 popup.
//
// A popup lives on the heap and deletes itself when its window is destroyed.
//
// Threading: user-interface thread.
#pragma once

#include <memory>

#include "browser/PageHost.h"
#include "browser/PageRoutes.h"
#include "engine/cef_browser.h"
#include "framework/afxwin.h"
#include "shared/LayeredWindowHelperST.h"

class CPacket;

class CMyBrowser : public CWnd, private PageWindowDelegate {
public:
    // Browser creation and the start of the appearance (once, 100 ms after
    // creation), one animation step (every 100 ms), the automatic close.
    static constexpr UINT_PTR TIMER_START = 10000;
    static constexpr UINT_PTR TIMER_STEP = 10002;
    static constexpr UINT_PTR TIMER_AUTO_CLOSE = 10003;
    static constexpr UINT kTimerIntervalMs = 100;

    CMyBrowser();
    ~CMyBrowser() override;

    // Keeps a copy of `packet` (the caller keeps its own), computes the
    // target rectangle and creates the window, hidden and 20 % opaque, at
    // its first step's place: the target for ANIM 1, one width right of it
    // for ANIM 3, one height below it otherwise. `parent` is the window the creator
    // names; nullptr stands for the desktop. Non-zero on success; on failure
    // the caller still owns the object.
    virtual BOOL Create(CPacket* packet, CWnd* parent);

    std::unique_ptr<CPacket> m_pPacket;  // the copy of the creation packet
    int m_nType = 0;                     // the creation packet's TP (default 3)
    RECT m_rcTarget{};                   // where the window ends up
    int m_nStep = 0;                     // animation steps done
    CLayeredWindowHelperST m_layered;
    // The popup's browser; empty until the engine announced it.
    const CefRefPtr<CefBrowser>& Browser() const { return m_page.Browser(); }

    BOOL PreCreateWindow(CREATESTRUCT& cs) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

protected:
    int OnCreate(CREATESTRUCT* cs) override;
    void OnTimer(UINT_PTR id) override;
    BOOL OnEraseBkgnd(CDC* dc) override;
    void PostNcDestroy() override;

private:
    CPacket& Settings();
    void StartAppearance();
    void AnimationStep();
    void OnOwnPacket(CPacket& packet) override;
    void OnPageClosing() override;
    HWND CommandWindow() const override { return m_hWnd; }
    const CWnd* AskingWindow() const override { return this; }
    void OpenChatBeside(CPacket& packet);
    // Moves the window's top-left corner, keeping its size and z-order.
    void MoveTo(long long x, long long y);

    CPageHost m_page{this, this, &kPopupWindowRoutes};
};
