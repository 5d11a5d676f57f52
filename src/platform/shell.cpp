#include "platform/shell.h"

#include <QDesktopServices>
#include <QUrl>

namespace {
std::function<void(const CString&)> g_opener;
}

std::intptr_t ShellExecuteW(HWND, const CString& verb, const CString& file, const CString&,
                            const CString&, int) {
    if (verb != QLatin1String("open"))
        return 2;
    const QUrl url(file.trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")) ||
        url.host().isEmpty()) {
        return 2;
    }
    if (g_opener) {
        g_opener(url.toString());
        return 33;
    }
    return QDesktopServices::openUrl(url) ? 33 : 2;
}

namespace platform {
void SetUrlOpenerForTesting(std::function<void(const CString&)> opener) {
    g_opener = std::move(opener);
}
}  // namespace platform
