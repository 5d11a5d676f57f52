#include "client/ClientHandler.h"

#include "browser/WindowCommands.h"
#include "engine/cef_app.h"
#include "framework/afxwin.h"
#include "packet/Fields.h"
#include "packet/Packet.h"
#include "packet/Vocabulary.h"
#include "shared/Forwarding.h"
#include "shared/Messages.h"
#include "shared/ShellApp.h"

namespace {

// Re-applies a window's changed frame styles without moving, sizing or
// re-ordering it.
constexpr UINT kFrameChangedOnly =
    SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED | SWP_NOOWNERZORDER;
static_assert(kFrameChangedOnly == 0x227);

// A title that starts with this marker makes its window topmost.
const QString kTopmostMarker = QStringLiteral("TOP|");

void RemoveWindowStyle(HWND h, int index, DWORD remove) {
    SetWindowLongW(h, index,
                   static_cast<LONG>(static_cast<DWORD>(GetWindowLongW(h, index)) & ~remove));
}

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
    HWND w = host->GetWindowHandle();
    return browser->IsPopup() ? GetAncestor(w, GA_ROOT) : GetParent(w);
}

void ClientHandler::PostLoadPacket(CefRefPtr<CefBrowser> browser, CPacket* packet) {
    // A page popup's top-level window belongs to the engine: nothing there
    // reads packets or would delete them, so its load events are dropped.
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
    HWND host = HostWindow(browser);
    if (!browser->IsPopup()) {
        // The receiver takes its own reference during the call.
        SendMessage(host, WM_APP_BROWSER_CREATED, static_cast<WPARAM>(browser->GetIdentifier()),
                    reinterpret_cast<LPARAM>(browser.get()));
        return;
    }
    if (m_popupFrame)
        return;
    // A frameless page popup: the application's icon, no caption, no sizing
    // frame, no modal frame.
    HICON icon = LoadIconW(nullptr, IDI_APPLICATION_ICON);
    SendMessage(host, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessage(host, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    RemoveWindowStyle(host, GWL_STYLE, WS_CAPTION | WS_THICKFRAME);
    RemoveWindowStyle(host, GWL_EXSTYLE, WS_EX_DLGMODALFRAME);
    SetWindowPos(host, nullptr, 0, 0, 0, 0, kFrameChangedOnly);
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
    HandlePopupPacket(browser, packet);
    return true;
}

void ClientHandler::HandlePopupPacket(CefRefPtr<CefBrowser> browser, CPacket& packet) {
    if (PacketKind(packet) != GBN_COMMAND) {
        ForwardToMainWindow(packet, SENDER_OTHER_KIND);
        return;
    }
    HWND r = HostWindow(browser);
    switch (PacketCommand(packet)) {
        case CMD_HIDE_OR_CLOSE:
            PostMessage(r, WM_CLOSE, 0, 0);
            break;
        case CMD_LAUNCH_PROGRAM:
        case CMD_SET_OPACITY:
        case CMD_CLOSE_SAVED_CHATS:
            // Not for a page popup: dropped.
            break;
        case CMD_OPEN_POPUP_WINDOW:
            // A page popup takes this as giving up its sizing frame; a resize
            // command gives it back.
            RemoveWindowStyle(r, GWL_STYLE, WS_THICKFRAME);
            SetWindowPos(r, nullptr, 0, 0, 0, 0, kFrameChangedOnly);
            break;
        default:
            if (!RunWindowCommand(kPagePopupCommands, r, browser, packet))
                ForwardToMainWindow(packet, SENDER_NO_WINDOW);
            break;
    }
}
