#include "engine/qt_browser.h"

#include <QCoreApplication>
#include <QWebChannel>
#include <QWebEngineHistory>
#include <QWebEngineLoadingInfo>
#include <QWebEngineNewWindowRequest>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineSettings>
#include <cmath>
#include <map>

#include "engine/context.h"
#include "engine/load_events.h"

namespace engine {
namespace {

// The engine holds a reference to every browser until it closes, as the
// library does: a client need not keep one.
std::map<QtBrowser*, CefRefPtr<QtBrowser>>& LiveBrowsers() {
    static auto* live = new std::map<QtBrowser*, CefRefPtr<QtBrowser>>();
    return *live;
}

int g_nextId = 0;

// The engine accepts zoom factors from 0.25 to 5 only; beyond them a
// request would be silently ignored.
double ZoomFactorOfLevel(double level) {
    const double factor = std::pow(1.2, level);
    if (!std::isfinite(factor))
        return level > 0 ? 5.0 : 0.25;
    return std::clamp(factor, 0.25, 5.0);
}

constexpr int kDefaultPopupWidth = 800;
constexpr int kDefaultPopupHeight = 600;

}  // namespace

// ---------------------------------------------------------------------------

// ---------------------------------------------------------------------------

CefRefPtr<QtBrowser> QtBrowser::Create(const CefWindowInfo& info, CefRefPtr<CefClient> client,
                                       const CefBrowserSettings& settings, bool popup,
                                       QWebEngineProfile* profile) {
    CefRefPtr<QtBrowser> b = new QtBrowser();
    b->m_id = ++g_nextId;
    b->m_popup = popup;
    b->m_client = client;

    HWND parent = info.parent_window;
    int x = info.x, y = info.y, w = info.width, h = info.height;
    if (popup) {
        if (w == CW_USEDEFAULT || w <= 0)
            w = kDefaultPopupWidth;
        if (h == CW_USEDEFAULT || h <= 0)
            h = kDefaultPopupHeight;
        if (x == CW_USEDEFAULT)
            x = 100;
        if (y == CW_USEDEFAULT)
            y = 100;
        b->m_top = new PopupWindow(b.get());
        const DWORD style =
            info.style ? (info.style & ~WS_CHILD) : (WS_OVERLAPPEDWINDOW | WS_VISIBLE);
        if (!b->m_top->CreateEx(info.ex_style & ~WS_EX_NOACTIVATE,
                                QStringLiteral("CefBrowserWindow"), info.window_name,
                                style & ~WS_VISIBLE, x, y, w, h, nullptr, 0)) {
            delete b->m_top;
            b->m_top = nullptr;
            return nullptr;
        }
        parent = b->m_top->m_hWnd;
        RECT client{};
        b->m_top->GetClientRect(&client);
        x = 0;
        y = 0;
        w = client.right;
        h = client.bottom;
    }

    b->m_window = new BrowserWindow(b.get());
    const DWORD childStyle = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    if (!b->m_window->CreateEx(popup ? 0 : info.ex_style, QStringLiteral("CefBrowserWindow"),
                               QString(), popup ? childStyle : (info.style | WS_CHILD), x, y,
                               std::max(w, 0), std::max(h, 0), parent, 0)) {
        delete b->m_window;
        b->m_window = nullptr;
        if (b->m_top)
            b->m_top->DestroyWindow();
        return nullptr;
    }
    auto* host = new ViewHost();
    RECT r{0, 0, std::max(w, 0), std::max(h, 0)};
    host->Create(QStringLiteral("Chrome_RenderWidgetHostHWND"), QString(), WS_CHILD | WS_VISIBLE, r,
                 b->m_window, 0);
    b->m_viewHost = host;

    b->m_view = new EngineView(b.get(), host->GetPeer());
    auto* page = new EnginePage(profile, b->m_view);
    QWebEngineSettings* s = page->settings();
    if (!settings.default_encoding.isEmpty())
        s->setDefaultTextEncoding(settings.default_encoding);
    if (settings.file_access_from_file_urls != STATE_DEFAULT) {
        s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls,
                        settings.file_access_from_file_urls == STATE_ENABLED);
    }
    if (settings.web_security == STATE_DISABLED) {
        // The rest of the same-origin rules fall with the engine switch set
        // at start-up; file pages may reach the network as well.
        s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
    }
    b->Attach(page);
    b->m_view->setGeometry(0, 0, std::max(w, 0), std::max(h, 0));
    b->m_view->show();
    if (info.ex_style & WS_EX_NOACTIVATE)
        b->m_view->setAttribute(Qt::WA_ShowWithoutActivating);

    if (b->m_top)
        b->m_top->ShowWindow(SW_SHOW);
    LiveBrowsers()[b.get()] = b;
    return b;
}

DocumentGroup* QtBrowser::Group() const {
    return m_page ? m_page->Group() : nullptr;
}

QString QtBrowser::TopAddress() const {
    DocumentGroup* group = Group();
    return group ? group->TopAddress(m_page.data()) : QString();
}

void QtBrowser::JoinGroupOf(const QtBrowser& opener) {
    if (m_page && opener.m_page)
        m_page->JoinGroup(opener.m_page->SharedGroup());
}

void QtBrowser::Attach(EnginePage* page) {
    m_page = page;
    // Until a page opens it, a browser is a group of its own.
    page->JoinGroup(std::make_shared<DocumentGroup>());
    page->SetBrowser(this);
    m_view->setPage(page);
    m_channelObject = new ChannelObject(page);
    m_channelObject->SetBrowser(this);
    m_channel = new QWebChannel(page);
    m_channel->registerObject(QStringLiteral("velkBridge"), m_channelObject);
    page->setWebChannel(m_channel, QWebEngineScript::MainWorld);
    InstallExtensions(page);

    QObject::connect(page, &QWebEnginePage::loadingChanged, page,
                     [this](const QWebEngineLoadingInfo& info) { OnLoadingChanged(info); });
    QObject::connect(page, &QWebEnginePage::titleChanged, page, [this](const QString& title) {
        CefRefPtr<QtBrowser> self(this);
        // The analyzer takes the captured `this` for possibly null.
        // NOLINTNEXTLINE(clang-analyzer-core.CallAndMessage)
        Notify(&CefClient::GetDisplayHandler, [self, title](CefRefPtr<CefDisplayHandler> h) {
            h->OnTitleChange(self.get(), title);
        });
    });
    QObject::connect(page, &QWebEnginePage::urlChanged, page, [this](const QUrl& url) {
        CefRefPtr<QtBrowser> self(this);
        const QString u = url.toString();
        // NOLINTNEXTLINE(clang-analyzer-core.CallAndMessage): as above.
        Notify(&CefClient::GetDisplayHandler, [self, u](CefRefPtr<CefDisplayHandler> h) {
            h->OnAddressChange(self.get(), self.get(), u);
        });
    });
    QObject::connect(page, &QWebEnginePage::newWindowRequested, page,
                     [this](QWebEngineNewWindowRequest& request) { OnNewWindow(request); });
    QObject::connect(page, &QWebEnginePage::windowCloseRequested, page,
                     [this] { CloseBrowser(false); });
    QObject::connect(page, &QWebEnginePage::renderProcessTerminated, page,
                     [this](QWebEnginePage::RenderProcessTerminationStatus, int) {
                         // Later: the page is not to be reloaded from inside
                         // the engine's report of its end.
                         CefRefPtr<QtBrowser> self(this);
                         QueueCallback([self] { self->OnRendererGone(); });
                     });
}

QtBrowser::~QtBrowser() = default;

template <class H, class F>
void QtBrowser::Notify(CefRefPtr<H> (CefClient::*getter)(), F&& call) {
    CefClient* client = m_client.get();
    if (m_closed || !client)
        return;
    CefRefPtr<H> handler = (client->*getter)();
    if (!handler)
        return;
    QueueCallback([handler, call = std::forward<F>(call)] { call(handler); });
}

void QtBrowser::TopNavigationAccepted() {
    // A load that replaces one still running gets no start report of its
    // own from the engine, only the end of the last: the top frame's
    // navigation is what says that the document asked for is on its way.
    m_startedSinceLoadUrl = true;
}

void QtBrowser::OnLoadingChanged(const QWebEngineLoadingInfo& info) {
    CefRefPtr<QtBrowser> self(this);
    const bool back = CanGoBack();
    const bool forward = m_page && m_page->history()->canGoForward();
    if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus) {
        m_loading = true;
        m_startedSinceLoadUrl = true;
        Notify(&CefClient::GetLoadHandler, [self, back, forward](CefRefPtr<CefLoadHandler> h) {
            h->OnLoadingStateChange(self.get(), true, back, forward);
        });
        Notify(&CefClient::GetLoadHandler,
               [self](CefRefPtr<CefLoadHandler> h) { h->OnLoadStart(self.get(), self.get()); });
        return;
    }
    m_loading = false;
    m_hasDocument = true;
    const LoadEnd end =
        LoadEndOf(info.status(), info.errorDomain(), info.errorCode(), info.errorString());
    if (!end.error) {
        Notify(&CefClient::GetLoadHandler, [self, end](CefRefPtr<CefLoadHandler> h) {
            h->OnLoadEnd(self.get(), self.get(), end.code);
        });
    } else {
        const QString url = info.url().toString();
        Notify(&CefClient::GetLoadHandler, [self, end, url](CefRefPtr<CefLoadHandler> h) {
            h->OnLoadError(self.get(), self.get(), end.code, end.text, url);
        });
    }
    // Scripts asked for while a new page was on its way run in that page.
    if (m_startedSinceLoadUrl && m_awaitingLoad) {
        m_awaitingLoad = false;
        const QStringList scripts = std::exchange(m_pendingScripts, {});
        for (const QString& s : scripts)
            ExecuteJavaScript(s, QString(), 0);
    }
    Notify(&CefClient::GetLoadHandler, [self, back, forward](CefRefPtr<CefLoadHandler> h) {
        h->OnLoadingStateChange(self.get(), false, back, forward);
    });
}

// One entry back, by index: the engine's own back action skips entries
// that a page added by script without a user gesture (a redirect made with
// location.href), which would leave the user where they are.
bool QtBrowser::CanGoBack() {
    return m_page && m_page->history()->currentItemIndex() > 0;
}

void QtBrowser::GoBack() {
    if (!CanGoBack())
        return;
    QWebEngineHistory* history = m_page->history();
    history->goToItem(history->itemAt(history->currentItemIndex() - 1));
}

void QtBrowser::Reload() {
    if (m_page)
        m_page->triggerAction(QWebEnginePage::Reload);
}

void QtBrowser::ReloadIgnoreCache() {
    if (m_page)
        m_page->triggerAction(QWebEnginePage::ReloadAndBypassCache);
}

CefDocumentRecord QtBrowser::GetDocumentRecord() {
    DocumentGroup* group = m_closed ? nullptr : Group();
    return group ? group->Record() : CefDocumentRecord();
}

bool QtBrowser::SendProcessMessage(CefProcessId target, CefRefPtr<CefProcessMessage> message) {
    return SendFromFrame(this, target, message);
}

bool QtBrowser::SendFromFrame(CefRefPtr<CefFrame> frame, CefProcessId target,
                              CefRefPtr<CefProcessMessage> message) {
    if (!message || !frame || m_closed)
        return false;
    // Only the browser side handles process messages.
    if (target != PID_BROWSER || !m_client)
        return false;
    CefRefPtr<QtBrowser> self(this);
    CefRefPtr<CefClient> client = m_client;
    QueueCallback([client, self, frame, message] {
        client->OnProcessMessageReceived(self.get(), frame, PID_RENDERER, message);
    });
    return true;
}

void QtBrowser::Finish() {
    if (m_closed)
        return;
    CefRefPtr<QtBrowser> self(this);
    Notify(&CefClient::GetLifeSpanHandler,
           [self](CefRefPtr<CefLifeSpanHandler> h) { h->OnBeforeClose(self.get()); });
    m_closed = true;
    LiveBrowsers().erase(this);
    // The page stays in its group until it is gone (engine/engine_page.h).
    if (m_page)
        m_page->SetBrowser(nullptr);
    if (m_devTools)
        m_devTools->CloseBrowser(true);
    if (m_channelObject)
        m_channelObject->SetBrowser(nullptr);
    if (m_view) {
        m_view->Detach();
        m_view->hide();
        // The page goes with the view, before the profile does.
        m_view->deleteLater();
    }
    if (m_window)
        m_window->Detach();
    if (m_top)
        m_top->Detach();
}

void QtBrowser::CloseBrowser(bool) {
    if (m_closed)
        return;
    CefRefPtr<QtBrowser> self(this);
    BrowserWindow* window = m_window;
    PopupWindow* top = m_top;
    Finish();
    m_window = nullptr;
    m_top = nullptr;
    if (top) {
        top->DestroyWindow();
    } else if (window) {
        window->DestroyWindow();
    }
}

void QtBrowser::WindowGone() {
    // The host window went (and this browser's window with it).
    CefRefPtr<QtBrowser> self(this);
    PopupWindow* top = m_top;
    Finish();
    m_window = nullptr;
    m_top = nullptr;
    if (top && IsWindow(top->m_hWnd))
        top->DestroyWindow();
}

void QtBrowser::FitView() {
    if (!m_window || !m_viewHost)
        return;
    RECT r{};
    m_window->GetClientRect(&r);
    m_viewHost->MoveWindow(0, 0, r.right, r.bottom, TRUE);
}

void QtBrowser::SetZoomLevel(double level) {
    m_zoomLevel = level;
    if (m_page)
        m_page->setZoomFactor(ZoomFactorOfLevel(level));
}

void QtBrowser::LoadURL(const CefString& url) {
    if (m_closed || !m_page)
        return;
    m_awaitingLoad = true;
    m_startedSinceLoadUrl = false;
    m_page->load(QUrl(url));
}

void QtBrowser::ExecuteJavaScript(const CefString& code, const CefString&, int) {
    if (m_closed || !m_page)
        return;
    // Right after a load was asked for, a script would run in the old
    // document and be lost with it; it waits for the new one instead.
    if (m_awaitingLoad) {
        m_pendingScripts << code;
        return;
    }
    m_page->runJavaScript(code, QWebEngineScript::MainWorld);
}

CefString QtBrowser::GetURL() {
    return m_page ? m_page->url().toString() : CefString();
}

std::size_t QtBrowser::PagePopupCount() {
    std::size_t n = 0;
    for (const auto& entry : LiveBrowsers())
        n += entry.first->m_popup ? 1 : 0;
    return n;
}

void QtBrowser::CloseAll() {
    std::vector<CefRefPtr<QtBrowser>> all;
    for (auto& entry : LiveBrowsers())
        all.push_back(entry.second);
    for (auto& b : all)
        b->CloseBrowser(true);
}

void CloseAllBrowsers() {
    DropBrowserRequests();
    QtBrowser::CloseAll();
    // The views go before the profile of the developer tools.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    DropDevToolsProfile();
}

}  // namespace engine
