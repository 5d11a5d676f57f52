#include "update/TrustedOrigins.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

#include "platform/IniFile.h"
#include "shared/Service.h"
#include "shared/ShellApp.h"

namespace {

int DefaultPort(const QString& scheme) {
    if (scheme == QLatin1String("http") || scheme == QLatin1String("ws"))
        return 80;
    if (scheme == QLatin1String("https") || scheme == QLatin1String("wss"))
        return 443;
    return -1;
}

// A file address whose file lies under the program's own directory (links
// resolved, so that "..", or a link, cannot lead out of it).
bool IsFileUnderProgramDirectory(const QUrl& url) {
    if (!url.isLocalFile() || !url.host().isEmpty())
        return false;
    const QString dir = QFileInfo(GetExeDir()).canonicalFilePath();
    const QString file = QFileInfo(url.toLocalFile()).canonicalFilePath();
    return !dir.isEmpty() && !file.isEmpty() && file.startsWith(dir + QLatin1Char('/'));
}

bool IsTrustedAddress(const QString& address, const QStringList& origins) {
    const QUrl url(address, QUrl::StrictMode);
    if (url.scheme() == QLatin1String("file"))
        return IsFileUnderProgramDirectory(url);
    const QString origin = OriginOf(address);
    return !origin.isEmpty() && origins.contains(origin);
}

}  // namespace

QString OriginOf(const QString& address) {
    // The address is judged as given: one with blanks or control characters
    // around it is no address the engine commits, and trimming them would
    // trust a text that no URL reader takes.
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid())
        return QString();
    const QString scheme = url.scheme().toLower();
    const QString host = url.host(QUrl::FullyEncoded).toLower();
    if (scheme.isEmpty() || host.isEmpty() || scheme == QLatin1String("file"))
        return QString();
    QString origin = scheme + QLatin1String("://");
    origin += host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host;
    const int port = url.port(-1);
    if (port >= 0 && port != DefaultPort(scheme))
        origin += QLatin1Char(':') + QString::number(port);
    return origin;
}

QStringList TrustedOrigins() {
    QStringList origins;
    for (const QString& address : {ContentBaseUrl(), LoginUrl()}) {
        const QString origin = OriginOf(address);
        if (!origin.isEmpty() && !origins.contains(origin))
            origins << origin;
    }
    const QString listed =
        GetPrivateProfileStringW(QStringLiteral("APP"), QStringLiteral("TRUSTEDORIGINS"), QString(),
                                 8192, ShellApp().m_iniPath);
    static const QRegularExpression separators(QStringLiteral("[\\s,]+"));
    for (const QString& entry : listed.split(separators, Qt::SkipEmptyParts)) {
        const QString origin = OriginOf(entry);
        if (!origin.isEmpty() && !origins.contains(origin))
            origins << origin;
    }
    return origins;
}

bool IsTrustedSender(const PacketSource& source, QString* reason) {
    if (source.documents.isEmpty()) {
        *reason = QStringLiteral("its sender is not known");
        return false;
    }
    if (!source.insecure.isEmpty()) {
        *reason = QStringLiteral("%1 in the page %2 came with a certificate error")
                      .arg(source.insecure.first(), source.pageUrl);
        return false;
    }
    const QStringList origins = TrustedOrigins();
    for (const QString& document : source.documents) {
        if (!IsTrustedAddress(document, origins)) {
            *reason =
                document == source.pageUrl
                    ? QStringLiteral("the page %1 is not one of the service's pages").arg(document)
                    : QStringLiteral(
                          "%1, loaded with the page %2, is not one of the "
                          "service's pages")
                          .arg(document, source.pageUrl);
            return false;
        }
    }
    return true;
}
