// Activation by the desktop's launchers. A launcher (a menu, a dock,
// xdg-open) gives the program it starts a startup id (DESKTOP_STARTUP_ID,
// X11) or an activation token (XDG_ACTIVATION_TOKEN, Wayland) and shows a
// busy cursor until the program says that the start is complete. The id
// also carries the time of the user's action that started the program,
// which desktops with focus-stealing prevention want before they let a
// window come to the front.
//
// The toolkit's X11 connection takes DESKTOP_STARTUP_ID out of the
// environment when the application object is made, so the program keeps
// both before that. A later start hands its id to the running instance,
// which completes that start's sequence for it.
//
// Threading: user-interface thread.
#pragma once

#include <QByteArray>

#include "framework/afxtypes.h"

namespace platform {

// Keeps this start's startup id and activation token from the environment.
// Called by the process's set-up (setup.h) first thing, before the toolkit
// starts.
void KeepStartupIdentity();
// This start's startup id and activation token as the launcher gave them
// (empty when there was none).
QByteArray OwnStartupId();
QByteArray OwnActivationToken();

// The longest startup id that is used.
constexpr qsizetype kMaxStartupId = 512;
// Whether `id` may be used: 1 to kMaxStartupId characters, each printable
// ASCII (space to '~'). Anything else came from no launcher and is not
// sent on.
bool IsUsableStartupId(const QByteArray& id);
// The time of the user's action that the id carries ("_TIME" followed by
// the decimal X server time at its end), or 0 when it carries none.
quint32 StartupIdTimestamp(const QByteArray& id);
// The startup-notification message that ends the sequence of `id`:
// "remove: ID=<id>", the id quoted (with '"' and '\' escaped) when it holds
// a space, a quotation mark or a backslash.
QByteArray StartupRemoveMessage(const QByteArray& id);

// Ends a launcher's startup sequence and brings a window forward with the
// time of the user's action that started it.
class ActivationPort {
public:
    virtual ~ActivationPort() = default;
    // `startupId` is usable (IsUsableStartupId). `window` is the window
    // that the start opened or brought back; a window that is not shown
    // (or none) is not activated, but the sequence still ends.
    virtual void CompleteStartup(HWND window, const QByteArray& startupId) = 0;
};

// The real port: on X11 (XWayland included) the "remove:" message to the
// root window and the window's activation with the id's time. Elsewhere
// (a native Wayland session, where XDG_ACTIVATION_TOKEN serves, or no
// window system) it does nothing.
ActivationPort& RealActivation();
// The port in use (installed by ports.h).
ActivationPort& ActivationInUse();

}  // namespace platform

// The launcher's startup sequence `startupId` ends, and `window` (when
// shown) comes forward with the time of the user's action. An empty or
// unusable id does nothing.
void CompleteStartup(HWND window, const CString& startupId);
// This start's own startup id the first time it is asked for, then empty:
// the sequence of a start is completed once.
CString TakeOwnStartupId();
