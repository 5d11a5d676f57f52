// The windows around a browser of the engine: the window it draws in, the
// child that holds its view, the view itself, and the top-level window of
// a page popup or of the developer tools.
//
// Threading: user-interface thread.
#pragma once

#include <QWebEngineView>

#include "framework/afxwin.h"

namespace engine {

class QtBrowser;

class EngineView : public QWebEngineView {
    Q_OBJECT
public:
    EngineView(QtBrowser* browser, QWidget* parent);
    void Detach() { m_browser = nullptr; }

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    QtBrowser* m_browser;
};

// The window a browser draws in; its first child holds the view.
class BrowserWindow : public CWnd {
public:
    explicit BrowserWindow(QtBrowser* browser) : m_browser(browser) {}
    void Detach() { m_browser = nullptr; }

protected:
    void OnSize(UINT type, int cx, int cy) override;
    void OnDestroy() override;
    void PostNcDestroy() override { delete this; }

private:
    QtBrowser* m_browser;
};

// The top-level window of a page popup or of the developer tools.
class PopupWindow : public CWnd {
public:
    explicit PopupWindow(QtBrowser* browser) : m_browser(browser) {}
    void Detach() { m_browser = nullptr; }

protected:
    void OnSize(UINT type, int cx, int cy) override;
    void OnClose() override;
    void PostNcDestroy() override { delete this; }

private:
    QtBrowser* m_browser;
};

// The child of a browser window that holds the view (where drag and drop
// is revoked).
class ViewHost : public CWnd {
protected:
    void OnSize(UINT type, int cx, int cy) override;
    void PostNcDestroy() override { delete this; }
};

}  // namespace engine
