// A desktop's tray and notification services for the end-to-end tests, on
// the session bus of DBUS_SESSION_BUS_ADDRESS. Each argument names one to
// run:
//   watcher        owns org.kde.StatusNotifierWatcher, as a StatusNotifierItem
//                  host does, and writes "ITEM <service>" for each item that
//                  registers with it
//   notifications  owns org.freedesktop.Notifications, writes
//                  "NOTIFY <[app, summary, body, actions] as JSON>" for each
//                  Notify, answers with a new id and then, as if the user had
//                  clicked the notification, sends ActionInvoked(id, "default")
//                  when the actions offer it
// "READY" follows once every name is owned.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTimer>
#include <cstdio>

namespace {

void Emit(const QByteArray& line) {
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

class Watcher final : public QDBusVirtualObject {
public:
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& call, const QDBusConnection& bus) override {
        const QString iface = QStringLiteral("org.kde.StatusNotifierWatcher");
        if (call.member() == QLatin1String("RegisterStatusNotifierItem")) {
            QString service = call.arguments().value(0).toString();
            if (service.startsWith(u'/'))
                service = call.service() + service;
            m_items << service;
            Emit("ITEM " + service.toUtf8());
            bus.send(call.createReply());
            QDBusMessage registered =
                QDBusMessage::createSignal(QStringLiteral("/StatusNotifierWatcher"), iface,
                                           QStringLiteral("StatusNotifierItemRegistered"));
            registered << service;
            bus.send(registered);
        } else if (call.member() == QLatin1String("RegisterStatusNotifierHost")) {
            bus.send(call.createReply());
        } else if (call.member() == QLatin1String("Get") ||
                   call.member() == QLatin1String("GetAll")) {
            QVariantMap all{{QStringLiteral("IsStatusNotifierHostRegistered"), true},
                            {QStringLiteral("ProtocolVersion"), 0},
                            {QStringLiteral("RegisteredStatusNotifierItems"), m_items}};
            if (call.member() == QLatin1String("GetAll")) {
                bus.send(call.createReply(QVariant::fromValue(all)));
            } else {
                const QVariant value = all.value(call.arguments().value(1).toString());
                bus.send(call.createReply(QVariant::fromValue(QDBusVariant(value))));
            }
        } else {
            return false;
        }
        return true;
    }

private:
    QStringList m_items;
};

class Notifications final : public QDBusVirtualObject {
public:
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& call, const QDBusConnection& bus) override {
        const QVariantList args = call.arguments();
        if (call.member() == QLatin1String("Notify") && args.size() == 8) {
            const uint id = ++m_last;
            const QStringList actions = args[5].toStringList();
            QJsonArray seen{args[0].toString(), args[3].toString(), args[4].toString(),
                            QJsonArray::fromStringList(actions)};
            Emit("NOTIFY " + QJsonDocument(seen).toJson(QJsonDocument::Compact));
            bus.send(call.createReply(id));
            if (actions.contains(QStringLiteral("default"))) {
                QDBusMessage clicked =
                    QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/Notifications"),
                                               QStringLiteral("org.freedesktop.Notifications"),
                                               QStringLiteral("ActionInvoked"));
                clicked << id << QStringLiteral("default");
                bus.send(clicked);
            }
        } else if (call.member() == QLatin1String("GetCapabilities")) {
            bus.send(
                call.createReply(QStringList{QStringLiteral("actions"), QStringLiteral("body")}));
        } else if (call.member() == QLatin1String("GetServerInformation")) {
            bus.send(call.createReply({QStringLiteral("tray_host"), QStringLiteral("velk"),
                                       QStringLiteral("1"), QStringLiteral("1.2")}));
        } else if (call.member() == QLatin1String("CloseNotification")) {
            bus.send(call.createReply());
        } else {
            return false;
        }
        return true;
    }

private:
    uint m_last = 0;
};

bool Own(QDBusConnection& bus, const QString& name, const QString& path,
         QDBusVirtualObject* object) {
    if (!bus.registerVirtualObject(path, object))
        return false;
    const auto reply =
        bus.interface()->registerService(name, QDBusConnectionInterface::DontQueueService,
                                         QDBusConnectionInterface::DontAllowReplacement);
    return reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        std::fprintf(stderr, "tray_host: no session bus\n");
        return 1;
    }
    Watcher watcher;
    Notifications notifications;
    const QStringList wanted = app.arguments().mid(1);
    for (const QString& what : wanted) {
        bool owned = false;
        if (what == QLatin1String("watcher")) {
            owned = Own(bus, QStringLiteral("org.kde.StatusNotifierWatcher"),
                        QStringLiteral("/StatusNotifierWatcher"), &watcher);
        } else if (what == QLatin1String("notifications")) {
            owned = Own(bus, QStringLiteral("org.freedesktop.Notifications"),
                        QStringLiteral("/org/freedesktop/Notifications"), &notifications);
        }
        if (!owned) {
            std::fprintf(stderr, "tray_host: cannot run %s\n", qPrintable(what));
            return 1;
        }
    }
    Emit("READY");
    return QCoreApplication::exec();
}
