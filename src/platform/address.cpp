#include "platform/address.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>
#include <cstdio>

namespace {

// Characters that readers of addresses pass over in front of one: blanks,
// control characters and invisible format characters (a byte order mark,
// a zero-width space).
bool SkippedInFront(QChar c) {
    return c.unicode() <= 0x20 || c.isSpace() || c.category() == QChar::Other_Control ||
           c.category() == QChar::Other_Format;
}

bool IsSlash(QChar c) {
    return c == u'/' || c == u'\\';
}

// The address as a browser reads it: tabs and line breaks dropped wherever
// they are, then what is skipped in front.
QString AsRead(const QString& address) {
    QString text = address;
    text.remove(u'\t').remove(u'\n').remove(u'\r');
    qsizetype start = 0;
    while (start < text.size() && SkippedInFront(text[start]))
        ++start;
    return text.sliced(start);
}

int DefaultPort(const QString& scheme) {
    if (scheme == QLatin1String("http") || scheme == QLatin1String("ws"))
        return 80;
    if (scheme == QLatin1String("https") || scheme == QLatin1String("wss"))
        return 443;
    return -1;
}

}  // namespace

namespace platform {

bool IsWebAddress(const QString& address) {
    const QString text = AsRead(address);
    if (text.size() >= 2 && IsSlash(text[0]) && IsSlash(text[1]))
        return false;
    const qsizetype colon = text.indexOf(u':');
    qsizetype pathStart = 0;
    while (pathStart < text.size() && !IsSlash(text[pathStart]) && text[pathStart] != u'?' &&
           text[pathStart] != u'#') {
        ++pathStart;
    }
    if (colon < 0 || pathStart < colon)
        return true;  // no scheme: a path on the service
    const QString scheme = text.left(colon);
    if (scheme.compare(QLatin1String("http"), Qt::CaseInsensitive) != 0 &&
        scheme.compare(QLatin1String("https"), Qt::CaseInsensitive) != 0) {
        return false;
    }
    // A web address names a host.
    const QUrl url(text);
    return url.isValid() && !url.host().isEmpty();
}

bool AcceptWebAddress(const QString& address) {
    if (IsWebAddress(address))
        return true;
    // A long address is cut: the line names it, it does not carry it.
    constexpr qsizetype kShown = 512;
    QString shown;
    for (const QChar c : address.left(kShown)) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || c.category() == QChar::Other_Control ||
            c.category() == QChar::Other_Format || c.category() == QChar::Separator_Line ||
            c.category() == QChar::Separator_Paragraph) {
            shown += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        } else {
            shown += c;
        }
    }
    if (address.size() > kShown)
        shown += QStringLiteral("...");
    std::fprintf(stderr, "address refused: %s is not a web address\n", qPrintable(shown));
    return false;
}

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

bool IsFileAddressUnder(const QString& address, const QString& directory) {
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isLocalFile() || !url.host().isEmpty())
        return false;
    const QString dir = QFileInfo(directory).canonicalFilePath();
    const QString file = QFileInfo(url.toLocalFile()).canonicalFilePath();
    return !dir.isEmpty() && !file.isEmpty() && file.startsWith(dir + QLatin1Char('/'));
}

}  // namespace platform
