#include "platform/shell.h"

#include <QStandardPaths>
#include <QUrl>

#include "platform/process.h"

namespace {

// The desktop's own choice of browser, through xdg-open, started by this
// layer's spawner: the tool and the browser it starts get the user's
// environment without this program's engine and loader settings (the
// toolkit's own opener would hand them ours), and the address as one
// argument.
class DesktopBrowser final : public platform::UrlOpenerPort {
public:
    bool Open(const QUrl& url) override {
        const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
        if (opener.isEmpty())
            return false;
        return platform::StartDesktopProgram(opener, {url.toString(QUrl::FullyEncoded)});
    }
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
    return platform::UrlOpenerInUse().Open(url) ? 33 : 2;
}

namespace platform {

UrlOpenerPort& RealUrlOpener() {
    static auto* opener = new DesktopBrowser();
    return *opener;
}

}  // namespace platform
