// The system's application object for the browser library: adds the
// library switches every process gets, and serves as the browser-process
// and render-process handler.
#pragma once

#include "engine/cef_app.h"

class ClientApp : public CefApp, public CefBrowserProcessHandler, public CefRenderProcessHandler {
public:
    ClientApp();
    ~ClientApp() override;

    // CefApp
    void OnBeforeCommandLineProcessing(const CefString& processType,
                                       CefRefPtr<CefCommandLine> commandLine) override;
    CefRefPtr<CefBrowserProcessHandler> GetBrowserProcessHandler() override { return this; }
    CefRefPtr<CefRenderProcessHandler> GetRenderProcessHandler() override { return this; }

    // CefBrowserProcessHandler
    void OnContextInitialized() override;

private:
    IMPLEMENT_REFCOUNTING(ClientApp);
};
