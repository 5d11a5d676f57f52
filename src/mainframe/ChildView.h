// The main frame's only child, filling its client area. It hosts a browser
// like every browser host would, though none is created in it.
#pragma once

#include "engine/cef_browser.h"
#include "framework/afxwin.h"

class CChildView : public CWnd {
public:
    CChildView();
    ~CChildView() override;
    CefRefPtr<CefBrowser> m_browser;

protected:
    BOOL PreCreateWindow(CREATESTRUCT& cs) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnSize(UINT type, int cx, int cy) override;
    void OnPaint() override {}
    BOOL OnEraseBkgnd(CDC*) override { return TRUE; }
};
