#include "mainframe/ChildView.h"

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
    if (m_page.HandleMessage(message, wParam, lParam))
        return 0;
    return CWnd::WindowProc(message, wParam, lParam);
}
