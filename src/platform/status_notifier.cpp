// An icon as a StatusNotifierItem of its own on the session bus, with its
// menu exported over com.canonical.dbusmenu (dbusmenu.cpp): what hosts of
// that protocol (KDE Plasma, GNOME's AppIndicator extension, Xfce's status
// notifier plugin) draw and show.
#include "platform/status_notifier.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QMouseEvent>
#include <QSystemTrayIcon>
#include <QWidget>
#include <QtEndian>
#include <map>
#include <memory>

#include "framework/afxwin.h"
#include "platform/dbusmenu.h"

// --- D-Bus types of the item -------------------------------------------------

namespace traybus {

// One size of an icon: width, height and ARGB32 pixels in network byte order.
struct IconPixmap {
    int width = 0;
    int height = 0;
    QByteArray argb;
};
using IconPixmaps = QList<IconPixmap>;

struct ToolTip {
    QString iconName;
    IconPixmaps pixmaps;
    QString title;
    QString text;
};

// The readers return the argument by value, not the reference they were
// given: a reference to a temporary argument would outlive it
// (`const QDBusArgument& a = QDBusArgument(...) >> p;`). A copy shares the
// argument's reading position, so a chain of reads goes on where the last
// one ended.
QDBusArgument& operator<<(QDBusArgument& arg, const IconPixmap& p) {
    arg.beginStructure();
    arg << p.width << p.height << p.argb;
    arg.endStructure();
    return arg;
}
QDBusArgument operator>>(const QDBusArgument& arg, IconPixmap& p) {
    arg.beginStructure();
    arg >> p.width >> p.height >> p.argb;
    arg.endStructure();
    return arg;
}

QDBusArgument& operator<<(QDBusArgument& arg, const ToolTip& t) {
    arg.beginStructure();
    arg << t.iconName << t.pixmaps << t.title << t.text;
    arg.endStructure();
    return arg;
}
QDBusArgument operator>>(const QDBusArgument& arg, ToolTip& t) {
    arg.beginStructure();
    arg >> t.iconName >> t.pixmaps >> t.title >> t.text;
    arg.endStructure();
    return arg;
}

}  // namespace traybus

Q_DECLARE_METATYPE(traybus::IconPixmap)
Q_DECLARE_METATYPE(traybus::ToolTip)

namespace {

using traybus::IconPixmap;
using traybus::IconPixmaps;
using traybus::ToolTip;

const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kWatcherPath = QStringLiteral("/StatusNotifierWatcher");
const QString kItemPath = QStringLiteral("/StatusNotifierItem");
const QString kItemInterface = QStringLiteral("org.kde.StatusNotifierItem");

void RegisterBusTypes() {
    static const bool registered = [] {
        qDBusRegisterMetaType<IconPixmap>();
        qDBusRegisterMetaType<IconPixmaps>();
        qDBusRegisterMetaType<ToolTip>();
        return true;
    }();
    (void)registered;
}

// The icon at the sizes hosts draw, as the protocol carries pixels.
IconPixmaps PixmapsOf(const QIcon& icon) {
    IconPixmaps out;
    for (const int size : {16, 22, 24, 32, 48, 64}) {
        QImage image = icon.pixmap(size, size).toImage().convertToFormat(QImage::Format_ARGB32);
        if (image.isNull())
            continue;
        IconPixmap p{image.width(), image.height(), {}};
        p.argb.resize(static_cast<qsizetype>(image.width()) * image.height() * 4);
        auto* to = reinterpret_cast<quint32*>(p.argb.data());
        for (int y = 0; y < image.height(); ++y) {
            const auto* from = reinterpret_cast<const quint32*>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x)
                *to++ = qToBigEndian(from[x]);
        }
        out.append(p);
    }
    return out;
}

using Callback = platform::TrayCallback;
using platform::AnswerProperties;
using platform::ExportedMenu;
using platform::MenuPlaces;

// One icon as a StatusNotifierItem on a bus connection of its own, at
// /StatusNotifierItem with its menu at /MenuBar, registered with the host's
// watcher now and whenever the watcher's owner changes (the host restarted).
class StatusNotifierItem final : public QDBusVirtualObject, public platform::StatusNotifierIcon {
public:
    static std::unique_ptr<platform::StatusNotifierIcon> Make(const Callback& callback,
                                                              MenuPlaces& places) {
        static int count = 0;
        const QString name = QStringLiteral("velk-tray-%1").arg(++count);
        QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
        if (!bus.isConnected() || !bus.interface() ||
            !bus.interface()->isServiceRegistered(kWatcherService)) {
            QDBusConnection::disconnectFromBus(name);
            return nullptr;
        }
        RegisterBusTypes();
        return std::unique_ptr<platform::StatusNotifierIcon>(
            new StatusNotifierItem(callback, places, name, bus));
    }

    ~StatusNotifierItem() override {
        m_bus.unregisterObject(ExportedMenu::Path());
        m_bus.unregisterObject(kItemPath);
        QDBusConnection::disconnectFromBus(m_name);
    }
    StatusNotifierItem(const StatusNotifierItem&) = delete;
    StatusNotifierItem& operator=(const StatusNotifierItem&) = delete;

    void SetCallback(UINT message) override { m_callback.message = message; }
    void SetTip(const QString& tip) override {
        m_tip = tip;
        Announce(QStringLiteral("NewTitle"));
        Announce(QStringLiteral("NewToolTip"));
    }
    void SetIcon(const QIcon& icon) override {
        m_pixmaps = PixmapsOf(icon);
        Announce(QStringLiteral("NewIcon"));
    }
    void SetMenu(const std::vector<MenuItemTemplate>& items) override { m_menu.SetItems(items); }

    QString introspect(const QString&) const override {
        return QStringLiteral(
            "<interface name=\"org.kde.StatusNotifierItem\">"
            "<property name=\"Category\" type=\"s\" access=\"read\"/>"
            "<property name=\"Id\" type=\"s\" access=\"read\"/>"
            "<property name=\"Title\" type=\"s\" access=\"read\"/>"
            "<property name=\"Status\" type=\"s\" access=\"read\"/>"
            "<property name=\"WindowId\" type=\"i\" access=\"read\"/>"
            "<property name=\"IconName\" type=\"s\" access=\"read\"/>"
            "<property name=\"IconPixmap\" type=\"a(iiay)\" access=\"read\"/>"
            "<property name=\"OverlayIconName\" type=\"s\" access=\"read\"/>"
            "<property name=\"OverlayIconPixmap\" type=\"a(iiay)\" access=\"read\"/>"
            "<property name=\"AttentionIconName\" type=\"s\" access=\"read\"/>"
            "<property name=\"AttentionIconPixmap\" type=\"a(iiay)\" access=\"read\"/>"
            "<property name=\"AttentionMovieName\" type=\"s\" access=\"read\"/>"
            "<property name=\"ToolTip\" type=\"(sa(iiay)ss)\" access=\"read\"/>"
            "<property name=\"ItemIsMenu\" type=\"b\" access=\"read\"/>"
            "<property name=\"Menu\" type=\"o\" access=\"read\"/>"
            "<method name=\"ContextMenu\"><arg type=\"i\" direction=\"in\"/>"
            "<arg type=\"i\" direction=\"in\"/></method>"
            "<method name=\"Activate\"><arg type=\"i\" direction=\"in\"/>"
            "<arg type=\"i\" direction=\"in\"/></method>"
            "<method name=\"SecondaryActivate\"><arg type=\"i\" direction=\"in\"/>"
            "<arg type=\"i\" direction=\"in\"/></method>"
            "<method name=\"Scroll\"><arg type=\"i\" direction=\"in\"/>"
            "<arg type=\"s\" direction=\"in\"/></method>"
            "<signal name=\"NewTitle\"/><signal name=\"NewIcon\"/>"
            "<signal name=\"NewAttentionIcon\"/><signal name=\"NewOverlayIcon\"/>"
            "<signal name=\"NewToolTip\"/><signal name=\"NewStatus\"><arg type=\"s\"/></signal>"
            "</interface>");
    }

    bool handleMessage(const QDBusMessage& call, const QDBusConnection& bus) override {
        if (call.interface() == platform::kBusProperties)
            return AnswerProperties(call, bus, kItemInterface, Properties());
        const QString member = call.member();
        const bool point = call.signature() == QLatin1String("ii");
        if (member == QLatin1String("Activate") && point) {
            // What a left click on an embedded icon does.
            m_callback.Post(WM_LBUTTONDOWN);
        } else if (member == QLatin1String("ContextMenu") && point) {
            // A host that shows no exported menu asks for the owner's, at the
            // place it gives.
            const QVariantList args = call.arguments();
            m_places[m_callback.owner] = POINT{args[0].toInt(), args[1].toInt()};
            m_callback.Post(WM_RBUTTONUP);
        } else if ((member == QLatin1String("SecondaryActivate") && point) ||
                   (member == QLatin1String("Scroll") && call.signature() == QLatin1String("is"))) {
            // Nothing: the owner acts on the left click and the menu only.
        } else {
            return false;
        }
        bus.send(call.createReply());
        return true;
    }

private:
    StatusNotifierItem(const Callback& callback, MenuPlaces& places, QString name,
                       const QDBusConnection& bus)
        : m_callback(callback),
          m_places(places),
          m_name(std::move(name)),
          m_bus(bus),
          m_menu(callback.owner, bus),
          m_watcher(kWatcherService, m_bus, QDBusServiceWatcher::WatchForOwnerChange) {
        m_bus.registerVirtualObject(kItemPath, this);
        m_bus.registerVirtualObject(ExportedMenu::Path(), &m_menu);
        QObject::connect(&m_watcher, &QDBusServiceWatcher::serviceOwnerChanged,
                         [this](const QString&, const QString&, const QString& owner) {
                             if (!owner.isEmpty())
                                 RegisterWithWatcher();
                         });
        RegisterWithWatcher();
    }

    // The watcher learns of the item by the connection's unique name; the
    // answer is not waited for.
    void RegisterWithWatcher() {
        QDBusMessage call =
            QDBusMessage::createMethodCall(kWatcherService, kWatcherPath, kWatcherService,
                                           QStringLiteral("RegisterStatusNotifierItem"));
        call << m_bus.baseService();
        m_bus.send(call);
    }

    void Announce(const QString& signal) {
        m_bus.send(QDBusMessage::createSignal(kItemPath, kItemInterface, signal));
    }

    QVariantMap Properties() const {
        QVariantMap all;
        all.insert(QStringLiteral("Category"), QStringLiteral("ApplicationStatus"));
        all.insert(QStringLiteral("Id"), QCoreApplication::applicationName());
        all.insert(QStringLiteral("Title"), m_tip);
        all.insert(QStringLiteral("Status"), QStringLiteral("Active"));
        all.insert(QStringLiteral("WindowId"), 0);
        all.insert(QStringLiteral("IconName"), QString());
        all.insert(QStringLiteral("IconPixmap"), QVariant::fromValue(m_pixmaps));
        all.insert(QStringLiteral("OverlayIconName"), QString());
        all.insert(QStringLiteral("OverlayIconPixmap"), QVariant::fromValue(IconPixmaps()));
        all.insert(QStringLiteral("AttentionIconName"), QString());
        all.insert(QStringLiteral("AttentionIconPixmap"), QVariant::fromValue(IconPixmaps()));
        all.insert(QStringLiteral("AttentionMovieName"), QString());
        all.insert(QStringLiteral("ToolTip"), QVariant::fromValue(ToolTip{{}, {}, m_tip, {}}));
        all.insert(QStringLiteral("ItemIsMenu"), false);
        all.insert(QStringLiteral("Menu"),
                   QVariant::fromValue(QDBusObjectPath(ExportedMenu::Path())));
        return all;
    }

    Callback m_callback;
    MenuPlaces& m_places;
    QString m_name;
    QDBusConnection m_bus;
    ExportedMenu m_menu;
    QDBusServiceWatcher m_watcher;
    QString m_tip;
    IconPixmaps m_pixmaps;
};

}  // namespace

namespace platform {

void TrayCallback::Post(UINT mouse) const {
    if (message)
        PostMessage(owner, message, id, mouse);
}

std::unique_ptr<StatusNotifierIcon> StatusNotifierIcon::Create(const TrayCallback& callback,
                                                               MenuPlaces& places) {
    return StatusNotifierItem::Make(callback, places);
}

}  // namespace platform
