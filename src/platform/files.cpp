#include "platform/files.h"

#include <QFileInfo>
#include <QUrl>

namespace platform {

bool IsFileAddressUnder(const QString& address, const QString& directory) {
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isLocalFile() || !url.host().isEmpty())
        return false;
    const QString dir = QFileInfo(directory).canonicalFilePath();
    const QString file = QFileInfo(url.toLocalFile()).canonicalFilePath();
    return !dir.isEmpty() && !file.isEmpty() && file.startsWith(dir + QLatin1Char('/'));
}

}  // namespace platform
