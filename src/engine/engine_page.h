// The engine's page: every navigation request of every frame, the end of
// every top-frame load and every certificate error reach the page's group
// of documents (engine/document_group.h), and so does every request the
// page makes. The page is a member of its group for its whole life, also
// after its browser closed: until the page is gone, its documents can still
// script the others.
//
// Threading: user-interface thread.
#pragma once

#include <QWebEnginePage>
#include <QWebEngineUrlRequestInterceptor>
#include <memory>

#include "engine/document_group.h"

namespace engine {

class QtBrowser;

class EnginePage : public QWebEnginePage {
    Q_OBJECT
public:
    EnginePage(QWebEngineProfile* profile, QObject* parent);
    ~EnginePage() override;
    // The browser told of this page's loads; null once it closed.
    void SetBrowser(QtBrowser* browser) { m_browser = browser; }

    // Leaves the page's group, if any, and joins `group`.
    void JoinGroup(std::shared_ptr<DocumentGroup> group);
    DocumentGroup* Group() const { return m_group.get(); }
    const std::shared_ptr<DocumentGroup>& SharedGroup() const { return m_group; }

protected:
    // Every navigation request of every frame, redirects included, before
    // it starts: the engine's own report of what documents the page loads.
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                  int line, const QString& source) override;

private:
    QtBrowser* m_browser = nullptr;
    std::shared_ptr<DocumentGroup> m_group;  // shared with the pages of its group
};

// Tells a page's group of every request the page makes, so that one to a
// host whose certificate failed before marks it (the engine does not report
// the accepted error again).
class RequestWatcher final : public QWebEngineUrlRequestInterceptor {
public:
    explicit RequestWatcher(EnginePage* page)
        : QWebEngineUrlRequestInterceptor(page), m_page(page) {}
    void interceptRequest(QWebEngineUrlRequestInfo& info) override;

private:
    EnginePage* m_page;  // owns the watcher
};

}  // namespace engine
