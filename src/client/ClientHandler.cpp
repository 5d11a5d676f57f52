#include "client/ClientHandler.h"

#include "browser/PagePopupHost.h"
#include "engine/cef_app.h"
#include "framework/afxwin.h"
#include "packet/Fields.h"
#include "packet/Packet.h"
#include "packet/Vocabulary.h"
#include "shared/Messages.h"
#include "shared/ShellApp.h"

namespace {

// A title that starts with this marker makes its window topmost.
const QString kTopmostMarker = QStringLiteral("TOP|");

// Hands the pointer-to-packet message to the window's queue; the receiver
// deletes the packet. A message that cannot even be queued (no window) takes
// its packet with it.
void PostPacket(HWND h, CPacket* packet) {
    if (!PostMessage(h, WM_APP_PACKET, reinterpret_cast<WPARAM>(packet), SENDER_NO_WINDOW))
        delete packet;
}

}  // namespace

ClientHandler::ClientHandler() = default;
ClientHandler::~ClientHandler() = default;

HWND ClientHandler::HostWindow(CefRefPtr<CefBrowser> browser) {
    CefRefPtr<CefBrowserHost> host = browser->GetHost();
    if (!host)
        return nullptr;
    return browser->IsPopup() ? CPagePopupHost::TopWindow(browser)
                              : GetParent(host->GetWindowHandle());
}

void ClientHandler::PostLoadPacket(CefRefPtr<CefBrowser> browser, CPacket* packet) {
    // A page popup's top-level window belongs to the engine and takes no
    // posted packets, and its host has no use for load events: they go.
    if (browser->IsPopup()) {
        delete packet;
        return;
    }
    PostPacket(HostWindow(browser), packet);
}

// ---------------------------------------------------------------------------
// Load events.

void ClientHandler::OnLoadingStateChange(CefRefPtr<CefBrowser> browser, bool isLoading,
                                         bool canGoBack, bool canGoForward) {
    auto* p = new CPacket(GBN_LOADING_STATE);
    p->AddInt(field::kLoading, isLoading ? 1 : 0);
    p->AddInt(field::kCanGoBack, canGoBack ? 1 : 0);
    p->AddInt(field::kCanGoForward, canGoForward ? 1 : 0);
    PostLoadPacket(browser, p);
}

void ClientHandler::OnLoadStart(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame>) {
    PostLoadPacket(browser, new CPacket(GBN_LOAD_START));
}

void ClientHandler::OnLoadEnd(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame>,
                              int httpStatusCode) {
    auto* p = new CPacket(GBN_LOAD_END);
    p->AddInt(field::kStatusCode, httpStatusCode);
    PostLoadPacket(browser, p);
}

void ClientHandler::OnLoadError(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame>, int errorCode,
                                const CefString& errorText, const CefString& failedUrl) {
    // Added field by field, so a '%' in the text or address stays as it is.
    auto* p = new CPacket(GBN_LOAD_ERROR);
    p->AddInt(field::kStatusCode, errorCode);
    p->AddString(field::kErrorText, errorText);
    p->AddString(field::kUrl, failedUrl);
    PostLoadPacket(browser, p);
}

// ---------------------------------------------------------------------------
// Life span.

bool ClientHandler::OnBeforePopup(CefRefPtr<CefBrowser>, CefRefPtr<CefFrame>,
                                  const CefString& targetUrl, const CefString&,
                                  cef_window_open_disposition_t, bool, const CefPopupFeatures&,
                                  CefWindowInfo&, CefRefPtr<CefClient>& client, CefBrowserSettings&,
                                  bool*) {
    client = this;
    m_popupFrame = targetUrl.contains(QStringLiteral("hdr=1"));
    return false;
}

void ClientHandler::OnAfterCreated(CefRefPtr<CefBrowser> browser) {
    if (browser->IsPopup()) {
        CPagePopupHost(browser).Arrived(m_popupFrame);
        return;
    }
    // The receiver takes its own reference during the call.
    SendMessage(HostWindow(browser), WM_APP_BROWSER_CREATED,
                static_cast<WPARAM>(browser->GetIdentifier()),
                reinterpret_cast<LPARAM>(browser.get()));
}

void ClientHandler::OnBeforeClose(CefRefPtr<CefBrowser>) {
    // No pause follows: the user-interface thread runs every window, and
    // sleeping here would freeze all of them whenever any browser closes.
    CefQuitMessageLoop();
}

// ---------------------------------------------------------------------------
// Context menu.

void ClientHandler::OnBeforeContextMenu(CefRefPtr<CefBrowser>, CefRefPtr<CefFrame>,
                                        CefRefPtr<CefContextMenuParams>,
                                        CefRefPtr<CefMenuModel> model) {
    if (ShellApp().m_devShow != 0) {
        model->AddItem(kShowDevToolsCommand, QStringLiteral("SHOW DEV TOOL"));
        model->AddItem(kCloseDevToolsCommand, QStringLiteral("CLOSE DEV TOOLS"));
    } else {
        // An empty model shows no menu at all.
        model->Clear();
    }
}

bool ClientHandler::OnContextMenuCommand(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame>,
                                         CefRefPtr<CefContextMenuParams>, int commandId, int) {
    CefRefPtr<CefBrowserHost> host = browser->GetHost();
    if (!host)
        return false;
    if (commandId == kShowDevToolsCommand) {
        CefWindowInfo info;
        info.SetAsPopup(host->GetWindowHandle(), QStringLiteral("DevTools"));
        host->ShowDevTools(info, host->GetClient(), CefBrowserSettings(), CefPoint{0, 0});
    } else if (commandId == kCloseDevToolsCommand) {
        host->CloseDevTools();
    }
    return false;
}

// ---------------------------------------------------------------------------
// Titles.

void ClientHandler::OnTitleChange(CefRefPtr<CefBrowser> browser, const CefString& title) {
    // Every title decides the topmost state of its window.
    HWND h = HostWindow(browser);
    if (title.startsWith(kTopmostMarker)) {
        SetWindowTextW(h, title.mid(kTopmostMarker.size()));
        SetWindowPos(h, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    } else {
        SetWindowTextW(h, title);
        SetWindowPos(h, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    }
}

// ---------------------------------------------------------------------------
// Page packets.

namespace {

// The sending frame's address and that of the top frame of its page, and
// what the engine recorded of the documents behind the call.
PacketSource SourceOf(CefRefPtr<CefFrame> frame) {
    PacketSource source;
    if (!frame)
        return source;
    source.frameUrl = frame->GetURL();
    CefRefPtr<CefFrame> top = frame;
    while (CefRefPtr<CefFrame> parent = top->GetParent())
        top = parent;
    source.pageUrl = top->GetURL();
    const CefDocumentRecord record = frame->GetDocumentRecord();
    source.documents = record.documents;
    source.insecure = record.insecure;
    return source;
}

}  // namespace

bool ClientHandler::OnProcessMessageReceived(CefRefPtr<CefBrowser> browser,
                                             CefRefPtr<CefFrame> frame, CefProcessId,
                                             CefRefPtr<CefProcessMessage> message) {
    if (message->GetName() != QLatin1String("jsPacket"))
        return true;
    const QString text = message->GetArgumentList()->GetValue(0)->GetString();
    PacketSource source = SourceOf(frame);
    source.window = GetAncestor(HostWindow(browser), GA_ROOT);
    if (!browser->IsPopup()) {
        // Our own window acts on the packet.
        auto* packet = new CPacket(text);
        packet->SetSource(source);
        PostPacket(HostWindow(browser), packet);
        return true;
    }
    CPacket packet(text);
    packet.SetSource(source);
    CPagePopupHost(browser).Deliver(packet);
    return true;
}
