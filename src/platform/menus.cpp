#include "platform/menus.h"

#include <QAction>
#include <QCursor>
#include <QMenu>
#include <map>

#include "framework/afxwin.h"
#include "platform/tray.h"

namespace {

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
    platform::TrayInUse().TakeMenuPlace(owner, &at);
    const UINT chosen = platform::MenusInUse().Choose(m->menu.items, at);
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

namespace platform {

MenuPort& RealMenus() {
    static auto* menus = new DesktopMenus();
    return *menus;
}

const std::vector<MenuItemTemplate>* MenuItems(HMENU menu) {
    const auto* m = static_cast<const LoadedMenu*>(menu);
    return m ? &m->menu.items : nullptr;
}

}  // namespace platform
