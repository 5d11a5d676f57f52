#include "engine/engine_page.h"

#include <QWebEngineCertificateError>
#include <QWebEngineLoadingInfo>
#include <QWebEngineUrlRequestInfo>
#include <cstdio>

#include "engine/context.h"
#include "engine/load_events.h"
#include "engine/qt_browser.h"

namespace engine {

namespace {

// The schemes whose documents the engine shows itself. Any other address
// would be handed to the desktop's handler of its scheme, which pages may
// not reach: they open only web addresses, and only through their command
// for it.
bool IsEngineScheme(const QString& scheme) {
    static const QStringList schemes{
        QStringLiteral("http"),     QStringLiteral("https"),       QStringLiteral("file"),
        QStringLiteral("data"),     QStringLiteral("blob"),        QStringLiteral("about"),
        QStringLiteral("qrc"),      QStringLiteral("filesystem"),  QStringLiteral("chrome-error"),
        QStringLiteral("devtools"), QStringLiteral("view-source"), QStringLiteral("javascript")};
    return schemes.contains(scheme.toLower());
}

}  // namespace

void RequestWatcher::interceptRequest(QWebEngineUrlRequestInfo& info) {
    if (m_page->Group())
        m_page->Group()->Request(m_page, info.requestUrl());
}

EnginePage::EnginePage(QWebEngineProfile* profile, QObject* parent)
    : QWebEnginePage(profile, parent) {
    setUrlRequestInterceptor(new RequestWatcher(this));
    // Connected before anyone else hears of a load's end, so that what the
    // group holds is up to date when the page's browser tells its client.
    connect(this, &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo& info) {
        if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus || !m_group)
            return;
        const LoadEnd end =
            LoadEndOf(info.status(), info.errorDomain(), info.errorCode(), info.errorString());
        m_group->TopLoadEnded(this, end.replaced);
    });
    // Certificate errors are accepted, as the library settings ask; the
    // page's group learns of each, so that nothing it then shows counts as
    // the service's.
    connect(this, &QWebEnginePage::certificateError, this,
            [this](QWebEngineCertificateError error) {
                if (m_group)
                    m_group->CertificateError(this, error.url());
                if (GetContext().settings.ignore_certificate_errors) {
                    error.acceptCertificate();
                } else {
                    error.rejectCertificate();
                }
            });
}

EnginePage::~EnginePage() {
    if (m_group)
        m_group->Leave(this);
}

void EnginePage::JoinGroup(std::shared_ptr<DocumentGroup> group) {
    if (m_group)
        m_group->Leave(this);
    m_group = std::move(group);
    if (m_group)
        m_group->Join(this);
}

bool EnginePage::acceptNavigationRequest(const QUrl& url, NavigationType, bool isMainFrame) {
    if (!IsEngineScheme(url.scheme())) {
        std::fprintf(stderr, "address refused: %s is not a web address\n",
                     url.toString(QUrl::FullyEncoded).toUtf8().constData());
        return false;
    }
    if (m_group)
        m_group->Navigation(this, url, isMainFrame);
    if (m_browser && isMainFrame)
        m_browser->TopNavigationAccepted();
    return true;
}

void EnginePage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level,
                                          const QString& message, int line, const QString& source) {
    // Page messages are noise for a user; they are shown only when asked for.
    static const bool show = qEnvironmentVariableIsSet("VELK_PAGE_CONSOLE");
    if (show) {
        qInfo("page console [%d] %s:%d: %s", int(level), qUtf8Printable(source), line,
              qUtf8Printable(message));
    }
}

}  // namespace engine
