// The browsers of the engine over Qt WebEngine. A browser has its own
// framework window (a child of its host window, or of the top-level window
// of a page popup) holding one QWebEngineView; its page's events reach the
// client through the engine's callback queue.
//
// Threading: user-interface thread.
#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QStringList>
#include <deque>
#include <memory>

#include "engine/browser_windows.h"
#include "engine/cef_client.h"
#include "engine/channel_object.h"
#include "engine/document_group.h"
#include "engine/engine_page.h"
#include "framework/afxwin.h"

class QWebChannel;
class QWebEngineNewWindowRequest;
class QWebEngineLoadingInfo;

namespace engine {

class QtBrowser : public CefBrowser, public CefBrowserHost, public CefFrame {
public:
    // A browser in `parent` (a child window) or, for a popup, in a new
    // top-level window. `page` is given for popups the engine opens itself.
    static CefRefPtr<QtBrowser> Create(const CefWindowInfo& info, CefRefPtr<CefClient> client,
                                       const CefBrowserSettings& settings, bool popup,
                                       QWebEngineProfile* profile);

    // CefBrowser
    CefRefPtr<CefBrowserHost> GetHost() override { return this; }
    CefRefPtr<CefFrame> GetMainFrame() override { return this; }
    int GetIdentifier() override { return m_id; }
    bool IsPopup() override { return m_popup; }
    bool IsLoading() override { return m_loading; }
    bool HasDocument() override { return m_hasDocument; }
    bool CanGoBack() override;
    void GoBack() override;
    void Reload() override;
    void ReloadIgnoreCache() override;

    // CefBrowserHost
    CefRefPtr<CefBrowser> GetBrowser() override { return this; }
    HWND GetWindowHandle() override { return m_window ? m_window->m_hWnd : nullptr; }
    CefRefPtr<CefClient> GetClient() override { return m_client; }
    void CloseBrowser(bool forceClose) override;
    void SetZoomLevel(double level) override;
    double GetZoomLevel() override { return m_zoomLevel; }
    void NotifyMoveOrResizeStarted() override {}
    void ShowDevTools(const CefWindowInfo& windowInfo, CefRefPtr<CefClient> client,
                      const CefBrowserSettings& settings, const CefPoint& inspectAt) override;
    void CloseDevTools() override;

    // CefFrame
    void LoadURL(const CefString& url) override;
    void ExecuteJavaScript(const CefString& code, const CefString& scriptUrl,
                           int startLine) override;
    CefString GetURL() override;
    bool IsMain() override { return true; }
    CefRefPtr<CefFrame> GetParent() override { return nullptr; }
    bool SendProcessMessage(CefProcessId target, CefRefPtr<CefProcessMessage> message) override;
    CefDocumentRecord GetDocumentRecord() override;
    // Hands a message of `frame` (one of this browser's frames) to the
    // client, after the current call, unless the browser has closed.
    bool SendFromFrame(CefRefPtr<CefFrame> frame, CefProcessId target,
                       CefRefPtr<CefProcessMessage> message);

    // What could script this page and its group (engine/document_group.h),
    // and the address of its top document as the engine loaded it.
    DocumentGroup* Group() const;
    QString TopAddress() const;

    // The engine accepted a navigation of the page's top frame (or a
    // redirect of one).
    void TopNavigationAccepted();

    // For the engine's own windows.
    QWebEnginePage* Page() const { return m_page; }
    EngineView* View() const { return m_view; }
    void WindowGone();
    void ShowContextMenu(const QPoint& globalPos, const QPoint& localPos);
    void FitView();
    // Closes every browser that is still open (engine shutdown).
    static void CloseAll();
    // The windows that pages opened (window.open, target=_blank) and that
    // have not closed.
    static std::size_t PagePopupCount();

private:
    QtBrowser() = default;
    ~QtBrowser() override;
    void Attach(EnginePage* page);
    // The page joins the group of the page that opened it.
    void JoinGroupOf(const QtBrowser& opener);
    void OnLoadingChanged(const QWebEngineLoadingInfo& info);
    void OnNewWindow(QWebEngineNewWindowRequest& request);
    void OnRendererGone();
    void Finish();
    template <class H, class F>
    void Notify(CefRefPtr<H> (CefClient::*getter)(), F&& call);

    int m_id = 0;
    bool m_popup = false;
    bool m_loading = false;
    bool m_hasDocument = false;
    bool m_closed = false;
    bool m_awaitingLoad = false;
    bool m_startedSinceLoadUrl = false;
    double m_zoomLevel = 0;
    QStringList m_pendingScripts;
    CefRefPtr<CefClient> m_client;
    BrowserWindow* m_window = nullptr;  // deletes itself with its window
    PopupWindow* m_top = nullptr;       // for popups
    CWnd* m_viewHost = nullptr;         // the browser window's first child
    QPointer<EngineView> m_view;
    QPointer<EnginePage> m_page;
    QWebChannel* m_channel = nullptr;          // owned by the page
    ChannelObject* m_channelObject = nullptr;  // owned by the page
    CefRefPtr<QtBrowser> m_devTools;
    QElapsedTimer m_rendererClock;
    std::deque<qint64> m_rendererLosses;  // times the renderer ended, recent ones

    IMPLEMENT_REFCOUNTING(QtBrowser);
};

// Creates a real browser, as CefBrowserHost::CreateBrowser does.
bool CreateEngineBrowser(const CefWindowInfo& info, CefRefPtr<CefClient> client,
                         const CefString& url, const CefBrowserSettings& settings);

// Closes every browser and the developer tools' profile.
void CloseAllBrowsers();

// Drops the browsers asked for and not made yet (engine shutdown).
void DropBrowserRequests();
// Deletes the developer tools' profile, once their views are gone.
void DropDevToolsProfile();

}  // namespace engine
