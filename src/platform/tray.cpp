// The real notification area, one QSystemTrayIcon per (window, id), and
// the desktop's notification service.
#include <QDBusConnection>
#include <QDBusMessage>
#include <QGuiApplication>
#include <QIcon>
#include <QMouseEvent>
#include <QSystemTrayIcon>
#include <QWidget>
#include <map>
#include <memory>

#include "framework/afxwin.h"
#include "platform/ports.h"

namespace {

struct TrayIcon {
    std::unique_ptr<QSystemTrayIcon> icon;
    HWND owner = nullptr;
    UINT callback = 0;
    UINT id = 0;
};
using TrayIcons = std::map<std::pair<HWND, UINT>, TrayIcon>;

// An icon that the program draws itself in an embedding tray (XEmbed) tells
// of the right button when it goes down; its menu opens when the button
// comes up, as on other desktops. (A tray host that draws the icon itself
// asks for the menu once, on its own terms.)
class TrayButtonRelease : public QObject {
public:
    static void Install(const TrayIcons& icons) {
        static TrayButtonRelease* filter = nullptr;
        if (!filter && qApp) {
            filter = new TrayButtonRelease(icons);
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
            if (t.callback && t.icon->geometry() == at)
                PostMessage(t.owner, t.callback, t.id, WM_RBUTTONUP);
        }
        return false;
    }

private:
    explicit TrayButtonRelease(const TrayIcons& icons) : m_icons(icons) {}
    const TrayIcons& m_icons;
};

// Mouse actions on an icon reach its owner as the callback message, with
// the icon's id in wParam and the Win32 mouse message in lParam.
void ConnectActivation(const TrayIcon& t) {
    const HWND owner = t.owner;
    const UINT callback = t.callback, id = t.id;
    QObject::connect(t.icon.get(), &QSystemTrayIcon::activated,
                     [owner, callback, id](QSystemTrayIcon::ActivationReason reason) {
                         UINT mouse = 0;
                         switch (reason) {
                             case QSystemTrayIcon::Trigger:
                                 mouse = WM_LBUTTONDOWN;
                                 break;
                             case QSystemTrayIcon::DoubleClick:
                                 mouse = WM_LBUTTONDBLCLK;
                                 break;
                             case QSystemTrayIcon::Context:
                                 // Still held down: the release opens it.
                                 if (QGuiApplication::mouseButtons() & Qt::RightButton)
                                     return;
                                 mouse = WM_RBUTTONUP;
                                 break;
                             default:
                                 return;
                         }
                         if (callback)
                             PostMessage(owner, callback, id, mouse);
                     });
}

// Where the desktop has no notification area the icon waits, hidden, until
// one appears (QSystemTrayIcon does that); adding still succeeds.
class SystemTray final : public platform::TrayPort {
public:
    BOOL NotifyIcon(DWORD message, const NOTIFYICONDATAW& data) override {
        const auto key = std::make_pair(data.hWnd, data.uID);
        if (message == NIM_ADD) {
            if (m_icons.count(key))
                return FALSE;
            TrayButtonRelease::Install(m_icons);
            TrayIcon& t = m_icons[key];
            t.icon = std::make_unique<QSystemTrayIcon>();
            t.owner = data.hWnd;
            t.callback = data.uCallbackMessage;
            t.id = data.uID;
            ConnectActivation(t);
        }
        auto it = m_icons.find(key);
        if (it == m_icons.end())
            return FALSE;
        TrayIcon& t = it->second;
        if (message == NIM_DELETE) {
            t.icon->hide();
            m_icons.erase(it);
            return TRUE;
        }
        if (data.uFlags & NIF_MESSAGE)
            t.callback = data.uCallbackMessage;
        if (data.uFlags & NIF_TIP)
            t.icon->setToolTip(FieldText(data.szTip));
        if ((data.uFlags & NIF_ICON) && data.hIcon) {
            t.icon->setIcon(*static_cast<QIcon*>(data.hIcon));
            t.icon->show();
        }
        if (data.uFlags & NIF_INFO) {
            t.icon->showMessage(FieldText(data.szInfoTitle), FieldText(data.szInfo),
                                QSystemTrayIcon::NoIcon);
        }
        return TRUE;
    }

    bool Available() override { return QSystemTrayIcon::isSystemTrayAvailable(); }

private:
    TrayIcons m_icons;
};

// org.freedesktop.Notifications on the session bus. The call is not waited
// for: a slow service never holds up the windows.
class DesktopNotifications final : public platform::NotificationPort {
public:
    bool Notify(const CString& title, const CString& text) override {
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected())
            return false;
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.Notifications"),
            QStringLiteral("/org/freedesktop/Notifications"),
            QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
        const QString entry = QGuiApplication::desktopFileName();
        const QString summary = title.isEmpty() ? QGuiApplication::applicationDisplayName() : title;
        QVariantMap hints;
        if (!entry.isEmpty())
            hints.insert(QStringLiteral("desktop-entry"), entry);
        call << QGuiApplication::applicationDisplayName() << 0u << entry << summary << text
             << QStringList() << hints << -1;
        return bus.send(call);
    }
};

}  // namespace

namespace platform {

TrayPort& RealTray() {
    static auto* tray = new SystemTray();
    return *tray;
}

NotificationPort& RealNotifications() {
    static auto* notifications = new DesktopNotifications();
    return *notifications;
}

}  // namespace platform
