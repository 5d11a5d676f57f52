// Browser creation: through the factory tests install, else a real
// browser of the engine.
#include "engine/cef_browser.h"

#include "engine/qt_browser.h"

namespace engine {
namespace {
BrowserFactory g_factory;
}  // namespace

void SetBrowserFactory(BrowserFactory factory) {
    g_factory = std::move(factory);
}

}  // namespace engine

bool CefBrowserHost::CreateBrowser(const CefWindowInfo& windowInfo, CefRefPtr<CefClient> client,
                                   const CefString& url, const CefBrowserSettings& settings,
                                   CefRefPtr<CefRequestContext>) {
    if (engine::g_factory)
        return engine::g_factory(windowInfo, client, url, settings);
    return engine::CreateEngineBrowser(windowInfo, client, url, settings);
}
