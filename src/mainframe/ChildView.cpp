#include "mainframe/ChildView.h"

#include "shared/Messages.h"

CChildView::CChildView() = default;
CChildView::~CChildView() = default;

BOOL CChildView::PreCreateWindow(CREATESTRUCT& cs) {
    if (!CWnd::PreCreateWindow(cs))
        return FALSE;
    cs.dwExStyle |= WS_EX_CLIENTEDGE;
    cs.style &= ~WS_BORDER;
    cs.style |= WS_CLIPCHILDREN;
    cs.lpszClass = QStringLiteral("AfxChildView");
    return TRUE;
}

LRESULT CChildView::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP_BROWSER_CREATED) {
        m_browser = reinterpret_cast<CefBrowser*>(lParam);
        return 0;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

void CChildView::OnSize(UINT type, int cx, int cy) {
    if (m_browser) {
        if (HWND h = m_browser->GetHost()->GetWindowHandle()) {
            RECT r;
            GetClientRect(&r);
            HDWP pos = BeginDeferWindowPos(1);
            pos = DeferWindowPos(pos, h, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                                 SWP_NOZORDER);
            EndDeferWindowPos(pos);
        }
    }
    CWnd::OnSize(type, cx, cy);
}
