#include "app/ClientApp.h"

#include "bridge/Extension.h"
#include "bridge/V8Handler.h"
#include "engine/cef_browser.h"
#include "engine/cef_v8.h"

ClientApp::ClientApp() = default;
ClientApp::~ClientApp() = default;

void ClientApp::OnBeforeCommandLineProcessing(const CefString&,
                                              CefRefPtr<CefCommandLine> commandLine) {
    // The plug-in is a file outside the program; a missing one is harmless.
    commandLine->AppendSwitchWithValue(QStringLiteral("ppapi-flash-path"),
                                       QStringLiteral(".\\ppapi\\pepflashplayer32_32_0_0_321.dll"));
    commandLine->AppendSwitchWithValue(QStringLiteral("ppapi-flash-version"),
                                       QStringLiteral("32.0.0.321"));
    commandLine->AppendSwitchWithValue(QStringLiteral("plugin-policy"), QStringLiteral("allow"));
}

void ClientApp::OnContextInitialized() {
    m_handler = new ClientHandler();
}

void ClientApp::OnWebKitInitialized() {
    // The library keeps the handler for the life of the renderer; a failed
    // registration only leaves pages without their bridge objects.
    CefRefPtr<CefV8Handler> handler = new CMyV8Handler();
    CefRegisterExtension(QString::fromUtf16(kExtensionName), QString::fromUtf16(kExtensionCode),
                         handler);
}

bool ClientApp::CreateBrowser(HWND parent, const CString& url, const RECT& rect) {
    if (!m_handler)
        return false;

    // Pages come from the service and from local files alike, and talk to
    // both; those without a declared encoding are UTF-8.
    CefBrowserSettings settings;
    settings.default_encoding = QStringLiteral("UTF-8");
    settings.file_access_from_file_urls = STATE_ENABLED;
    settings.web_security = STATE_DISABLED;

    CefWindowInfo info;
    info.parent_window = parent;
    info.style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_TABSTOP;
    info.ex_style = WS_EX_NOACTIVATE;
    info.x = rect.left;
    info.y = rect.top;
    info.width = rect.right - rect.left;
    info.height = rect.bottom - rect.top;

    return CefBrowserHost::CreateBrowser(info, m_handler, url, settings, nullptr);
}
