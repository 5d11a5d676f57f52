// The engine's page: every navigation request of every frame and every
// certificate error reach the page's group of documents
// (engine/document_group.h), and so does every request the page makes.
//
// Threading: user-interface thread.
#pragma once

#include <QWebEnginePage>
#include <QWebEngineUrlRequestInterceptor>

namespace engine {

class QtBrowser;

class EnginePage : public QWebEnginePage {
    Q_OBJECT
public:
    EnginePage(QWebEngineProfile* profile, QObject* parent);
    // The browser told of this page's loads; null once it closed.
    void SetBrowser(QtBrowser* browser) { m_browser = browser; }

protected:
    // Every navigation request of every frame, redirects included, before
    // it starts: the engine's own report of what documents the page loads.
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                  int line, const QString& source) override;

private:
    QtBrowser* m_browser = nullptr;
};

// Tells a page's group of every request the page makes, so that one to an
// origin whose certificate failed before marks it (the engine does not
// report the accepted error again).
class RequestWatcher final : public QWebEngineUrlRequestInterceptor {
public:
    RequestWatcher(QtBrowser* browser, QObject* parent)
        : QWebEngineUrlRequestInterceptor(parent), m_browser(browser) {}
    void Detach() { m_browser = nullptr; }
    void interceptRequest(QWebEngineUrlRequestInfo& info) override;

private:
    QtBrowser* m_browser;
};

}  // namespace engine
