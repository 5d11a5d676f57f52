// The notification area's calls and its real port.
//
// Where a StatusNotifierItem host runs (KDE Plasma, GNOME's AppIndicator
// extension, Xfce's status notifier plugin: they own the session bus name
// org.kde.StatusNotifierWatcher) an icon is an item of our own on the bus:
// the host draws it, shows its menu from the items exported over
// com.canonical.dbusmenu, and shows the tip text as its title. Elsewhere it
// is a QSystemTrayIcon that the program draws into an embedding tray
// (XEmbed), whose menu the owner shows by hand.
#include "platform/tray.h"

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
#include "platform/notifications.h"
#include "platform/status_notifier.h"

namespace {

using Callback = platform::TrayCallback;
using platform::MenuPlaces;
using StatusNotifierItem = platform::StatusNotifierIcon;

struct TrayIcon {
    // One of the two: the host draws `item`; the program draws `icon`.
    std::unique_ptr<StatusNotifierItem> item;
    std::unique_ptr<QSystemTrayIcon> icon;
    Callback callback;
    CString tip;
};
using TrayIcons = std::map<std::pair<HWND, UINT>, TrayIcon>;

// The centre of an embedded icon, where its menu opens.
POINT CentreOf(const QRect& r) {
    const QPoint c = r.center();
    return POINT{c.x(), c.y()};
}

// An icon that the program draws itself in an embedding tray (XEmbed) tells
// of the right button when it goes down; its menu opens when the button
// comes up, as on other desktops, at the icon.
class TrayButtonRelease : public QObject {
public:
    static void Install(const TrayIcons& icons, MenuPlaces& places) {
        static TrayButtonRelease* filter = nullptr;
        if (!filter && qApp) {
            filter = new TrayButtonRelease(icons, places);
            qApp->installEventFilter(filter);
        }
    }

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() != QEvent::MouseButtonRelease ||
            static_cast<QMouseEvent*>(event)->button() != Qt::RightButton ||
            !object->inherits("QSystemTrayIconSys")) {
            return false;
        }
        auto* widget = static_cast<QWidget*>(object);
        const QRect at(widget->mapToGlobal(QPoint(0, 0)), widget->size());
        for (const auto& [key, t] : m_icons) {
            if (t.icon && t.callback.message && t.icon->geometry() == at) {
                m_places[t.callback.owner] = CentreOf(at);
                t.callback.Post(WM_RBUTTONUP);
            }
        }
        return false;
    }

private:
    TrayButtonRelease(const TrayIcons& icons, MenuPlaces& places)
        : m_icons(icons), m_places(places) {}
    const TrayIcons& m_icons;
    MenuPlaces& m_places;
};

void ConnectActivation(TrayIcon& t, MenuPlaces& places) {
    QSystemTrayIcon* icon = t.icon.get();
    Callback* callback = &t.callback;
    QObject::connect(icon, &QSystemTrayIcon::activated,
                     [icon, callback, &places](QSystemTrayIcon::ActivationReason reason) {
                         switch (reason) {
                             case QSystemTrayIcon::Trigger:
                                 callback->Post(WM_LBUTTONDOWN);
                                 break;
                             case QSystemTrayIcon::DoubleClick:
                                 callback->Post(WM_LBUTTONDBLCLK);
                                 break;
                             case QSystemTrayIcon::Context:
                                 // Still held down: the release opens it.
                                 if (QGuiApplication::mouseButtons() & Qt::RightButton)
                                     return;
                                 places[callback->owner] = CentreOf(icon->geometry());
                                 callback->Post(WM_RBUTTONUP);
                                 break;
                             default:
                                 break;
                         }
                     });
}

// Where the desktop has no notification area the embedded icon waits,
// hidden, until one appears (QSystemTrayIcon does that); adding still
// succeeds.
class SystemTray final : public platform::TrayPort {
public:
    BOOL NotifyIcon(DWORD message, const NOTIFYICONDATAW& data) override {
        const auto key = std::make_pair(data.hWnd, data.uID);
        if (message == NIM_ADD) {
            if (m_icons.count(key))
                return FALSE;
            TrayIcon& t = m_icons[key];
            t.callback = Callback{data.hWnd, data.uCallbackMessage, data.uID};
            t.item = StatusNotifierItem::Create(t.callback, m_places);
            if (!t.item) {
                TrayButtonRelease::Install(m_icons, m_places);
                t.icon = std::make_unique<QSystemTrayIcon>();
                ConnectActivation(t, m_places);
            }
        }
        auto it = m_icons.find(key);
        if (it == m_icons.end())
            return FALSE;
        TrayIcon& t = it->second;
        if (message == NIM_DELETE) {
            if (t.icon)
                t.icon->hide();
            m_places.erase(t.callback.owner);
            m_icons.erase(it);
            return TRUE;
        }
        if (data.uFlags & NIF_MESSAGE) {
            t.callback.message = data.uCallbackMessage;
            if (t.item)
                t.item->SetCallback(data.uCallbackMessage);
        }
        if (data.uFlags & NIF_TIP) {
            t.tip = FieldText(data.szTip);
            if (t.item)
                t.item->SetTip(t.tip);
            else
                t.icon->setToolTip(t.tip);
        }
        if ((data.uFlags & NIF_ICON) && data.hIcon) {
            const QIcon& image = *static_cast<QIcon*>(data.hIcon);
            if (t.item) {
                t.item->SetIcon(image);
            } else {
                t.icon->setIcon(image);
                t.icon->show();
            }
        }
        if (data.uFlags & NIF_INFO)
            ShowBalloon(t, FieldText(data.szInfoTitle), FieldText(data.szInfo));
        return TRUE;
    }

    bool Available() override { return QSystemTrayIcon::isSystemTrayAvailable(); }

    BOOL SetMenu(HWND owner, UINT id, const std::vector<MenuItemTemplate>& items) override {
        auto it = m_icons.find(std::make_pair(owner, id));
        if (it == m_icons.end())
            return FALSE;
        if (it->second.item)
            it->second.item->SetMenu(items);
        return TRUE;
    }

    bool TakeMenuPlace(HWND owner, POINT* at) override {
        auto it = m_places.find(owner);
        if (it == m_places.end() || !at)
            return false;
        *at = it->second;
        m_places.erase(it);
        return true;
    }

private:
    // A host that draws the icon shows balloons as desktop notifications:
    // they are sent as such, and clicking one does what clicking the icon
    // does. An embedded icon shows its own balloon.
    static void ShowBalloon(const TrayIcon& t, const CString& title, const CString& text) {
        if (t.icon) {
            t.icon->showMessage(title, text, QSystemTrayIcon::NoIcon);
            return;
        }
        const Callback callback = t.callback;
        platform::RealNotifications().Notify(title.isEmpty() ? t.tip : title, text,
                                             [callback] { callback.Post(WM_LBUTTONDOWN); });
    }

    TrayIcons m_icons;
    MenuPlaces m_places;
};

}  // namespace

void CopyToField(wchar_t* field, size_t fieldChars, const CString& text) {
    if (!field || fieldChars == 0)
        return;
    // The text is cut at a whole character, never inside a surrogate pair.
    size_t n = 0;
    const auto ucs4 = text.toUcs4();
    for (char32_t c : ucs4) {
        if (n + 1 >= fieldChars)
            break;
        field[n++] = static_cast<wchar_t>(c);
    }
    field[n] = 0;
}

CString FieldText(const wchar_t* field) {
    QList<char32_t> chars;
    for (; field && *field; ++field)
        chars.append(static_cast<char32_t>(*field));
    return QString::fromUcs4(chars.constData(), chars.size());
}

BOOL Shell_NotifyIconW(DWORD message, NOTIFYICONDATAW* data) {
    if (!data)
        return FALSE;
    platform::TrayPort& tray = platform::TrayInUse();
    if (message == NIM_MODIFY && (data->uFlags & NIF_INFO) && !tray.Available()) {
        // No notification area to show a balloon in: the desktop's
        // notification service shows the text, under the balloon's title
        // or else the icon's tip.
        CString title = FieldText(data->szInfoTitle);
        if (title.isEmpty())
            title = FieldText(data->szTip);
        // Clicking the notification does what clicking the icon does.
        const HWND owner = data->hWnd;
        const UINT callback = data->uCallbackMessage, id = data->uID;
        const bool shown =
            platform::NotificationsInUse().Notify(title, FieldText(data->szInfo), [=] {
                if (callback)
                    PostMessage(owner, callback, id, WM_LBUTTONDOWN);
            });
        NOTIFYICONDATAW rest = *data;
        rest.uFlags &= ~NIF_INFO;
        if (rest.uFlags == 0)
            return shown ? TRUE : FALSE;
        return tray.NotifyIcon(message, rest);
    }
    return tray.NotifyIcon(message, *data);
}

BOOL SetNotifyIconMenu(const NOTIFYICONDATAW* data, HMENU menu) {
    const std::vector<MenuItemTemplate>* items = platform::MenuItems(menu);
    if (!data || !items)
        return FALSE;
    return platform::TrayInUse().SetMenu(data->hWnd, data->uID, *items);
}

namespace platform {

TrayPort& RealTray() {
    static auto* tray = new SystemTray();
    return *tray;
}

}  // namespace platform
