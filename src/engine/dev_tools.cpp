// The developer tools of a browser, in a window and a profile of their own.
#include <QWebEngineProfile>

#include "engine/context.h"
#include "engine/qt_browser.h"

namespace engine {
namespace {

// The tools get a profile of their own, so that the pages' extensions are
// not injected into them.
QWebEngineProfile*& DevToolsProfile() {
    static QWebEngineProfile* profile = nullptr;
    return profile;
}

}  // namespace

void QtBrowser::ShowDevTools(const CefWindowInfo& windowInfo, CefRefPtr<CefClient> client,
                             const CefBrowserSettings& settings, const CefPoint&) {
    if (m_closed || !m_page)
        return;
    if (m_devTools && !m_devTools->m_closed) {
        if (m_devTools->m_top)
            m_devTools->m_top->SetForegroundWindow();
        return;
    }
    // The tools get a profile of their own, so the pages' extensions are
    // not injected into them.
    if (!DevToolsProfile())
        DevToolsProfile() = new QWebEngineProfile();
    CefWindowInfo info = windowInfo;
    info.parent_window = nullptr;
    m_devTools = Create(info, client, settings, true, DevToolsProfile());
    if (!m_devTools)
        return;
    m_page->setDevToolsPage(m_devTools->Page());
    if (client) {
        if (CefRefPtr<CefLifeSpanHandler> h = client->GetLifeSpanHandler()) {
            CefRefPtr<QtBrowser> tools = m_devTools;
            QueueCallback([h, tools] { h->OnAfterCreated(tools.get()); });
        }
    }
}

void QtBrowser::CloseDevTools() {
    if (!m_devTools)
        return;
    if (m_page)
        m_page->setDevToolsPage(nullptr);
    m_devTools->CloseBrowser(true);
    m_devTools = nullptr;
}

void DropDevToolsProfile() {
    delete DevToolsProfile();
    DevToolsProfile() = nullptr;
}

}  // namespace engine
