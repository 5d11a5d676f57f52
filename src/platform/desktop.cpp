#include "platform/desktop.h"

#include "framework/afxwin.h"

#include <QAction>
#include <QCursor>
#include <QGuiApplication>
#include <QIcon>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QWidget>
#include <map>
#include <memory>

#include "framework/afxwin.h"
#include "framework/peer.h"

namespace {

// --- Screen and taskbar ------------------------------------------------------

bool g_testScreen = false;
RECT g_screen{}, g_available{};

void Screen(RECT* screen, RECT* available) {
    if (g_testScreen) {
        *screen = g_screen;
        *available = g_available;
        return;
    }
    const QScreen* s = QGuiApplication::primaryScreen();
    if (!s) {
        *screen = *available = RECT{0, 0, 1024, 768};
        return;
    }
    *screen = framework::FromQRect(s->geometry());
    *available = framework::FromQRect(s->availableGeometry());
}

HWND const kTaskbar = reinterpret_cast<HWND>(0x14);

// The taskbar is the panel that takes the screen's bottom or right edge
// out of the available area; top and left panels are reported as well, and
// the system's own rule decides what to make of them.
bool TaskbarRect(RECT* r) {
    RECT screen, available;
    Screen(&screen, &available);
    if (available.bottom < screen.bottom) {
        *r = RECT{screen.left, available.bottom, screen.right, screen.bottom};
    } else if (available.right < screen.right) {
        *r = RECT{available.right, screen.top, screen.right, screen.bottom};
    } else if (available.top > screen.top) {
        *r = RECT{screen.left, screen.top, screen.right, available.top};
    } else if (available.left > screen.left) {
        *r = RECT{screen.left, screen.top, available.left, screen.bottom};
    } else {
        return false;
    }
    return true;
}

bool ForeignRect(HWND h, RECT* r) {
    if (h == GetDesktopWindow()) {
        RECT available;
        Screen(r, &available);
        return true;
    }
    if (h == kTaskbar)
        return TaskbarRect(r);
    return false;
}

void EnsureForeignWindows() {
    static bool registered = false;
    if (!registered) {
        SetForeignWindowRectProvider(ForeignRect);
        registered = true;
    }
}

// --- Modules -----------------------------------------------------------------

bool g_moduleMissing = false;
bool g_entryMissing = false;
int g_user32Refs = 0;
int g_user32Tag = 0;

BOOL SetLayeredWindowAttributesImpl(HWND h, COLORREF, BYTE alpha, DWORD flags) {
    CWnd* w = CWnd::FromHandle(h);
    if (!w || !(flags & LWA_ALPHA) || !(w->GetExStyle() & WS_EX_LAYERED))
        return FALSE;
    return w->SetLayeredAlpha(alpha);
}

// --- Tray ----------------------------------------------------------------------

platform::TrayRecord* g_trayRecord = nullptr;

struct TrayIcon {
    std::unique_ptr<QSystemTrayIcon> icon;
    HWND owner = nullptr;
    UINT callback = 0;
    UINT id = 0;
};
std::map<std::pair<HWND, UINT>, TrayIcon>& Icons() {
    static auto* icons = new std::map<std::pair<HWND, UINT>, TrayIcon>();
    return *icons;
}

// An icon that the program draws itself in an embedding tray (XEmbed) tells
// of the right button when it goes down; its menu opens when the button
// comes up, as on other desktops. (A tray host that draws the icon itself
// asks for the menu once, on its own terms.)
class TrayButtonRelease : public QObject {
public:
    static void Install() {
        static TrayButtonRelease* filter = nullptr;
        if (!filter && qApp) {
            filter = new TrayButtonRelease();
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
        for (const auto& [key, t] : Icons()) {
            if (t.callback && t.icon->geometry() == at)
                PostMessage(t.owner, t.callback, t.id, WM_RBUTTONUP);
        }
        return false;
    }
};

// --- Menus ---------------------------------------------------------------------

std::map<int, MenuTemplate>& MenuResources() {
    static auto* menus = new std::map<int, MenuTemplate>();
    return *menus;
}
struct LoadedMenu {
    MenuTemplate menu;
    bool isSub = false;
    LoadedMenu* sub = nullptr;
};
std::function<UINT(const std::vector<MenuItemTemplate>&)> g_menuChoice;

}  // namespace

HWND FindWindowW(const CString& className, const CString&) {
    EnsureForeignWindows();
    if (className == QLatin1String("Shell_TrayWnd")) {
        RECT r;
        return TaskbarRect(&r) ? kTaskbar : nullptr;
    }
    return nullptr;
}

int GetSystemMetrics(int index) {
    EnsureForeignWindows();
    switch (index) {
        case SM_CXBORDER:
        case SM_CYBORDER:
            return 1;
        case SM_CYCAPTION:
            return 23;
        case SM_CXFRAME:
            return AFX_CXFRAME;
        case SM_CYFRAME:
            return AFX_CYFRAME;
        default:
            return 0;
    }
}

HMODULE LoadLibraryW(const CString& name) {
    if (g_moduleMissing || name.compare(QLatin1String("USER32.DLL"), Qt::CaseInsensitive) != 0) {
        return nullptr;
    }
    ++g_user32Refs;
    return &g_user32Tag;
}

BOOL FreeLibrary(HMODULE module) {
    if (module != &g_user32Tag || g_user32Refs == 0)
        return FALSE;
    --g_user32Refs;
    return TRUE;
}

FARPROC GetProcAddress(HMODULE module, const char* name) {
    if (module != &g_user32Tag || g_user32Refs == 0 || g_entryMissing || !name)
        return nullptr;
    if (qstrcmp(name, "SetLayeredWindowAttributes") == 0) {
        return reinterpret_cast<FARPROC>(&SetLayeredWindowAttributesImpl);
    }
    return nullptr;
}

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
    if (g_trayRecord) {
        platform::TrayRecord& r = *g_trayRecord;
        ++r.calls;
        if (message == NIM_ADD) {
            r.present = true;
            r.visible = (data->uFlags & NIF_ICON) != 0;
        }
        if (message == NIM_DELETE)
            r.present = r.visible = false;
        if (message == NIM_MODIFY && (data->uFlags & NIF_ICON))
            r.visible = r.present;
        if (data->uFlags & NIF_TIP)
            r.tip = FieldText(data->szTip);
        if (message == NIM_MODIFY && (data->uFlags & NIF_INFO)) {
            r.balloons.push_back(FieldText(data->szInfo));
        }
        return r.present || message == NIM_DELETE ? TRUE : FALSE;
    }

    const auto key = std::make_pair(data->hWnd, data->uID);
    auto& icons = Icons();
    if (message == NIM_ADD) {
        if (icons.count(key))
            return FALSE;
        TrayButtonRelease::Install();
        TrayIcon& t = icons[key];
        t.icon = std::make_unique<QSystemTrayIcon>();
        t.owner = data->hWnd;
        t.callback = data->uCallbackMessage;
        t.id = data->uID;
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
    auto it = icons.find(key);
    if (it == icons.end())
        return FALSE;
    TrayIcon& t = it->second;
    if (message == NIM_DELETE) {
        t.icon->hide();
        icons.erase(it);
        return TRUE;
    }
    if (data->uFlags & NIF_MESSAGE)
        t.callback = data->uCallbackMessage;
    if (data->uFlags & NIF_TIP)
        t.icon->setToolTip(FieldText(data->szTip));
    if ((data->uFlags & NIF_ICON) && data->hIcon) {
        t.icon->setIcon(*static_cast<QIcon*>(data->hIcon));
        t.icon->show();
    }
    if (data->uFlags & NIF_INFO) {
        t.icon->showMessage(FieldText(data->szInfoTitle), FieldText(data->szInfo),
                            QSystemTrayIcon::NoIcon);
    }
    return TRUE;
}

void RegisterMenuResource(int id, const MenuTemplate& menu) {
    MenuResources()[id] = menu;
}

HMENU LoadMenuW(HINSTANCE, int id) {
    auto it = MenuResources().find(id);
    if (it == MenuResources().end())
        return nullptr;
    auto* top = new LoadedMenu();
    top->sub = new LoadedMenu{it->second, true, nullptr};
    top->menu.title = it->second.title;
    return top;
}

HMENU GetSubMenu(HMENU menu, int position) {
    auto* m = static_cast<LoadedMenu*>(menu);
    return m && !m->isSub && position == 0 ? m->sub : nullptr;
}

BOOL DestroyMenu(HMENU menu) {
    auto* m = static_cast<LoadedMenu*>(menu);
    if (!m || m->isSub)
        return FALSE;
    delete m->sub;
    delete m;
    return TRUE;
}

BOOL TrackPopupMenu(HMENU menu, UINT, int x, int y, int, HWND owner, const RECT*) {
    auto* m = static_cast<LoadedMenu*>(menu);
    if (!m || !IsWindow(owner))
        return FALSE;
    UINT chosen = 0;
    if (g_menuChoice) {
        chosen = g_menuChoice(m->menu.items);
    } else {
        CNestedLoopScope nested;
        QMenu popup;
        for (const MenuItemTemplate& item : m->menu.items) {
            if (item.id == 0) {
                popup.addSeparator();
            } else {
                popup.addAction(item.text)->setData(item.id);
            }
        }
        if (QAction* a = popup.exec(QPoint(x, y)))
            chosen = a->data().toUInt();
    }
    if (chosen)
        PostMessage(owner, WM_COMMAND, chosen, 0);
    return TRUE;
}

BOOL GetCursorPos(POINT* p) {
    if (!p)
        return FALSE;
    const QPoint c = QCursor::pos();
    *p = POINT{c.x(), c.y()};
    return TRUE;
}

long RevokeDragDrop(HWND h) {
    CWnd* w = CWnd::FromHandle(h);
    if (!w || !w->GetPeer())
        return -1;
    QWidget* peer = w->GetPeer();
    peer->setAcceptDrops(false);
    for (QWidget* child : peer->findChildren<QWidget*>())
        child->setAcceptDrops(false);
    return 0;
}

namespace platform {

void SetScreenForTesting(const RECT& screen, const RECT& available) {
    EnsureForeignWindows();
    g_testScreen = true;
    g_screen = screen;
    g_available = available;
}
void ClearScreenForTesting() {
    g_testScreen = false;
}
void UseRecordedTrayForTesting(TrayRecord* record) {
    g_trayRecord = record;
}
void SetMenuChoiceForTesting(std::function<UINT(const std::vector<MenuItemTemplate>&)> choose) {
    g_menuChoice = std::move(choose);
}
void SetModuleMissingForTesting(bool missing) {
    g_moduleMissing = missing;
}
void SetEntryPointMissingForTesting(bool missing) {
    g_entryMissing = missing;
}

}  // namespace platform
