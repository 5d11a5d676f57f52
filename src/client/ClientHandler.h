// The browser client of every browser in the process: turns load events into
// packets for the window that hosts the browser, tells a hosting window about
// its new browser, shows page titles as window titles (a "TOP|" prefix makes
// the window topmost), offers developer tools in the context menu when
// DEVSHOW is on, and routes the pages' "jsPacket" messages.
//
// Two kinds of browser:
// - a hosted browser (IsPopup false) is a child window that one of our
//   windows created (a browser view or a popup browser window); its host
//   window is the parent of the browser's window;
// - a page popup (IsPopup true) is a browser that the engine opened by
//   itself (a page's new window, the developer tools) in a top-level window
//   of its own, where none of our windows handles messages: its host is a
//   CPagePopupHost (browser/PagePopupHost.h), which this handler makes for
//   each announcement and packet and hands them to.
//
// Threading: every callback runs on the user-interface thread.
#pragma once

#include "engine/cef_client.h"
#include "framework/afxtypes.h"

class CPacket;

class ClientHandler : public CefClient,
                      public CefLoadHandler,
                      public CefLifeSpanHandler,
                      public CefDragHandler,
                      public CefContextMenuHandler,
                      public CefDisplayHandler {
public:
    // Context menu commands.
    static constexpr int kShowDevToolsCommand = 26501;
    static constexpr int kCloseDevToolsCommand = 26502;

    ClientHandler();
    ~ClientHandler() override;

    // CefClient. No drag handler is handed out: drags keep the engine's
    // default behaviour.
    CefRefPtr<CefContextMenuHandler> GetContextMenuHandler() override { return this; }
    CefRefPtr<CefDisplayHandler> GetDisplayHandler() override { return this; }
    CefRefPtr<CefLifeSpanHandler> GetLifeSpanHandler() override { return this; }
    CefRefPtr<CefLoadHandler> GetLoadHandler() override { return this; }
    bool OnProcessMessageReceived(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                                  CefProcessId sourceProcess,
                                  CefRefPtr<CefProcessMessage> message) override;

    // CefLoadHandler: each event becomes a packet posted to the host window.
    void OnLoadingStateChange(CefRefPtr<CefBrowser> browser, bool isLoading, bool canGoBack,
                              bool canGoForward) override;
    void OnLoadStart(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame) override;
    void OnLoadEnd(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                   int httpStatusCode) override;
    void OnLoadError(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame, int errorCode,
                     const CefString& errorText, const CefString& failedUrl) override;

    // CefLifeSpanHandler
    bool OnBeforePopup(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                       const CefString& targetUrl, const CefString& targetFrameName,
                       cef_window_open_disposition_t targetDisposition, bool userGesture,
                       const CefPopupFeatures& popupFeatures, CefWindowInfo& windowInfo,
                       CefRefPtr<CefClient>& client, CefBrowserSettings& settings,
                       bool* noJavascriptAccess) override;
    void OnAfterCreated(CefRefPtr<CefBrowser> browser) override;
    void OnBeforeClose(CefRefPtr<CefBrowser> browser) override;

    // CefContextMenuHandler
    void OnBeforeContextMenu(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                             CefRefPtr<CefContextMenuParams> params,
                             CefRefPtr<CefMenuModel> model) override;
    bool OnContextMenuCommand(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                              CefRefPtr<CefContextMenuParams> params, int commandId,
                              int eventFlags) override;

    // CefDisplayHandler
    void OnTitleChange(CefRefPtr<CefBrowser> browser, const CefString& title) override;

    // The window that hosts `browser`: the parent of its window for a hosted
    // browser, its top-level window for a page popup.
    static HWND HostWindow(CefRefPtr<CefBrowser> browser);

private:
    // Posts a load-event packet to the host window of a hosted browser.
    void PostLoadPacket(CefRefPtr<CefBrowser> browser, CPacket* packet);

    // Whether the next page popup keeps its window frame: cleared by every
    // OnBeforePopup and set again there when the target address asks for a
    // frame with "hdr=1". One value for all browsers; a popup the engine
    // opens without asking (the developer tools) gets whatever it holds.
    bool m_popupFrame = true;

    IMPLEMENT_REFCOUNTING(ClientHandler);
};
