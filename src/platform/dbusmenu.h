// The menu of a tray icon exported over com.canonical.dbusmenu, which the
// hosts of StatusNotifierItem (status_notifier.h) show for an item of ours.
// Inside this layer only.
//
// Threading: user-interface thread.
#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QString>
#include <QVariantMap>
#include <vector>

#include "framework/afxtypes.h"
#include "platform/menus.h"

namespace platform {

// The menu of `owner`'s icon, at Path() on the item's bus connection. Item
// i of the owner's menu has the id i + 1; the root is 0. What a host sends
// is judged here: only ids of the menu and the "clicked" event do anything,
// and a click reaches the owner as WM_COMMAND with the item's id.
class ExportedMenu final : public QDBusVirtualObject {
public:
    ExportedMenu(HWND owner, QDBusConnection bus);
    static QString Path();

    // The menu's items from now on; hosts are told that its layout changed.
    void SetItems(const std::vector<MenuItemTemplate>& items);

    QString introspect(const QString& path) const override;
    bool handleMessage(const QDBusMessage& call, const QDBusConnection& bus) override;

private:
    bool Known(int id) const;
    // The properties of item `id` named in `names` (all when empty).
    QVariantMap PropertiesOf(int id, const QStringList& names) const;
    void Event(int id, const QString& event) const;
    bool Properties(const QDBusMessage& call, const QDBusConnection& bus) const;

    HWND m_owner;
    QDBusConnection m_bus;
    std::vector<MenuItemTemplate> m_items;
    uint m_revision = 0;
};

// The standard properties interface, which the item and its menu answer.
inline const QString kBusProperties = QStringLiteral("org.freedesktop.DBus.Properties");

// Get and GetAll of kBusProperties over `all`, the properties of
// `interface`; Set is refused. Always true: the call is answered.
bool AnswerProperties(const QDBusMessage& call, const QDBusConnection& bus,
                      const QString& interface, const QVariantMap& all);

}  // namespace platform
