// The desktop's notification service (org.freedesktop.Notifications on the
// session bus). The system reaches it through Shell_NotifyIconW (tray.h):
// a balloon where the desktop has no notification area, and every balloon
// of an icon that a StatusNotifierItem host draws.
//
// Threading: user-interface thread.
#pragma once

#include <functional>

#include "framework/afxtypes.h"

namespace platform {

// Shows `text` under `title` with the application's name and icon, without
// waiting for the service. `clicked` (may be empty) runs on the
// user-interface thread when the user clicks the notification. False when
// there is no service to take it.
class NotificationPort {
public:
    virtual ~NotificationPort() = default;
    virtual bool Notify(const CString& title, const CString& text,
                        std::function<void()> clicked) = 0;
};

// The real port: the service on the session bus.
NotificationPort& RealNotifications();
// The port in use (installed by ports.h).
NotificationPort& NotificationsInUse();

}  // namespace platform
