#include "engine/load_events.h"

#include "engine/cef_client.h"

namespace engine {

LoadEnd LoadEndOf(QWebEngineLoadingInfo::LoadStatus status,
                  QWebEngineLoadingInfo::ErrorDomain domain, int code, const QString& text) {
    if (domain == QWebEngineLoadingInfo::HttpStatusCodeDomain)
        return {false, code, QString(), true};
    if (status == QWebEngineLoadingInfo::LoadSucceededStatus)
        return {false, 200, QString(), true};
    if (status == QWebEngineLoadingInfo::LoadStoppedStatus)
        return {true, static_cast<int>(ERR_ABORTED), QStringLiteral("ERR_ABORTED"), false};
    return {true, code != 0 ? code : -2, text, false};
}

}  // namespace engine
