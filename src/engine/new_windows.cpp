// Windows that pages open (window.open, target=_blank): the client decides
// before anything is made, and the new window joins its opener's group.
#include <QWebEngineNewWindowRequest>
#include <QWebEngineProfile>
#include <cstdio>

#include "engine/context.h"
#include "engine/qt_browser.h"

namespace engine {

namespace {
// Pages together may have this many windows of their opening at once: a page
// that opens windows in a loop would otherwise make the user-interface
// thread build hundreds of them. Past it a request opens nothing (the page
// gets no window), said once until every such window has closed.
constexpr std::size_t kMostPagePopups = 20;
bool g_saidTooMany = false;
}  // namespace

void QtBrowser::OnNewWindow(QWebEngineNewWindowRequest& request) {
    if (m_closed)
        return;
    const std::size_t open = PagePopupCount();
    if (open == 0)
        g_saidTooMany = false;
    if (open >= kMostPagePopups) {
        if (!g_saidTooMany) {
            g_saidTooMany = true;
            std::fprintf(stderr,
                         "page window refused: pages have %zu windows of their opening already; "
                         "more are refused until those close\n",
                         kMostPagePopups);
        }
        return;
    }
    CefRefPtr<QtBrowser> self(this);
    CefWindowInfo info;
    info.SetAsPopup(nullptr, QString());
    const QRect g = request.requestedGeometry();
    CefPopupFeatures features;
    if (g.width() > 0 && g.height() > 0) {
        features = CefPopupFeatures{g.x(), g.y(), g.width(), g.height(), true, true, true, true};
        info.x = g.x();
        info.y = g.y();
        info.width = g.width();
        info.height = g.height();
    }
    cef_window_open_disposition_t disposition = WOD_NEW_POPUP;
    if (request.destination() == QWebEngineNewWindowRequest::InNewTab ||
        request.destination() == QWebEngineNewWindowRequest::InNewBackgroundTab) {
        disposition = WOD_NEW_FOREGROUND_TAB;
    } else if (request.destination() == QWebEngineNewWindowRequest::InNewWindow) {
        disposition = WOD_NEW_WINDOW;
    }
    CefRefPtr<CefClient> client = m_client;
    CefBrowserSettings settings;
    settings.default_encoding = QStringLiteral("UTF-8");
    bool noJavascriptAccess = false;
    // The client decides before anything is created; an ignored request
    // still gives the opener a window object.
    if (m_client) {
        if (CefRefPtr<CefLifeSpanHandler> h = m_client->GetLifeSpanHandler()) {
            if (h->OnBeforePopup(this, this, request.requestedUrl().toString(), QString(),
                                 disposition, request.isUserInitiated(), features, info, client,
                                 settings, &noJavascriptAccess)) {
                return;
            }
        }
    }
    CefRefPtr<QtBrowser> popup =
        Create(info, client, settings, true, m_page ? m_page->profile() : GetContext().profile);
    if (!popup)
        return;
    // The new window and this page can script each other: one group. Its
    // first document is asked for before the window takes it over.
    popup->JoinGroupOf(*this);
    if (DocumentGroup* group = popup->Group())
        group->Navigation(popup->Page(), request.requestedUrl(), true);
    request.openIn(popup->Page());
    if (client) {
        if (CefRefPtr<CefLifeSpanHandler> h = client->GetLifeSpanHandler()) {
            QueueCallback([h, popup] { h->OnAfterCreated(popup.get()); });
        }
    }
}

}  // namespace engine
