#include "platform/shell.h"

#include <QDesktopServices>
#include <QUrl>

#include "platform/ports.h"

namespace {

// The desktop's own choice of browser.
class DesktopBrowser final : public platform::UrlOpenerPort {
public:
    bool Open(const QUrl& url) override { return QDesktopServices::openUrl(url); }
};

}  // namespace

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
    return platform::CurrentPorts().urlOpener->Open(url) ? 33 : 2;
}

namespace platform {

UrlOpenerPort& RealUrlOpener() {
    static auto* opener = new DesktopBrowser();
    return *opener;
}

}  // namespace platform
