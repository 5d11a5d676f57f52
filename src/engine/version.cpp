#include "engine/version.h"

#include <QtWebEngineCore/qtwebenginecoreglobal.h>

namespace engine {

QString EngineDescription() {
    return QStringLiteral("Qt WebEngine %1 (Chromium %2)")
        .arg(QString::fromLatin1(qWebEngineVersion()),
             QString::fromLatin1(qWebEngineChromiumVersion()));
}

}  // namespace engine
