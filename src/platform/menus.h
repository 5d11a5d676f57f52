// Popup menus: the menu resources the program registers, loaded and shown
// as the Win32 menu calls do, and the pointer's position where one opens.
// The menu shown is the menu port's.
//
// Threading: user-interface thread.
#pragma once

#include <vector>

#include "framework/afxtypes.h"

struct MenuItemTemplate {
    UINT id;  // 0 for a separator
    CString text;
};
struct MenuTemplate {
    CString title;
    std::vector<MenuItemTemplate> items;
};
// Menu resources are registered by the program; LoadMenuW gives a menu
// whose first submenu holds the items.
void RegisterMenuResource(int id, const MenuTemplate& menu);
HMENU LoadMenuW(HINSTANCE instance, int id);
HMENU GetSubMenu(HMENU menu, int position);
BOOL DestroyMenu(HMENU menu);
constexpr UINT TPM_RIGHTBUTTON = 0x2;
// Shows the menu at (x, y); the chosen item reaches `owner` as WM_COMMAND.
// A menu that a tray icon has just asked for opens at that icon instead
// (the tray port's menu place).
BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved, HWND owner,
                    const RECT* excluded);
BOOL GetCursorPos(POINT* p);

namespace platform {

// Shows a popup menu of `items` at `at` (screen coordinates) and returns
// the id of the item chosen, or 0 when the menu was dismissed.
class MenuPort {
public:
    virtual ~MenuPort() = default;
    virtual UINT Choose(const std::vector<MenuItemTemplate>& items, POINT at) = 0;
};

// The real port: a toolkit menu in a nested loop, at the given point.
MenuPort& RealMenus();
// The port in use (installed by ports.h).
MenuPort& MenusInUse();

// The items of a menu that LoadMenuW or GetSubMenu gave; null for none.
const std::vector<MenuItemTemplate>* MenuItems(HMENU menu);

}  // namespace platform
