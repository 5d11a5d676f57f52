#include "engine/qt_browser.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDataStream>
#include <QMenu>
#include <QWebChannel>
#include <QWebEngineCertificateError>
#include <QWebEngineHistory>
#include <QWebEngineLoadingInfo>
#include <QWebEngineNewWindowRequest>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInfo>
#include <QWebEngineUrlRequestInterceptor>
#include <cmath>
#include <cstdio>
#include <map>

#include "engine/context.h"

namespace engine {
namespace {

// The engine holds a reference to every browser until it closes, as the
// library does: a client need not keep one.
std::map<QtBrowser*, CefRefPtr<QtBrowser>>& LiveBrowsers() {
    static auto* live = new std::map<QtBrowser*, CefRefPtr<QtBrowser>>();
    return *live;
}

int g_nextId = 0;
QWebEngineProfile* g_devToolsProfile = nullptr;

// The engine accepts zoom factors from 0.25 to 5 only; beyond them a
// request would be silently ignored.
double ZoomFactorOfLevel(double level) {
    const double factor = std::pow(1.2, level);
    if (!std::isfinite(factor))
        return level > 0 ? 5.0 : 0.25;
    return std::clamp(factor, 0.25, 5.0);
}

// Gives `page` new engine contents that take over its history (its
// settings, scripts and web channel stay with the page); they start loading
// its current entry. Nothing happens to a page without history.
void RenewContents(QWebEnginePage* page) {
    QByteArray history;
    QDataStream out(&history, QIODevice::WriteOnly);
    out << *page->history();
    QDataStream in(history);
    in >> *page->history();
}

constexpr int kDefaultPopupWidth = 800;
constexpr int kDefaultPopupHeight = 600;

// The child of a browser window that holds the view (where drag and drop
// is revoked).
class ViewHost : public CWnd {
protected:
    void OnSize(UINT type, int cx, int cy) override {
        CWnd::OnSize(type, cx, cy);
        for (QObject* child : GetPeer()->children()) {
            if (auto* view = qobject_cast<QWebEngineView*>(child))
                view->setGeometry(0, 0, cx, cy);
        }
    }
    void PostNcDestroy() override { delete this; }
};

}  // namespace

namespace {

// A browser asked for and not made yet.
struct BrowserRequest {
    CefWindowInfo info;
    CefRefPtr<CefClient> client;
    CefString url;
    CefBrowserSettings settings;
};

std::deque<BrowserRequest>& BrowserRequests() {
    static auto* requests = new std::deque<BrowserRequest>();
    return *requests;
}

void MakeBrowser(const BrowserRequest& request) {
    Context& ctx = GetContext();
    // A window closed meanwhile, or an engine shut down, gets no browser.
    if (!ctx.initialized || !ctx.profile)
        return;
    if (request.info.parent_window && !IsWindow(request.info.parent_window))
        return;
    CefRefPtr<QtBrowser> browser =
        QtBrowser::Create(request.info, request.client, request.settings,
                          request.info.parent_window == nullptr, ctx.profile);
    if (!browser)
        return;
    // The library announces the browser once it exists; the first load is
    // already on its way.
    if (!request.url.isEmpty())
        browser->LoadURL(request.url);
    if (request.client) {
        if (CefRefPtr<CefLifeSpanHandler> h = request.client->GetLifeSpanHandler()) {
            QueueCallback([h, browser] { h->OnAfterCreated(browser.get()); });
        }
    }
}

// Makes the oldest requested browser. One browser a pass: making one takes
// tens of milliseconds, and windows that asked for many at once (a burst of
// popups) get their paint, their opacity and their input between them.
void MakeNextBrowser() {
    std::deque<BrowserRequest>& requests = BrowserRequests();
    if (requests.empty())
        return;
    const BrowserRequest request = std::move(requests.front());
    requests.pop_front();
    if (!requests.empty())
        QueueCallback(MakeNextBrowser);
    MakeBrowser(request);
}

}  // namespace

// As the library does, the browser is made after the call returns, on this
// thread; the call only checks that it can be made.
bool CreateEngineBrowser(const CefWindowInfo& info, CefRefPtr<CefClient> client,
                         const CefString& url, const CefBrowserSettings& settings) {
    Context& ctx = GetContext();
    StartEngine();
    if (!ctx.initialized || !ctx.profile)
        return false;
    if (info.parent_window && !IsWindow(info.parent_window))
        return false;
    std::deque<BrowserRequest>& requests = BrowserRequests();
    requests.push_back(BrowserRequest{info, std::move(client), url, settings});
    if (requests.size() == 1)
        QueueCallback(MakeNextBrowser);
    return true;
}

// ---------------------------------------------------------------------------

namespace {

// The schemes whose documents the engine shows itself. Any other address
// would be handed to the desktop's handler of its scheme, which pages may
// not reach: they open only web addresses, and only through their command
// for it.
bool IsEngineScheme(const QString& scheme) {
    static const QStringList schemes{
        QStringLiteral("http"),     QStringLiteral("https"),       QStringLiteral("file"),
        QStringLiteral("data"),     QStringLiteral("blob"),        QStringLiteral("about"),
        QStringLiteral("qrc"),      QStringLiteral("filesystem"),  QStringLiteral("chrome-error"),
        QStringLiteral("devtools"), QStringLiteral("view-source"), QStringLiteral("javascript")};
    return schemes.contains(scheme.toLower());
}

}  // namespace

// Tells a page's group of every request the page makes, so that one to an
// origin whose certificate failed before marks it (the engine does not
// report the accepted error again).
class RequestWatcher final : public QWebEngineUrlRequestInterceptor {
public:
    RequestWatcher(QtBrowser* browser, QObject* parent)
        : QWebEngineUrlRequestInterceptor(parent), m_browser(browser) {}
    void Detach() { m_browser = nullptr; }
    void interceptRequest(QWebEngineUrlRequestInfo& info) override {
        if (m_browser && m_browser->Group())
            m_browser->Group()->Request(m_browser, info.requestUrl());
    }

private:
    QtBrowser* m_browser;
};

EnginePage::EnginePage(QWebEngineProfile* profile, QObject* parent)
    : QWebEnginePage(profile, parent) {
    // Certificate errors are accepted, as the library settings ask; the
    // page's group learns of each, so that nothing it then shows counts as
    // the service's.
    connect(this, &QWebEnginePage::certificateError, this,
            [this](QWebEngineCertificateError error) {
                if (m_browser && m_browser->Group())
                    m_browser->Group()->CertificateError(m_browser, error.url());
                if (GetContext().settings.ignore_certificate_errors) {
                    error.acceptCertificate();
                } else {
                    error.rejectCertificate();
                }
            });
}

bool EnginePage::acceptNavigationRequest(const QUrl& url, NavigationType, bool isMainFrame) {
    if (!IsEngineScheme(url.scheme())) {
        std::fprintf(stderr, "address refused: %s is not a web address\n",
                     url.toString(QUrl::FullyEncoded).toUtf8().constData());
        return false;
    }
    if (m_browser && m_browser->Group())
        m_browser->Group()->Navigation(m_browser, url, isMainFrame);
    return true;
}

void EnginePage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level,
                                          const QString& message, int line, const QString& source) {
    // Page messages are noise for a user; they are shown only when asked for.
    static const bool show = qEnvironmentVariableIsSet("VELK_PAGE_CONSOLE");
    if (show) {
        qInfo("page console [%d] %s:%d: %s", int(level), qUtf8Printable(source), line,
              qUtf8Printable(message));
    }
}

EngineView::EngineView(QtBrowser* browser, QWidget* parent)
    : QWebEngineView(parent), m_browser(browser) {}

void EngineView::contextMenuEvent(QContextMenuEvent* event) {
    if (!m_browser)
        return;
    m_browser->ShowContextMenu(event->globalPos(), event->pos());
}

void BrowserWindow::OnSize(UINT type, int cx, int cy) {
    CWnd::OnSize(type, cx, cy);
    if (m_browser)
        m_browser->FitView();
}

void BrowserWindow::OnDestroy() {
    if (m_browser)
        m_browser->WindowGone();
    CWnd::OnDestroy();
}

void PopupWindow::OnSize(UINT type, int cx, int cy) {
    CWnd::OnSize(type, cx, cy);
    if (m_browser && m_browser->GetWindowHandle()) {
        ::SetWindowPos(m_browser->GetWindowHandle(), nullptr, 0, 0, cx, cy, SWP_NOZORDER);
    }
}

void PopupWindow::OnClose() {
    if (m_browser) {
        m_browser->CloseBrowser(false);
    } else {
        CWnd::OnClose();
    }
}

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

void QtBrowser::JoinGroup(std::shared_ptr<DocumentGroup> group) {
    if (m_group)
        m_group->Leave(this);
    m_group = std::move(group);
    if (m_group)
        m_group->Join(this);
}

void QtBrowser::Attach(EnginePage* page) {
    m_page = page;
    // Until a page opens it, a browser is a group of its own.
    JoinGroup(std::make_shared<DocumentGroup>());
    page->SetBrowser(this);
    m_watcher = new RequestWatcher(this, page);
    page->setUrlRequestInterceptor(m_watcher);
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

// A page whose renderer ended (crashed, killed) is loaded again, a few
// times a minute at most; after that a short page says that it stopped and
// offers to load it again. The window, its browser, its bridge and its
// history stay; a page that another page opened no longer has that opener
// (window.opener), which belonged to the old contents.
void QtBrowser::OnRendererGone() {
    if (m_closed || !m_page)
        return;
    constexpr qint64 kWindowMs = 60000;
    constexpr size_t kReloadsPerWindow = 3;
    const qint64 now = m_rendererClock.isValid() ? m_rendererClock.elapsed() : 0;
    if (!m_rendererClock.isValid())
        m_rendererClock.start();
    while (!m_rendererLosses.empty() && now - m_rendererLosses.front() > kWindowMs)
        m_rendererLosses.pop_front();
    m_rendererLosses.push_back(now);
    const QUrl lost = m_page->url();
    // The page is loaded again in new engine contents, not in the ones whose
    // renderer ended. The engine gives a frame the page's scripts (the bridge
    // among them) over a connection that it keeps under the frame's address,
    // and loading contents again after their renderer ended leaves such a
    // connection behind for the frame that ended, which is then freed. The
    // next frame made at that address (the second of two pages that lost
    // their renderer together, loaded again right after the first) gets its
    // scripts over that stale connection, which leads nowhere, and its page
    // comes without the bridge. New contents that take over the page's
    // history have frames of their own, and the old ones go without being
    // loaded again. The developer tools stay with the contents they were
    // opened on: a page with them, or of them, keeps its contents.
    if (!m_page->devToolsPage() && !m_page->inspectedPage())
        RenewContents(m_page);
    if (m_rendererLosses.size() <= kReloadsPerWindow) {
        // As a reload: new contents would take the page from the cache
        // without asking whether it changed.
        m_page->triggerAction(QWebEnginePage::Reload);
        return;
    }
    const QString address = lost.toString(QUrl::FullyEncoded).toHtmlEscaped();
    m_page->setHtml(
        QStringLiteral(
            "<!doctype html><html lang=\"ko\"><head><meta charset=\"utf-8\"><style>"
            "html,body{height:100%;margin:0}body{display:flex;flex-direction:column;"
            "align-items:center;justify-content:center;font-family:sans-serif;color:#333}"
            "a{display:block;width:60%;max-width:320px;padding:24px "
            "0;margin-top:16px;text-align:center;"
            "background:#1f5fbf;color:#fff;text-decoration:none;border-radius:6px}"
            "</style></head><body><p>페이지가 멈췄습니다.</p>"
            "<a id=\"reload\" href=\"%1\">다시 불러오기</a></body></html>")
            .arg(address),
        QUrl(QStringLiteral("about:blank")));
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
    // A load that ended with a response put that response's document in
    // place of the old one; one that stopped or failed on the way may have
    // left the old one there.
    if (m_group) {
        const bool replaced = info.status() == QWebEngineLoadingInfo::LoadSucceededStatus ||
                              info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain;
        m_group->TopLoadEnded(this, replaced);
    }
    const int code = info.errorCode();
    const QString text = info.errorString();
    const QString url = info.url().toString();
    if (info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain) {
        // Every HTTP response ends its load with its status, 404 and 500
        // pages included (the engine calls those failed loads).
        Notify(&CefClient::GetLoadHandler, [self, code](CefRefPtr<CefLoadHandler> h) {
            h->OnLoadEnd(self.get(), self.get(), code);
        });
    } else if (info.status() == QWebEngineLoadingInfo::LoadSucceededStatus) {
        Notify(&CefClient::GetLoadHandler,
               [self](CefRefPtr<CefLoadHandler> h) { h->OnLoadEnd(self.get(), self.get(), 200); });
    } else {
        const int errorCode = info.status() == QWebEngineLoadingInfo::LoadStoppedStatus
                                  ? static_cast<int>(ERR_ABORTED)
                                  : (code != 0 ? code : -2);
        const QString errorText = info.status() == QWebEngineLoadingInfo::LoadStoppedStatus
                                      ? QStringLiteral("ERR_ABORTED")
                                      : text;
        Notify(&CefClient::GetLoadHandler,
               [self, errorCode, errorText, url](CefRefPtr<CefLoadHandler> h) {
                   h->OnLoadError(self.get(), self.get(), errorCode, errorText, url);
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

void QtBrowser::OnNewWindow(QWebEngineNewWindowRequest& request) {
    if (m_closed)
        return;
    CefRefPtr<QtBrowser> self(this);
    CefWindowInfo info;
    info.SetAsPopup(nullptr, QString());
    const QRect g = request.requestedGeometry();
    CefPopupFeatures features;
    if (g.width() > 0 && g.height() > 0) {
        features = CefPopupFeatures{g.x(), g.y(), g.width(), g.height(), true, true, true, true};
        info.x = g.x();
        info.y = g.y();
        info.width = g.width();
        info.height = g.height();
    }
    cef_window_open_disposition_t disposition = WOD_NEW_POPUP;
    if (request.destination() == QWebEngineNewWindowRequest::InNewTab ||
        request.destination() == QWebEngineNewWindowRequest::InNewBackgroundTab) {
        disposition = WOD_NEW_FOREGROUND_TAB;
    } else if (request.destination() == QWebEngineNewWindowRequest::InNewWindow) {
        disposition = WOD_NEW_WINDOW;
    }
    CefRefPtr<CefClient> client = m_client;
    CefBrowserSettings settings;
    settings.default_encoding = QStringLiteral("UTF-8");
    bool noJavascriptAccess = false;
    // The client decides before anything is created; an ignored request
    // still gives the opener a window object.
    if (m_client) {
        if (CefRefPtr<CefLifeSpanHandler> h = m_client->GetLifeSpanHandler()) {
            if (h->OnBeforePopup(this, this, request.requestedUrl().toString(), QString(),
                                 disposition, request.isUserInitiated(), features, info, client,
                                 settings, &noJavascriptAccess)) {
                return;
            }
        }
    }
    CefRefPtr<QtBrowser> popup =
        Create(info, client, settings, true, m_page ? m_page->profile() : GetContext().profile);
    if (!popup)
        return;
    // The new window and this page can script each other: one group. Its
    // first document is asked for before the window takes it over.
    popup->JoinGroup(m_group);
    if (m_group)
        m_group->Navigation(popup.get(), request.requestedUrl(), true);
    request.openIn(popup->Page());
    if (client) {
        if (CefRefPtr<CefLifeSpanHandler> h = client->GetLifeSpanHandler()) {
            QueueCallback([h, popup] { h->OnAfterCreated(popup.get()); });
        }
    }
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
    return m_group ? m_group->Record() : CefDocumentRecord();
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
    if (m_group) {
        m_group->Leave(this);
        m_group.reset();
    }
    if (auto* page = qobject_cast<EnginePage*>(m_page.data()))
        page->SetBrowser(nullptr);
    if (m_watcher)
        m_watcher->Detach();
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

void QtBrowser::ShowDevTools(const CefWindowInfo& windowInfo, CefRefPtr<CefClient> client,
                             const CefBrowserSettings& settings, const CefPoint&) {
    if (m_closed || !m_page)
        return;
    if (m_devTools && !m_devTools->m_closed) {
        if (m_devTools->m_top)
            m_devTools->m_top->SetForegroundWindow();
        return;
    }
    // The tools get a profile of their own, so the pages' extensions are
    // not injected into them.
    if (!g_devToolsProfile)
        g_devToolsProfile = new QWebEngineProfile();
    CefWindowInfo info = windowInfo;
    info.parent_window = nullptr;
    m_devTools = Create(info, client, settings, true, g_devToolsProfile);
    if (!m_devTools)
        return;
    m_page->setDevToolsPage(m_devTools->Page());
    if (client) {
        if (CefRefPtr<CefLifeSpanHandler> h = client->GetLifeSpanHandler()) {
            CefRefPtr<QtBrowser> tools = m_devTools;
            QueueCallback([h, tools] { h->OnAfterCreated(tools.get()); });
        }
    }
}

void QtBrowser::CloseDevTools() {
    if (!m_devTools)
        return;
    if (m_page)
        m_page->setDevToolsPage(nullptr);
    m_devTools->CloseBrowser(true);
    m_devTools = nullptr;
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

// The menu opens without a loop of its own and answers when an item is
// chosen: a modal menu would run inside the engine's task that asked for
// it, and the engine runs no other task (page loads, script calls, network
// replies) until that one returns.
void QtBrowser::ShowContextMenu(const QPoint& globalPos, const QPoint& localPos) {
    if (m_closed || !m_view || !m_client)
        return;
    CefRefPtr<CefContextMenuHandler> handler = m_client->GetContextMenuHandler();
    // The standard menu belongs to the view: when the browser closes while
    // the menu is open, the view takes it along, and it is not ours to
    // delete any more.
    QPointer<QMenu> standard = m_view->createStandardContextMenu();
    CefRefPtr<CefMenuModel> model = CefMenuModel::Create();
    int i = 0;
    for (QAction* a : standard->actions()) {
        if (a->isSeparator()) {
            model->AddSeparator();
        } else {
            model->AddStandardItem(++i, a->text(), a);
        }
    }
    CefRefPtr<CefContextMenuParams> params = new CefContextMenuParams(localPos.x(), localPos.y());
    if (handler)
        handler->OnBeforeContextMenu(this, this, params, model);
    if (model->GetCount() == 0) {
        delete standard.data();
        return;
    }
    auto* menu = new QMenu(m_view);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (const CefMenuModel::Item& item : model->Items()) {
        if (item.commandId == -1 && !item.standardAction) {
            menu->addSeparator();
        } else if (item.standardAction) {
            menu->addAction(static_cast<QAction*>(item.standardAction));
        } else {
            QAction* a = menu->addAction(item.label);
            a->setData(item.commandId);
        }
    }
    CefRefPtr<QtBrowser> self(this);
    QObject::connect(menu, &QMenu::triggered, menu, [self, handler, params](QAction* chosen) {
        if (chosen && !chosen->data().isNull() && handler && !self->m_closed)
            handler->OnContextMenuCommand(self.get(), self.get(), params, chosen->data().toInt(),
                                          0);
    });
    // The standard actions live in the standard menu: it goes with ours.
    QObject::connect(menu, &QObject::destroyed, [standard] { delete standard.data(); });
    menu->popup(globalPos);
}

void QtBrowser::CloseAll() {
    std::vector<CefRefPtr<QtBrowser>> all;
    for (auto& entry : LiveBrowsers())
        all.push_back(entry.second);
    for (auto& b : all)
        b->CloseBrowser(true);
}

void CloseAllBrowsers() {
    BrowserRequests().clear();
    QtBrowser::CloseAll();
    // The views go before the profile of the developer tools.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    delete g_devToolsProfile;
    g_devToolsProfile = nullptr;
}

}  // namespace engine
