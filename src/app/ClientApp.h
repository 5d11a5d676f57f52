// The system's application object for the browser library: adds the
// library switches every process gets, and serves as the browser-process
// and render-process handler. In the browser process it owns the one
// browser client shared by every browser and creates the browsers; as the
// render-process handler (which the engine runs in this same process) it
// registers the script bridge.
#pragma once

#include "client/ClientHandler.h"
#include "engine/cef_app.h"
#include "framework/afxtypes.h"

class ClientApp : public CefApp, public CefBrowserProcessHandler, public CefRenderProcessHandler {
public:
    ClientApp();
    ~ClientApp() override;

    // CefApp
    void OnBeforeCommandLineProcessing(const CefString& processType,
                                       CefRefPtr<CefCommandLine> commandLine) override;
    CefRefPtr<CefBrowserProcessHandler> GetBrowserProcessHandler() override { return this; }
    CefRefPtr<CefRenderProcessHandler> GetRenderProcessHandler() override { return this; }

    // CefBrowserProcessHandler: creates the shared browser client.
    void OnContextInitialized() override;

    // CefRenderProcessHandler: registers the MApp/Zunta script extension.
    void OnWebKitInitialized() override;

    // Starts creating a browser as a visible, non-activating child of
    // `parent` at `rect` (the parent's client coordinates) on `url`, with the
    // shared client. Returns at once whether the creation was started; the
    // browser reaches the client's OnAfterCreated later. False, without
    // asking the library, before the library's context is ready.
    // Main thread only.
    bool CreateBrowser(HWND parent, const CString& url, const RECT& rect);

    // The client of every browser; empty until OnContextInitialized.
    CefRefPtr<ClientHandler> m_handler;

private:
    IMPLEMENT_REFCOUNTING(ClientApp);
};
