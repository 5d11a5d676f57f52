#include "app/LaunchParams.h"

#include <QList>

#include "packet/Fields.h"
#include "packet/Packet.h"

namespace {

// Only a to z change; every other character, non-ASCII letters included, stays as it is.
QString AsciiUpper(QString key) {
    for (QChar& c : key) {
        if (c >= u'a' && c <= u'z') {
            c = QChar(c.unicode() - (u'a' - u'A'));
        }
    }
    return key;
}

void StorePair(QStringView token, CPacket& params) {
    qsizetype keyStart = 0;
    while (keyStart < token.size() && token[keyStart] == u'=') {
        ++keyStart;
    }
    if (keyStart == token.size()) {
        return;  // only '=' characters
    }
    const qsizetype equals = token.indexOf(u'=', keyStart);
    if (equals < 0 || equals + 1 == token.size()) {
        return;  // no '=' after the key, or nothing after it
    }
    // The value runs to the end of the token and may hold further '=' characters.
    const QString key = AsciiUpper(token.sliced(keyStart, equals - keyStart).toString());
    // A field named after the packet's own root would take the whole packet
    // with it (every parameter, and the instance names added later): any
    // page could empty the parameters with a link. It is not stored.
    if (key == field::kRoot)
        return;
    params.SetString(key, token.sliced(equals + 1).toString());
}

}  // namespace

bool ParseLaunchParameters(const QString& commandLine, const QString& marker, CPacket& params) {
    if (commandLine.isEmpty()) {
        return true;
    }
    const qsizetype markerPos = commandLine.indexOf(marker);
    if (markerPos < 0) {
        return false;
    }
    // Skip the marker and the one character after it, normally the closing quotation mark of
    // the executable's name or a space.
    const qsizetype start = markerPos + marker.size() + 1;
    if (start > commandLine.size()) {
        return true;
    }
    const qsizetype scheme = commandLine.indexOf(QLatin1String("://"), start);
    if (scheme < 0) {
        return true;
    }
    // Whatever stands between the executable's name and "://" (the link's protocol) is ignored.
    const QStringView pairs = QStringView(commandLine).sliced(scheme + 3);
    for (const QStringView token : pairs.split(u'$', Qt::SkipEmptyParts)) {
        StorePair(token, params);
    }
    return true;
}
