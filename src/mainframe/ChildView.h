// The main frame's only child, filling its client area. It hosts a browser
// like every browser host would, though none is created in it.
#pragma once

#include "browser/PageHost.h"
#include "framework/afxwin.h"

class CChildView : public CWnd {
public:
    CChildView();
    ~CChildView() override;
    // The browser announced to the view; empty until then.
    const CefRefPtr<CefBrowser>& Browser() const { return m_page.Browser(); }

protected:
    BOOL PreCreateWindow(CREATESTRUCT& cs) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnPaint() override {}
    BOOL OnEraseBkgnd(CDC*) override { return TRUE; }

private:
    // Takes no packets: one posted here is deleted unread.
    CPageHost m_page{this, nullptr, nullptr};
};
