// A page whose renderer ended comes back in new engine contents.
#include <QDataStream>
#include <QFile>
#include <QWebEngineHistory>

#include "engine/context.h"
#include "engine/qt_browser.h"

namespace engine {
namespace {

// Gives `page` new engine contents that take over its history (its
// settings, scripts and web channel stay with the page); they start loading
// its current entry. Nothing happens to a page without history.
void RenewContents(QWebEnginePage* page) {
    QByteArray history;
    QDataStream out(&history, QIODevice::WriteOnly);
    out << *page->history();
    QDataStream in(history);
    in >> *page->history();
}

// The short page that says a page stopped and offers to load it again; %1
// is its address.
QString StoppedPage() {
    QFile f(QStringLiteral(":/engine/renderer_stopped.html"));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

}  // namespace

// A page whose renderer ended (crashed, killed) is loaded again, a few
// times a minute at most; after that a short page says that it stopped and
// offers to load it again. The window, its browser, its bridge and its
// history stay; a page that another page opened no longer has that opener
// (window.opener), which belonged to the old contents.
void QtBrowser::OnRendererGone() {
    if (m_closed || !m_page)
        return;
    constexpr qint64 kWindowMs = 60000;
    constexpr size_t kReloadsPerWindow = 3;
    const qint64 now = m_rendererClock.isValid() ? m_rendererClock.elapsed() : 0;
    if (!m_rendererClock.isValid())
        m_rendererClock.start();
    while (!m_rendererLosses.empty() && now - m_rendererLosses.front() > kWindowMs)
        m_rendererLosses.pop_front();
    m_rendererLosses.push_back(now);
    const QUrl lost = m_page->url();
    // The page is loaded again in new engine contents, not in the ones whose
    // renderer ended. The engine gives a frame the page's scripts (the bridge
    // among them) over a connection that it keeps under the frame's address,
    // and loading contents again after their renderer ended leaves such a
    // connection behind for the frame that ended, which is then freed. The
    // next frame made at that address (the second of two pages that lost
    // their renderer together, loaded again right after the first) gets its
    // scripts over that stale connection, which leads nowhere, and its page
    // comes without the bridge. New contents that take over the page's
    // history have frames of their own, and the old ones go without being
    // loaded again. The developer tools stay with the contents they were
    // opened on: a page with them, or of them, keeps its contents.
    if (!m_page->devToolsPage() && !m_page->inspectedPage())
        RenewContents(m_page);
    if (m_rendererLosses.size() <= kReloadsPerWindow) {
        // As a reload: new contents would take the page from the cache
        // without asking whether it changed.
        m_page->triggerAction(QWebEnginePage::Reload);
        return;
    }
    const QString address = lost.toString(QUrl::FullyEncoded).toHtmlEscaped();
    m_page->setHtml(StoppedPage().arg(address), QUrl(QStringLiteral("about:blank")));
}

}  // namespace engine
