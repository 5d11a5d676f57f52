// The desktop's notification service (org.freedesktop.Notifications on the
// session bus), the real notification port. Inside this layer only.
#pragma once

#include <QObject>
#include <functional>
#include <map>

#include "platform/ports.h"

class QDBusConnection;

namespace platform {

// The call is not waited for: a slow service never holds up the windows. A
// notification that something should follow a click on carries the default
// action; the service's ActionInvoked for the id it answered with runs it
// once.
class DesktopNotifications final : public QObject, public NotificationPort {
    Q_OBJECT

public:
    bool Notify(const CString& title, const CString& text, std::function<void()> clicked) override;

private Q_SLOTS:
    void ActionInvoked(uint id, const QString& action);
    void NotificationClosed(uint id, uint reason);

private:
    void Listen(QDBusConnection& bus);
    void Remember(uint id, const std::function<void()>& clicked);

    bool m_listening = false;
    std::map<uint, std::function<void()>> m_clicked;
};

}  // namespace platform
