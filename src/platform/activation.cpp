#include "platform/activation.h"

#include <xcb/xcb.h>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <cstring>

#include "framework/afxwin.h"

namespace {

QByteArray& KeptStartupId() {
    static QByteArray id;
    return id;
}
QByteArray& KeptActivationToken() {
    static QByteArray token;
    return token;
}
bool g_ownIdTaken = false;

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    if (!reply)
        return XCB_ATOM_NONE;
    const xcb_atom_t atom = reply->atom;
    std::free(reply);
    return atom;
}

// The X11 window of a framework window's top-level peer, when it is shown.
xcb_window_t ShownNativeWindow(HWND h) {
    CWnd* w = CWnd::FromHandle(h);
    QWidget* peer = w ? w->GetPeer() : nullptr;
    if (!peer)
        return XCB_WINDOW_NONE;
    QWidget* top = peer->window();
    if (!top->isVisible() || !top->windowHandle())
        return XCB_WINDOW_NONE;
    return static_cast<xcb_window_t>(top->winId());
}

// The message goes out in pieces of 20 bytes, the first as
// _NET_STARTUP_INFO_BEGIN, the others as _NET_STARTUP_INFO; it ends with its
// terminating null, which the last piece holds.
void SendStartupMessage(xcb_connection_t* c, xcb_window_t root, const QByteArray& message) {
    const xcb_atom_t begin = Atom(c, "_NET_STARTUP_INFO_BEGIN");
    const xcb_atom_t more = Atom(c, "_NET_STARTUP_INFO");
    if (begin == XCB_ATOM_NONE || more == XCB_ATOM_NONE)
        return;
    const qsizetype length = message.size() + 1;
    for (qsizetype sent = 0; sent < length; sent += 20) {
        xcb_client_message_event_t ev{};
        ev.response_type = XCB_CLIENT_MESSAGE;
        ev.format = 8;
        ev.window = root;
        ev.type = sent == 0 ? begin : more;
        const qsizetype n = std::min<qsizetype>(20, message.size() - sent);
        if (n > 0)
            std::memcpy(ev.data.data8, message.constData() + sent, static_cast<size_t>(n));
        xcb_send_event(c, 0, root, XCB_EVENT_MASK_PROPERTY_CHANGE,
                       reinterpret_cast<const char*>(&ev));
    }
}

class X11Activation final : public platform::ActivationPort {
public:
    void CompleteStartup(HWND window, const QByteArray& startupId) override {
        auto* x11 =
            qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
        xcb_connection_t* c = x11 ? x11->connection() : nullptr;
        if (!c)
            return;
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
        if (const xcb_window_t w = ShownNativeWindow(window)) {
            // The window belongs to the start: window managers take the
            // start's time (and workspace) from it.
            const xcb_atom_t idAtom = Atom(c, "_NET_STARTUP_ID");
            const xcb_atom_t utf8 = Atom(c, "UTF8_STRING");
            if (idAtom != XCB_ATOM_NONE && utf8 != XCB_ATOM_NONE)
                xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, idAtom, utf8, 8,
                                    static_cast<uint32_t>(startupId.size()), startupId.constData());
            // Asked as an application (source 1) with the time of the
            // user's action, which focus-stealing prevention weighs.
            const quint32 time = platform::StartupIdTimestamp(startupId);
            const xcb_atom_t active = Atom(c, "_NET_ACTIVE_WINDOW");
            if (time != 0 && active != XCB_ATOM_NONE) {
                xcb_client_message_event_t ev{};
                ev.response_type = XCB_CLIENT_MESSAGE;
                ev.format = 32;
                ev.window = w;
                ev.type = active;
                ev.data.data32[0] = 1;
                ev.data.data32[1] = time;
                xcb_send_event(
                    c, 0, root,
                    XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                    reinterpret_cast<const char*>(&ev));
            }
        }
        SendStartupMessage(c, root, platform::StartupRemoveMessage(startupId));
        xcb_flush(c);
    }
};

}  // namespace

namespace platform {

void KeepStartupIdentity() {
    KeptStartupId() = qgetenv("DESKTOP_STARTUP_ID");
    KeptActivationToken() = qgetenv("XDG_ACTIVATION_TOKEN");
    g_ownIdTaken = false;
}

QByteArray OwnStartupId() {
    return KeptStartupId();
}

QByteArray OwnActivationToken() {
    return KeptActivationToken();
}

bool IsUsableStartupId(const QByteArray& id) {
    if (id.isEmpty() || id.size() > kMaxStartupId)
        return false;
    return std::all_of(id.begin(), id.end(), [](char c) { return c >= ' ' && c <= '~'; });
}

quint32 StartupIdTimestamp(const QByteArray& id) {
    const qsizetype mark = id.lastIndexOf("_TIME");
    if (mark < 0)
        return 0;
    const QByteArray digits = id.mid(mark + 5);
    if (digits.isEmpty() || digits.size() > 10 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return 0;
    const qulonglong value = digits.toULongLong();
    return value <= 0xFFFFFFFFULL ? static_cast<quint32>(value) : 0;
}

QByteArray StartupRemoveMessage(const QByteArray& id) {
    QByteArray message("remove: ID=");
    if (!id.contains(' ') && !id.contains('"') && !id.contains('\\'))
        return message + id;
    message += '"';
    for (const char c : id) {
        if (c == '"' || c == '\\')
            message += '\\';
        message += c;
    }
    return message + '"';
}

ActivationPort& RealActivation() {
    static auto* port = new X11Activation();
    return *port;
}

}  // namespace platform

void CompleteStartup(HWND window, const CString& startupId) {
    const QByteArray id = startupId.toUtf8();
    if (!platform::IsUsableStartupId(id))
        return;
    platform::ActivationInUse().CompleteStartup(window, id);
}

CString TakeOwnStartupId() {
    if (g_ownIdTaken)
        return {};
    g_ownIdTaken = true;
    return QString::fromUtf8(platform::OwnStartupId());
}
