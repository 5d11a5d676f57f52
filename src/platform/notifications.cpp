#include "platform/notifications.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QGuiApplication>
#include <QStringList>
#include <QVariantMap>
#include <map>

namespace platform {

namespace {
const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
}  // namespace

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

bool DesktopNotifications::Notify(const CString& title, const CString& text,
                                  std::function<void()> clicked) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    Listen(bus);
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    const QString entry = QGuiApplication::desktopFileName();
    const QString summary = title.isEmpty() ? QGuiApplication::applicationDisplayName() : title;
    QVariantMap hints;
    if (!entry.isEmpty())
        hints.insert(QStringLiteral("desktop-entry"), entry);
    QStringList actions;
    if (clicked) {
        // The label is what services that show the default action as a
        // button write on it.
        actions << QStringLiteral("default") << QStringLiteral("열기");
    }
    call << QGuiApplication::applicationDisplayName() << 0u << entry << summary << text << actions
         << hints << -1;
    if (!clicked)
        return bus.send(call);
    auto* answer = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(answer, &QDBusPendingCallWatcher::finished, this,
            [this, clicked = std::move(clicked)](QDBusPendingCallWatcher* watcher) {
                const QDBusPendingReply<uint> reply = *watcher;
                if (reply.isValid())
                    Remember(reply.value(), clicked);
                watcher->deleteLater();
            });
    return true;
}

void DesktopNotifications::ActionInvoked(uint id, const QString& action) {
    auto it = m_clicked.find(id);
    if (it == m_clicked.end() || action != QLatin1String("default"))
        return;
    const std::function<void()> clicked = std::move(it->second);
    m_clicked.erase(it);
    clicked();
}

void DesktopNotifications::NotificationClosed(uint id, uint) {
    m_clicked.erase(id);
}

// Only the owner of the service's name is listened to.
void DesktopNotifications::Listen(QDBusConnection& bus) {
    if (m_listening)
        return;
    m_listening = true;
    bus.connect(kService, kPath, kService, QStringLiteral("ActionInvoked"), this,
                SLOT(ActionInvoked(uint, QString)));
    bus.connect(kService, kPath, kService, QStringLiteral("NotificationClosed"), this,
                SLOT(NotificationClosed(uint, uint)));
}

// Services that never tell of closed notifications do not make the waiting
// clicks grow without end: the oldest (lowest id) go first.
void DesktopNotifications::Remember(uint id, const std::function<void()>& clicked) {
    constexpr size_t kMostWaiting = 64;
    m_clicked[id] = clicked;
    while (m_clicked.size() > kMostWaiting)
        m_clicked.erase(m_clicked.begin());
}

NotificationPort& RealNotifications() {
    static auto* notifications = new DesktopNotifications();
    return *notifications;
}

}  // namespace platform

#include "notifications.moc"
