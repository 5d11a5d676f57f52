// Browsers, their hosts and frames, as pure interfaces: the engine's Qt
// WebEngine browsers implement them, and so do the tests' fakes.
//
// Threading: user-interface thread.
#pragma once

#include <QStringList>
#include <functional>

#include "engine/cef_base.h"
#include "engine/cef_values.h"
#include "framework/afxtypes.h"

class CefBrowser;
class CefBrowserHost;
class CefClient;
class CefRequestContext;

enum cef_state_t { STATE_DEFAULT = 0, STATE_ENABLED = 1, STATE_DISABLED = 2 };

struct CefBrowserSettings {
    CefString default_encoding;
    cef_state_t file_access_from_file_urls = STATE_DEFAULT;
    cef_state_t universal_access_from_file_urls = STATE_DEFAULT;
    cef_state_t web_security = STATE_DEFAULT;
    cef_state_t javascript = STATE_DEFAULT;
};

constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000);

struct CefWindowInfo {
    HWND parent_window = nullptr;
    DWORD style = 0;
    DWORD ex_style = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    CefString window_name;
    bool windowless_rendering_enabled = false;

    void SetAsChild(HWND parent, const RECT& r) {
        parent_window = parent;
        style =
            0x56010000;  // WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | WS_TABSTOP | WS_VISIBLE
        x = r.left;
        y = r.top;
        width = r.right - r.left;
        height = r.bottom - r.top;
    }
    void SetAsPopup(HWND parent, const CefString& name) {
        parent_window = parent;
        style = 0x16CF0000;  // WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | WS_VISIBLE
        x = y = width = height = CW_USEDEFAULT;
        window_name = name;
    }
};

struct CefPoint {
    int x = 0;
    int y = 0;
};

// Where the documents that can reach a frame's script came from, as the
// engine loaded them by navigation (an addition of this engine: nothing a
// page sets from script, such as the history API, changes it). With web
// security off every document of a page and of the windows of its group
// can script the others, so all of them count.
struct CefDocumentRecord {
    // The address of every document loaded in the page (its top frame and
    // frames of any depth) and in the windows of its group (those it opened,
    // or that opened it) since their top frames last navigated; documents
    // made from their creator's text (about:blank, srcdoc, data:, blob:
    // frames) count as their creator's and add nothing.
    QStringList documents;
    // The addresses among them that came with a certificate error.
    QStringList insecure;
};

class CefFrame : public virtual CefBaseRefCounted {
public:
    virtual void LoadURL(const CefString& url) = 0;
    virtual void ExecuteJavaScript(const CefString& code, const CefString& scriptUrl,
                                   int startLine) = 0;
    virtual CefString GetURL() = 0;
    virtual bool IsMain() = 0;
    // The frame that contains this one; empty for the top frame.
    virtual CefRefPtr<CefFrame> GetParent() = 0;
    virtual CefRefPtr<CefBrowser> GetBrowser() = 0;
    // Sends a message from this frame's script side to the browser side,
    // where the client's OnProcessMessageReceived gets it with this frame.
    virtual bool SendProcessMessage(CefProcessId target, CefRefPtr<CefProcessMessage> message) = 0;
    // The documents behind this frame's calls, as they stood when the call
    // being handled was made; nothing is known by default.
    virtual CefDocumentRecord GetDocumentRecord() { return {}; }
};

class CefBrowserHost : public virtual CefBaseRefCounted {
public:
    // Starts creating a browser and returns at once whether the creation was
    // started; the browser reaches the client's OnAfterCreated afterwards.
    static bool CreateBrowser(const CefWindowInfo& windowInfo, CefRefPtr<CefClient> client,
                              const CefString& url, const CefBrowserSettings& settings,
                              CefRefPtr<CefRequestContext> requestContext);

    virtual CefRefPtr<CefBrowser> GetBrowser() = 0;
    // The browser's own window: a child of its host window, or the child of
    // the top-level window of a page popup.
    virtual HWND GetWindowHandle() = 0;
    virtual CefRefPtr<CefClient> GetClient() = 0;
    virtual void CloseBrowser(bool forceClose) = 0;
    virtual void SetZoomLevel(double level) = 0;
    virtual double GetZoomLevel() = 0;
    virtual void NotifyMoveOrResizeStarted() = 0;
    virtual void ShowDevTools(const CefWindowInfo& windowInfo, CefRefPtr<CefClient> client,
                              const CefBrowserSettings& settings, const CefPoint& inspectAt) = 0;
    virtual void CloseDevTools() = 0;
};

class CefBrowser : public virtual CefBaseRefCounted {
public:
    virtual CefRefPtr<CefBrowserHost> GetHost() = 0;
    virtual CefRefPtr<CefFrame> GetMainFrame() = 0;
    virtual int GetIdentifier() = 0;
    virtual bool IsPopup() = 0;
    virtual bool IsLoading() = 0;
    virtual bool HasDocument() = 0;
    virtual bool CanGoBack() = 0;
    virtual void GoBack() = 0;
    virtual void Reload() = 0;
    virtual void ReloadIgnoreCache() = 0;
};

namespace engine {
// Browser creation goes through a factory, so tests can put fake browsers
// in place of the real ones. An empty factory restores the real one.
using BrowserFactory = std::function<bool(const CefWindowInfo&, CefRefPtr<CefClient>,
                                          const CefString&, const CefBrowserSettings&)>;
void SetBrowserFactory(BrowserFactory factory);
}  // namespace engine
