// The top-level window in which a chat page is shown. Its client area is one
// CMyBrowserView. The frame takes its placement and style from its creation
// packet, limited to the work area; by default it draws its own border and
// clips away the resize border (the page moves and sizes it). It creates its
// browser 10 ms after its own creation, reloads once when no document has
// appeared 2 s later, and from then on hands a pending URI launch parameter
// to its page. A frame opened for another one follows that owner's right
// edge. Frames register with the main frame when created and unregister
// (or, with the standard caption, end the application) when closed.
//
// A frame lives on the heap and deletes itself when its window is destroyed.
//
// Threading: user-interface thread.
#pragma once

#include <memory>

#include "browser/MyBrowserView.h"
#include "framework/afxwin.h"
#include "shared/LayeredWindowHelperST.h"

class CPacket;

class CMyBrowserFrame : public CFrameWnd {
public:
    // Browser creation, the document check and the URI hand-over.
    static constexpr UINT_PTR TIMER_CREATE_BROWSER = 50000;
    static constexpr UINT_PTR TIMER_CHECK_DOCUMENT = 50001;
    static constexpr UINT_PTR TIMER_DELIVER_URI = 50002;

    CMyBrowserFrame();
    ~CMyBrowserFrame() override;

    // Keeps a copy of `packet` (the caller keeps its own) and creates the
    // window from it. FALSE when the window could not be created.
    virtual BOOL CreateFrame(CPacket* packet);

    // Loads `url` in the view's browser (see CMyBrowserView::Navigate).
    void Navigate(const CString& url);
    // Fits the view to the whole client area.
    void RecalcView();
    // Opacity in percent, held within 1 to 100; 100 makes the window opaque.
    void SetOpacity(int percent);
    // Paints the ring of the frame width along the window's outer edge in
    // the border colour.
    void DrawBorder();
    // Tells the following frame, if any, that this one moved.
    void NotifyChild();

    int m_kind = 0;                       // the creation packet's TP (default TP_ORDINARY_CHAT)
    std::unique_ptr<CPacket> m_settings;  // the frame's own copy of its creation packet
    CMyBrowserView m_view;
    HWND m_ownerWnd = nullptr;  // the window this frame follows
    HWND m_childWnd = nullptr;  // the frame that follows this one
    int m_trackOwner = 0;       // follow m_ownerWnd when it moves
    // The window whose page asked for this frame, set before it is created:
    // a frame placed by keyword ("C", "L", "R", "T", "B") goes on that
    // window's screen. Without one, on the primary screen.
    HWND m_requesterWnd = nullptr;
    RECT m_lastRect{};  // the window rectangle at the last move notice or resize
    CLayeredWindowHelperST m_layered;
    int m_opacity = 100;
    COLORREF m_borderColor = 0;
    int m_nativeCaption = 0;  // 1: standard caption and border (HDR not 1)

    BOOL PreCreateWindow(CREATESTRUCT& cs) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

protected:
    int OnCreate(CREATESTRUCT* cs) override;
    void OnGetMinMaxInfo(MINMAXINFO* mmi) override;
    void OnTimer(UINT_PTR id) override;
    void OnSize(UINT type, int cx, int cy) override;
    void OnClose() override;
    void OnMove(int x, int y) override;
    void OnMoving(UINT edge, RECT* r) override;
    BOOL OnEraseBkgnd(CDC* dc) override;
    BOOL OnNcActivate(BOOL active) override;
    void OnNcPaint() override;

private:
    CPacket& Settings();
    void OnOwnerMoved();
    void DeliverPendingUri();
    // Makes the window opaque and no longer layered.
    void RemoveLayeredStyle();
};
