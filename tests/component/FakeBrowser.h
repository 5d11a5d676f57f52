// A fake of the engine's browser for component tests: one object is the
// browser, its host and its main frame. It records what the system asks of
// it and lets a test play the engine's part towards a client (announce the
// browser, emit load events and titles, deliver a page's packet).
//
// Its window is any framework window the test chooses (set `window`): for a
// hosted browser a child of the host window, for a page popup a child of a
// top-level window. The fake never owns that window.
//
// FakeBrowserFactory stands in for the engine's browser creation, so the
// requests that CefBrowserHost::CreateBrowser receives can be checked.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "engine/cef_browser.h"
#include "engine/cef_client.h"
#include "engine/cef_values.h"
#include "framework/afxwin.h"

class FakeBrowser : public CefBrowser, public CefBrowserHost, public CefFrame {
public:
    static CefRefPtr<FakeBrowser> Create(HWND window = nullptr, bool popup = false) {
        CefRefPtr<FakeBrowser> b = new FakeBrowser();
        b->window = window;
        b->popup = popup;
        return b;
    }

    // --- Settable state. ------------------------------------------------
    int identifier = 1;
    bool popup = false;
    bool loading = false;
    bool hasDocument = true;
    bool canGoBack = false;
    HWND window = nullptr;
    QString url;  // the main frame's address; LoadURL sets it
    double zoomLevel = 0.0;
    CefRefPtr<CefClient> client;  // what GetClient returns; the target of the Emit helpers

    // --- Records. ---------------------------------------------------------
    struct Script {
        QString code;
        QString scriptUrl;
        int startLine;
        bool operator==(const Script&) const = default;
    };
    struct DevTools {
        CefWindowInfo windowInfo;
        CefRefPtr<CefClient> client;
        CefBrowserSettings settings;
        CefPoint at;  // the element to open the tools on
    };
    struct Message {
        CefProcessId target;
        QString name;
        QStringList arguments;
        bool operator==(const Message&) const = default;
    };
    QStringList loadedUrls;
    std::vector<Script> scripts;
    std::vector<double> zoomLevels;  // every SetZoomLevel, in order
    int reloads = 0;
    int reloadsIgnoringCache = 0;
    int backs = 0;
    std::vector<bool> closeRequests;  // forceClose of every CloseBrowser
    std::vector<DevTools> devToolsShown;
    int devToolsClosed = 0;
    std::vector<Message> sentMessages;
    int moveOrResizeNotifications = 0;

    // --- The engine's part towards the client. ----------------------------
    void AnnounceCreated() {
        if (auto h = client ? client->GetLifeSpanHandler() : nullptr)
            h->OnAfterCreated(this);
    }
    void EmitLoadingStateChange(bool isLoading, bool back, bool forward) {
        if (auto h = LoadHandler())
            h->OnLoadingStateChange(this, isLoading, back, forward);
    }
    void EmitLoadStart() {
        if (auto h = LoadHandler())
            h->OnLoadStart(this, this);
    }
    void EmitLoadEnd(int httpStatusCode) {
        if (auto h = LoadHandler())
            h->OnLoadEnd(this, this, httpStatusCode);
    }
    void EmitLoadError(int code, const QString& text, const QString& failedUrl) {
        if (auto h = LoadHandler())
            h->OnLoadError(this, this, code, text, failedUrl);
    }
    void EmitTitle(const QString& title) {
        if (auto h = client ? client->GetDisplayHandler() : nullptr)
            h->OnTitleChange(this, title);
    }
    // A page's MApp.jsPacket(text): the renderer's "jsPacket" message, from
    // `frame` (by default the main frame). Returns what the client answered.
    bool SendPagePacket(const QString& text, const QString& messageName = "jsPacket",
                        CefRefPtr<CefFrame> frame = nullptr) {
        CefRefPtr<CefProcessMessage> m = CefProcessMessage::Create(messageName);
        m->GetArgumentList()->SetString(0, text);
        m->GetArgumentList()->SetString(1, QString());
        return client &&
               client->OnProcessMessageReceived(this, frame ? frame : this, PID_RENDERER, m);
    }

    // --- CefBrowser ---------------------------------------------------------
    CefRefPtr<CefBrowserHost> GetHost() override { return this; }
    CefRefPtr<CefFrame> GetMainFrame() override { return this; }
    int GetIdentifier() override { return identifier; }
    bool IsPopup() override { return popup; }
    bool IsLoading() override { return loading; }
    bool HasDocument() override { return hasDocument; }
    bool CanGoBack() override { return canGoBack; }
    void GoBack() override { ++backs; }
    void Reload() override { ++reloads; }
    void ReloadIgnoreCache() override { ++reloadsIgnoringCache; }
    bool SendProcessMessage(CefProcessId target, CefRefPtr<CefProcessMessage> message) override {
        Message m{target, message->GetName(), {}};
        CefRefPtr<CefListValue> args = message->GetArgumentList();
        for (size_t i = 0; i < args->GetSize(); ++i)
            m.arguments << args->GetString(i);
        sentMessages.push_back(m);
        return true;
    }

    // --- CefBrowserHost and CefFrame (GetBrowser serves both) -----------------
    CefRefPtr<CefBrowser> GetBrowser() override { return this; }
    HWND GetWindowHandle() override { return window; }
    CefRefPtr<CefClient> GetClient() override { return client; }
    void CloseBrowser(bool forceClose) override { closeRequests.push_back(forceClose); }
    void SetZoomLevel(double level) override {
        zoomLevel = level;
        zoomLevels.push_back(level);
    }
    double GetZoomLevel() override { return zoomLevel; }
    void NotifyMoveOrResizeStarted() override { ++moveOrResizeNotifications; }
    void ShowDevTools(const CefWindowInfo& windowInfo, CefRefPtr<CefClient> devClient,
                      const CefBrowserSettings& settings, const CefPoint& at) override {
        devToolsShown.push_back({windowInfo, devClient, settings, at});
    }
    void CloseDevTools() override { ++devToolsClosed; }

    // --- CefFrame ---------------------------------------------------------------
    void LoadURL(const CefString& address) override {
        url = address;
        loadedUrls << address;
    }
    void ExecuteJavaScript(const CefString& code, const CefString& scriptUrl,
                           int startLine) override {
        scripts.push_back({code, scriptUrl, startLine});
    }
    CefString GetURL() override { return url; }
    bool IsMain() override { return true; }
    CefRefPtr<CefFrame> GetParent() override { return nullptr; }

private:
    FakeBrowser() = default;
    CefRefPtr<CefLoadHandler> LoadHandler() { return client ? client->GetLoadHandler() : nullptr; }
    IMPLEMENT_REFCOUNTING(FakeBrowser);
};

// Records the browser creations the engine is asked for; creation succeeds
// (or not) as `result` says, and no browser is announced: the test does that
// with a FakeBrowser when it wants to.
class FakeBrowserFactory {
public:
    struct Request {
        CefWindowInfo windowInfo;
        CefRefPtr<CefClient> client;
        QString url;
        CefBrowserSettings settings;
    };
    FakeBrowserFactory() {
        engine::SetBrowserFactory([this](const CefWindowInfo& info, CefRefPtr<CefClient> c,
                                         const CefString& u, const CefBrowserSettings& s) {
            requests.push_back({info, c, u, s});
            return result;
        });
    }
    ~FakeBrowserFactory() { engine::SetBrowserFactory({}); }
    FakeBrowserFactory(const FakeBrowserFactory&) = delete;
    FakeBrowserFactory& operator=(const FakeBrowserFactory&) = delete;

    std::vector<Request> requests;
    bool result = true;
};
