#include "engine/browser_windows.h"

#include <QContextMenuEvent>

#include "engine/qt_browser.h"

namespace engine {

EngineView::EngineView(QtBrowser* browser, QWidget* parent)
    : QWebEngineView(parent), m_browser(browser) {}

void EngineView::contextMenuEvent(QContextMenuEvent* event) {
    if (!m_browser)
        return;
    m_browser->ShowContextMenu(event->globalPos(), event->pos());
}

void BrowserWindow::OnSize(UINT type, int cx, int cy) {
    CWnd::OnSize(type, cx, cy);
    if (m_browser)
        m_browser->FitView();
}

void BrowserWindow::OnDestroy() {
    if (m_browser)
        m_browser->WindowGone();
    CWnd::OnDestroy();
}

void PopupWindow::OnSize(UINT type, int cx, int cy) {
    CWnd::OnSize(type, cx, cy);
    if (m_browser && m_browser->GetWindowHandle()) {
        ::SetWindowPos(m_browser->GetWindowHandle(), nullptr, 0, 0, cx, cy, SWP_NOZORDER);
    }
}

void PopupWindow::OnClose() {
    if (m_browser) {
        m_browser->CloseBrowser(false);
    } else {
        CWnd::OnClose();
    }
}

void ViewHost::OnSize(UINT type, int cx, int cy) {
    CWnd::OnSize(type, cx, cy);
    for (QObject* child : GetPeer()->children()) {
        if (auto* view = qobject_cast<QWebEngineView*>(child))
            view->setGeometry(0, 0, cx, cy);
    }
}

}  // namespace engine
