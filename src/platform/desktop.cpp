#include "platform/desktop.h"

#include <QAction>
#include <QCursor>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QWidget>
#include <map>

#include "framework/afxwin.h"
#include "framework/peer.h"
#include "platform/ports.h"

namespace {

// --- Screen and taskbar ------------------------------------------------------

platform::ScreenArea AreaOf(const QScreen* s) {
    return {framework::FromQRect(s->geometry()), framework::FromQRect(s->availableGeometry())};
}

// The toolkit's screens, its primary one first; without one, a screen of
// 1024 x 768.
class DesktopScreen final : public platform::ScreenPort {
public:
    platform::ScreenArea PrimaryScreen() override {
        const QScreen* s = QGuiApplication::primaryScreen();
        if (!s)
            return {RECT{0, 0, 1024, 768}, RECT{0, 0, 1024, 768}};
        return AreaOf(s);
    }
    std::vector<platform::ScreenArea> Screens() override {
        std::vector<platform::ScreenArea> screens{PrimaryScreen()};
        const QScreen* primary = QGuiApplication::primaryScreen();
        for (const QScreen* s : QGuiApplication::screens()) {
            if (s != primary)
                screens.push_back(AreaOf(s));
        }
        return screens;
    }
};

void Screen(RECT* screen, RECT* available) {
    const platform::ScreenArea area = platform::CurrentPorts().screen->PrimaryScreen();
    *screen = area.screen;
    *available = area.available;
}

HWND const kTaskbar = reinterpret_cast<HWND>(0x14);

// A screen's taskbar is the panel that takes the screen's bottom or right
// edge out of the available area; top and left panels are reported as well,
// and the system's own rule decides what to make of them.
bool PanelRect(const platform::ScreenArea& area, RECT* r) {
    const RECT& screen = area.screen;
    const RECT& available = area.available;
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

// The primary screen's taskbar.
bool TaskbarRect(RECT* r) {
    return PanelRect(platform::CurrentPorts().screen->PrimaryScreen(), r);
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

// --- Modules -----------------------------------------------------------------

BOOL SetLayeredWindowAttributesImpl(HWND h, COLORREF, BYTE alpha, DWORD flags) {
    CWnd* w = CWnd::FromHandle(h);
    if (!w || !(flags & LWA_ALPHA) || !(w->GetExStyle() & WS_EX_LAYERED))
        return FALSE;
    return w->SetLayeredAlpha(alpha);
}

// The one module there is: "USER32.DLL" (any case), counted by reference,
// offering "SetLayeredWindowAttributes" while a reference is held.
class ModuleTable final : public platform::ModulePort {
public:
    HMODULE Load(const CString& name) override {
        if (name.compare(QLatin1String("USER32.DLL"), Qt::CaseInsensitive) != 0)
            return nullptr;
        ++m_user32Refs;
        return &m_user32Tag;
    }
    BOOL Free(HMODULE module) override {
        if (module != &m_user32Tag || m_user32Refs == 0)
            return FALSE;
        --m_user32Refs;
        return TRUE;
    }
    FARPROC EntryPoint(HMODULE module, const char* name) override {
        if (module != &m_user32Tag || m_user32Refs == 0 || !name)
            return nullptr;
        if (qstrcmp(name, "SetLayeredWindowAttributes") == 0)
            return reinterpret_cast<FARPROC>(&SetLayeredWindowAttributesImpl);
        return nullptr;
    }

private:
    int m_user32Refs = 0;
    int m_user32Tag = 0;
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

// A toolkit menu in a nested loop, at the given point.
class DesktopMenus final : public platform::MenuPort {
public:
    UINT Choose(const std::vector<MenuItemTemplate>& items, POINT at) override {
        CNestedLoopScope nested;
        QMenu popup;
        for (const MenuItemTemplate& item : items) {
            if (item.id == 0) {
                popup.addSeparator();
            } else {
                popup.addAction(item.text)->setData(item.id);
            }
        }
        QAction* a = popup.exec(QPoint(at.x, at.y));
        return a ? a->data().toUInt() : 0;
    }
};

}  // namespace

std::vector<DesktopScreenInfo> GetDesktopScreens() {
    std::vector<DesktopScreenInfo> out;
    for (const platform::ScreenArea& area : platform::CurrentPorts().screen->Screens()) {
        DesktopScreenInfo info{area.screen, false, RECT{}};
        info.hasTaskbar = PanelRect(area, &info.taskbar);
        out.push_back(info);
    }
    return out;
}

HWND FindWindowW(const CString& className, const CString&) {
    if (className == QLatin1String("Shell_TrayWnd")) {
        RECT r;
        return TaskbarRect(&r) ? kTaskbar : nullptr;
    }
    return nullptr;
}

int GetSystemMetrics(int index) {
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
    return platform::CurrentPorts().modules->Load(name);
}

BOOL FreeLibrary(HMODULE module) {
    return platform::CurrentPorts().modules->Free(module);
}

FARPROC GetProcAddress(HMODULE module, const char* name) {
    return platform::CurrentPorts().modules->EntryPoint(module, name);
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
    const platform::Ports& ports = platform::CurrentPorts();
    if (message == NIM_MODIFY && (data->uFlags & NIF_INFO) && !ports.tray->Available()) {
        // No notification area to show a balloon in: the desktop's
        // notification service shows the text, under the balloon's title
        // or else the icon's tip.
        CString title = FieldText(data->szInfoTitle);
        if (title.isEmpty())
            title = FieldText(data->szTip);
        // Clicking the notification does what clicking the icon does.
        const HWND owner = data->hWnd;
        const UINT callback = data->uCallbackMessage, id = data->uID;
        const bool shown = ports.notifications->Notify(title, FieldText(data->szInfo), [=] {
            if (callback)
                PostMessage(owner, callback, id, WM_LBUTTONDOWN);
        });
        NOTIFYICONDATAW rest = *data;
        rest.uFlags &= ~NIF_INFO;
        if (rest.uFlags == 0)
            return shown ? TRUE : FALSE;
        return ports.tray->NotifyIcon(message, rest);
    }
    return ports.tray->NotifyIcon(message, *data);
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
    // A menu opened for a tray icon's right button opens at the icon.
    POINT at{x, y};
    platform::CurrentPorts().tray->TakeMenuPlace(owner, &at);
    const UINT chosen = platform::CurrentPorts().menus->Choose(m->menu.items, at);
    if (chosen)
        PostMessage(owner, WM_COMMAND, chosen, 0);
    return TRUE;
}

BOOL SetNotifyIconMenu(const NOTIFYICONDATAW* data, HMENU menu) {
    const auto* m = static_cast<LoadedMenu*>(menu);
    if (!data || !m)
        return FALSE;
    return platform::CurrentPorts().tray->SetMenu(data->hWnd, data->uID, m->menu.items);
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

// Installed with the ports (InstallPorts), so from the process's set-up on.
void AnswerForDesktopWindows() {
    SetForeignWindowRectProvider(ForeignRect);
}

ScreenPort& RealScreen() {
    static auto* screen = new DesktopScreen();
    return *screen;
}

MenuPort& RealMenus() {
    static auto* menus = new DesktopMenus();
    return *menus;
}

ModulePort& RealModules() {
    static auto* modules = new ModuleTable();
    return *modules;
}

}  // namespace platform
