// An icon as a StatusNotifierItem of its own on the session bus, with its
// menu exported over com.canonical.dbusmenu: what hosts of that protocol
// (KDE Plasma, GNOME's AppIndicator extension, Xfce's status notifier
// plugin) draw and show.
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
#include "platform/status_notifier.h"

// --- D-Bus types of the two protocols ---------------------------------------

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

// A menu item with its properties and, for the root, its children.
struct MenuLayout {
    int id = 0;
    QVariantMap properties;
    QList<MenuLayout> children;
};

struct MenuItemProperties {
    int id = 0;
    QVariantMap properties;
};
using MenuItemPropertiesList = QList<MenuItemProperties>;

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

QDBusArgument& operator<<(QDBusArgument& arg, const MenuLayout& m) {
    arg.beginStructure();
    arg << m.id << m.properties;
    arg.beginArray(qMetaTypeId<QDBusVariant>());
    for (const MenuLayout& child : m.children)
        arg << QDBusVariant(QVariant::fromValue(child));
    arg.endArray();
    arg.endStructure();
    return arg;
}
QDBusArgument operator>>(const QDBusArgument& arg, MenuLayout& m) {
    arg.beginStructure();
    arg >> m.id >> m.properties;
    arg.beginArray();
    m.children.clear();
    while (!arg.atEnd()) {
        QDBusVariant child;
        arg >> child;
        m.children.append(qdbus_cast<MenuLayout>(child.variant()));
    }
    arg.endArray();
    arg.endStructure();
    return arg;
}

QDBusArgument& operator<<(QDBusArgument& arg, const MenuItemProperties& m) {
    arg.beginStructure();
    arg << m.id << m.properties;
    arg.endStructure();
    return arg;
}
QDBusArgument operator>>(const QDBusArgument& arg, MenuItemProperties& m) {
    arg.beginStructure();
    arg >> m.id >> m.properties;
    arg.endStructure();
    return arg;
}

}  // namespace traybus

Q_DECLARE_METATYPE(traybus::IconPixmap)
Q_DECLARE_METATYPE(traybus::ToolTip)
Q_DECLARE_METATYPE(traybus::MenuLayout)
Q_DECLARE_METATYPE(traybus::MenuItemProperties)

namespace {

using traybus::IconPixmap;
using traybus::IconPixmaps;
using traybus::MenuItemProperties;
using traybus::MenuItemPropertiesList;
using traybus::MenuLayout;
using traybus::ToolTip;

const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kWatcherPath = QStringLiteral("/StatusNotifierWatcher");
const QString kItemPath = QStringLiteral("/StatusNotifierItem");
const QString kItemInterface = QStringLiteral("org.kde.StatusNotifierItem");
const QString kMenuPath = QStringLiteral("/MenuBar");
const QString kMenuInterface = QStringLiteral("com.canonical.dbusmenu");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

void RegisterBusTypes() {
    static const bool registered = [] {
        qDBusRegisterMetaType<IconPixmap>();
        qDBusRegisterMetaType<IconPixmaps>();
        qDBusRegisterMetaType<ToolTip>();
        qDBusRegisterMetaType<MenuLayout>();
        qDBusRegisterMetaType<MenuItemProperties>();
        qDBusRegisterMetaType<MenuItemPropertiesList>();
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

// A Win32 menu text ("&" before the access key, "&&" for "&") as a dbusmenu
// label ("_" before the access key, "__" for "_").
QString MenuLabel(const CString& text) {
    QString label;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'_') {
            label += QStringLiteral("__");
        } else if (c == u'&' && i + 1 < text.size()) {
            label += text[i + 1] == u'&' ? QChar(u'&') : QChar(u'_');
            if (text[i + 1] == u'&')
                ++i;
        } else {
            label += c;
        }
    }
    return label;
}

void ReplyError(const QDBusConnection& bus, const QDBusMessage& call, const QString& text) {
    bus.send(call.createErrorReply(QDBusError::InvalidArgs, text));
}

// Get and GetAll of org.freedesktop.DBus.Properties over `all`, the
// properties of `interface`; Set is refused.
bool AnswerProperties(const QDBusMessage& call, const QDBusConnection& bus,
                      const QString& interface, const QVariantMap& all) {
    const QVariantList args = call.arguments();
    if (call.member() == QLatin1String("Get") && call.signature() == QLatin1String("ss") &&
        args[0].toString() == interface && all.contains(args[1].toString())) {
        bus.send(
            call.createReply(QVariant::fromValue(QDBusVariant(all.value(args[1].toString())))));
    } else if (call.member() == QLatin1String("GetAll") && call.signature() == QLatin1String("s") &&
               args[0].toString() == interface) {
        bus.send(call.createReply(QVariant::fromValue(all)));
    } else {
        ReplyError(bus, call, QStringLiteral("no such property"));
    }
    return true;
}

// The icon's menu over com.canonical.dbusmenu, at /MenuBar. Item i of the
// owner's menu has the id i + 1; the root is 0. What a host sends is judged
// here: only ids of the menu and the "clicked" event do anything.
class ExportedMenu final : public QDBusVirtualObject {
public:
    ExportedMenu(HWND owner, QDBusConnection bus) : m_owner(owner), m_bus(std::move(bus)) {}

    void SetItems(const std::vector<MenuItemTemplate>& items) {
        m_items = items;
        ++m_revision;
        QDBusMessage changed =
            QDBusMessage::createSignal(kMenuPath, kMenuInterface, QStringLiteral("LayoutUpdated"));
        changed << m_revision << 0;
        m_bus.send(changed);
    }

    QString introspect(const QString&) const override {
        return QStringLiteral(
            "<interface name=\"com.canonical.dbusmenu\">"
            "<property name=\"Version\" type=\"u\" access=\"read\"/>"
            "<property name=\"TextDirection\" type=\"s\" access=\"read\"/>"
            "<property name=\"Status\" type=\"s\" access=\"read\"/>"
            "<property name=\"IconThemePath\" type=\"as\" access=\"read\"/>"
            "<method name=\"GetLayout\"><arg type=\"i\" direction=\"in\"/>"
            "<arg type=\"i\" direction=\"in\"/><arg type=\"as\" direction=\"in\"/>"
            "<arg type=\"u\" direction=\"out\"/><arg type=\"(ia{sv}av)\" direction=\"out\"/>"
            "</method>"
            "<method name=\"GetGroupProperties\"><arg type=\"ai\" direction=\"in\"/>"
            "<arg type=\"as\" direction=\"in\"/><arg type=\"a(ia{sv})\" direction=\"out\"/>"
            "</method>"
            "<method name=\"GetProperty\"><arg type=\"i\" direction=\"in\"/>"
            "<arg type=\"s\" direction=\"in\"/><arg type=\"v\" direction=\"out\"/></method>"
            "<method name=\"Event\"><arg type=\"i\" direction=\"in\"/>"
            "<arg type=\"s\" direction=\"in\"/><arg type=\"v\" direction=\"in\"/>"
            "<arg type=\"u\" direction=\"in\"/></method>"
            "<method name=\"EventGroup\"><arg type=\"a(isvu)\" direction=\"in\"/>"
            "<arg type=\"ai\" direction=\"out\"/></method>"
            "<method name=\"AboutToShow\"><arg type=\"i\" direction=\"in\"/>"
            "<arg type=\"b\" direction=\"out\"/></method>"
            "<method name=\"AboutToShowGroup\"><arg type=\"ai\" direction=\"in\"/>"
            "<arg type=\"ai\" direction=\"out\"/><arg type=\"ai\" direction=\"out\"/></method>"
            "<signal name=\"ItemsPropertiesUpdated\"><arg type=\"a(ia{sv})\"/>"
            "<arg type=\"a(ias)\"/></signal>"
            "<signal name=\"LayoutUpdated\"><arg type=\"u\"/><arg type=\"i\"/></signal>"
            "<signal name=\"ItemActivationRequested\"><arg type=\"i\"/><arg type=\"u\"/></signal>"
            "</interface>");
    }

    bool handleMessage(const QDBusMessage& call, const QDBusConnection& bus) override {
        const QString member = call.member();
        const QString signature = call.signature();
        const QVariantList args = call.arguments();
        if (call.interface() == kProperties)
            return Properties(call, bus);
        if (member == QLatin1String("GetLayout") && signature == QLatin1String("iias")) {
            const int parent = args[0].toInt();
            if (!Known(parent)) {
                ReplyError(bus, call, QStringLiteral("no such item"));
                return true;
            }
            const QStringList names = args[2].toStringList();
            MenuLayout layout{parent, PropertiesOf(parent, names), {}};
            if (parent == 0 && args[1].toInt() != 0) {
                for (int id = 1; id <= static_cast<int>(m_items.size()); ++id)
                    layout.children.append(MenuLayout{id, PropertiesOf(id, names), {}});
            }
            bus.send(call.createReply({m_revision, QVariant::fromValue(layout)}));
        } else if (member == QLatin1String("GetGroupProperties") &&
                   signature == QLatin1String("aias")) {
            MenuItemPropertiesList out;
            const QStringList names = args[1].toStringList();
            for (const int id : qdbus_cast<QList<int>>(args[0])) {
                if (Known(id))
                    out.append(MenuItemProperties{id, PropertiesOf(id, names)});
            }
            bus.send(call.createReply(QVariant::fromValue(out)));
        } else if (member == QLatin1String("GetProperty") && signature == QLatin1String("is")) {
            const int id = args[0].toInt();
            const QVariantMap properties = PropertiesOf(id, {args[1].toString()});
            if (!Known(id) || properties.isEmpty()) {
                ReplyError(bus, call, QStringLiteral("no such property"));
                return true;
            }
            bus.send(call.createReply(QVariant::fromValue(QDBusVariant(properties.first()))));
        } else if (member == QLatin1String("Event") && signature == QLatin1String("isvu")) {
            Event(args[0].toInt(), args[1].toString());
            bus.send(call.createReply());
        } else if (member == QLatin1String("EventGroup") && signature == QLatin1String("a(isvu)")) {
            QList<int> unknown;
            const auto events = args[0].value<QDBusArgument>();
            events.beginArray();
            while (!events.atEnd()) {
                int id = 0;
                QString event;
                QDBusVariant data;
                uint timestamp = 0;
                events.beginStructure();
                events >> id >> event >> data >> timestamp;
                events.endStructure();
                if (!Known(id))
                    unknown.append(id);
                Event(id, event);
            }
            events.endArray();
            bus.send(call.createReply(QVariant::fromValue(unknown)));
        } else if (member == QLatin1String("AboutToShow") && signature == QLatin1String("i")) {
            bus.send(call.createReply(false));
        } else if (member == QLatin1String("AboutToShowGroup") &&
                   signature == QLatin1String("ai")) {
            QList<int> unknown;
            for (const int id : qdbus_cast<QList<int>>(args[0])) {
                if (!Known(id))
                    unknown.append(id);
            }
            bus.send(call.createReply(
                {QVariant::fromValue(QList<int>()), QVariant::fromValue(unknown)}));
        } else {
            return false;
        }
        return true;
    }

private:
    bool Known(int id) const { return id >= 0 && id <= static_cast<int>(m_items.size()); }

    // The properties of item `id` named in `names` (all when empty).
    QVariantMap PropertiesOf(int id, const QStringList& names) const {
        QVariantMap all;
        if (id == 0) {
            all.insert(QStringLiteral("children-display"), QStringLiteral("submenu"));
        } else if (Known(id)) {
            const MenuItemTemplate& item = m_items[static_cast<size_t>(id - 1)];
            if (item.id == 0) {
                all.insert(QStringLiteral("type"), QStringLiteral("separator"));
            } else {
                all.insert(QStringLiteral("label"), MenuLabel(item.text));
                all.insert(QStringLiteral("enabled"), true);
                all.insert(QStringLiteral("visible"), true);
            }
        }
        if (names.isEmpty())
            return all;
        QVariantMap chosen;
        for (const QString& name : names) {
            if (all.contains(name))
                chosen.insert(name, all.value(name));
        }
        return chosen;
    }

    void Event(int id, const QString& event) const {
        if (id < 1 || !Known(id) || event != QLatin1String("clicked"))
            return;
        const UINT command = m_items[static_cast<size_t>(id - 1)].id;
        if (command)
            PostMessage(m_owner, WM_COMMAND, command, 0);
    }

    bool Properties(const QDBusMessage& call, const QDBusConnection& bus) const {
        QVariantMap all;
        all.insert(QStringLiteral("Version"), 3u);
        all.insert(QStringLiteral("TextDirection"), QStringLiteral("ltr"));
        all.insert(QStringLiteral("Status"), QStringLiteral("normal"));
        all.insert(QStringLiteral("IconThemePath"), QStringList());
        return AnswerProperties(call, bus, kMenuInterface, all);
    }

private:
    HWND m_owner;
    QDBusConnection m_bus;
    std::vector<MenuItemTemplate> m_items;
    uint m_revision = 0;
};

using Callback = platform::TrayCallback;
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
        m_bus.unregisterObject(kMenuPath);
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
        if (call.interface() == kProperties)
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
        m_bus.registerVirtualObject(kMenuPath, &m_menu);
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
        all.insert(QStringLiteral("Menu"), QVariant::fromValue(QDBusObjectPath(kMenuPath)));
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
