#include "platform/origin.h"

#include <QRegularExpression>
#include <QUrl>

namespace {

int DefaultPort(const QString& scheme) {
    if (scheme == QLatin1String("http") || scheme == QLatin1String("ws"))
        return 80;
    if (scheme == QLatin1String("https") || scheme == QLatin1String("wss"))
        return 443;
    return -1;
}

}  // namespace

namespace platform {

QString AddressOrigin(const QString& address) {
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

bool IsFileAddress(const QString& address) {
    return QUrl(address, QUrl::StrictMode).scheme() == QLatin1String("file");
}

QStringList SplitAtBlanksAndCommas(const QString& text) {
    static const QRegularExpression separators(QStringLiteral("[\\s,]+"));
    return text.split(separators, Qt::SkipEmptyParts);
}

}  // namespace platform
