#include "platform/dbusmenu.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusVariant>
#include <QStringList>

#include "framework/afxwin.h"

// --- D-Bus types of the menu -------------------------------------------------

namespace traybus {

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
// given: a reference to a temporary argument would outlive it. A copy
// shares the argument's reading position.
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

Q_DECLARE_METATYPE(traybus::MenuLayout)
Q_DECLARE_METATYPE(traybus::MenuItemProperties)

namespace platform {
namespace {

using traybus::MenuItemProperties;
using traybus::MenuItemPropertiesList;
using traybus::MenuLayout;

const QString kMenuPath = QStringLiteral("/MenuBar");
const QString kMenuInterface = QStringLiteral("com.canonical.dbusmenu");

void RegisterMenuTypes() {
    static const bool registered = [] {
        qDBusRegisterMetaType<MenuLayout>();
        qDBusRegisterMetaType<MenuItemProperties>();
        qDBusRegisterMetaType<MenuItemPropertiesList>();
        return true;
    }();
    (void)registered;
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

}  // namespace

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

ExportedMenu::ExportedMenu(HWND owner, QDBusConnection bus)
    : m_owner(owner), m_bus(std::move(bus)) {
    RegisterMenuTypes();
}

QString ExportedMenu::Path() {
    return kMenuPath;
}

void ExportedMenu::SetItems(const std::vector<MenuItemTemplate>& items) {
    m_items = items;
    ++m_revision;
    QDBusMessage changed =
        QDBusMessage::createSignal(kMenuPath, kMenuInterface, QStringLiteral("LayoutUpdated"));
    changed << m_revision << 0;
    m_bus.send(changed);
}

QString ExportedMenu::introspect(const QString&) const {
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

bool ExportedMenu::handleMessage(const QDBusMessage& call, const QDBusConnection& bus) {
    const QString member = call.member();
    const QString signature = call.signature();
    const QVariantList args = call.arguments();
    if (call.interface() == kBusProperties)
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
    } else if (member == QLatin1String("AboutToShowGroup") && signature == QLatin1String("ai")) {
        QList<int> unknown;
        for (const int id : qdbus_cast<QList<int>>(args[0])) {
            if (!Known(id))
                unknown.append(id);
        }
        bus.send(
            call.createReply({QVariant::fromValue(QList<int>()), QVariant::fromValue(unknown)}));
    } else {
        return false;
    }
    return true;
}

bool ExportedMenu::Known(int id) const {
    return id >= 0 && id <= static_cast<int>(m_items.size());
}

QVariantMap ExportedMenu::PropertiesOf(int id, const QStringList& names) const {
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

void ExportedMenu::Event(int id, const QString& event) const {
    if (id < 1 || !Known(id) || event != QLatin1String("clicked"))
        return;
    const UINT command = m_items[static_cast<size_t>(id - 1)].id;
    if (command)
        PostMessage(m_owner, WM_COMMAND, command, 0);
}

bool ExportedMenu::Properties(const QDBusMessage& call, const QDBusConnection& bus) const {
    QVariantMap all;
    all.insert(QStringLiteral("Version"), 3u);
    all.insert(QStringLiteral("TextDirection"), QStringLiteral("ltr"));
    all.insert(QStringLiteral("Status"), QStringLiteral("normal"));
    all.insert(QStringLiteral("IconThemePath"), QStringList());
    return AnswerProperties(call, bus, kMenuInterface, all);
}

}  // namespace platform
