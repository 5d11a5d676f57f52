// What the end of a page's load tells the client, from the engine's report
// of it: a load that ended with an HTTP response (any status, 404 and 500
// pages included, which the engine calls failed loads) ends with that
// status; one that succeeded without a status (data:, file:) with 200; a
// stopped one is aborted; any other failure is an error with its code.
//
// Threading: any (pure).
#pragma once

#include <QString>
#include <QWebEngineLoadingInfo>

namespace engine {

struct LoadEnd {
    bool error = false;  // OnLoadError rather than OnLoadEnd
    int code = 0;        // the HTTP status, or the error code
    QString text;        // the error text
    // Whether a new document took the old one's place: a load that ended
    // with a response did; one that stopped or failed on the way may have
    // left the old one there.
    bool replaced = false;
};

LoadEnd LoadEndOf(QWebEngineLoadingInfo::LoadStatus status,
                  QWebEngineLoadingInfo::ErrorDomain domain, int code, const QString& text);

}  // namespace engine
