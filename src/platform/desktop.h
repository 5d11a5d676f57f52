// The desktop: screen, taskbar, frame metrics, modules with run-time entry
// points, and the notification area (tray) with its popup menus. The
// services behind these functions are ports (platform/ports.h), so tests can
// put fakes in their place.
//
// Threading: user-interface thread.
#pragma once

#include <vector>

#include "framework/afxtypes.h"

// --- Windows of the desktop shell ------------------------------------------

// Finds a top-level window by class. The desktop's taskbar answers to
// "Shell_TrayWnd": it is inferred from the difference between the primary
// screen and its available area (a panel at the bottom or right edge);
// without such a panel there is none. GetWindowRect works on its handle.
HWND FindWindowW(const CString& className, const CString& windowName);

// --- Screens ------------------------------------------------------------------
// Every screen of the desktop, the primary one first, each with the panel
// that takes one of its edges (its taskbar), inferred as for the primary
// screen's "Shell_TrayWnd". The primary screen's entry is what GetWindowRect
// gives for the desktop window and for that taskbar.
struct DesktopScreenInfo {
    RECT screen;
    bool hasTaskbar;
    RECT taskbar;
};
std::vector<DesktopScreenInfo> GetDesktopScreens();

// --- System metrics ---------------------------------------------------------
// Fixed values (those of a standard Windows desktop at 96 dpi): the toolkit
// draws frames itself, so the system's own arithmetic gets stable numbers.
constexpr int SM_CXBORDER = 5;
constexpr int SM_CYBORDER = 6;
constexpr int SM_CYCAPTION = 4;
constexpr int SM_CXFRAME = 32;
constexpr int SM_CYFRAME = 33;
int GetSystemMetrics(int index);

// --- Modules and entry points looked up at run time -------------------------
// A small table of named modules: "USER32.DLL" (any case) offers
// "SetLayeredWindowAttributes".
using HMODULE = void*;
using FARPROC = void*;
HMODULE LoadLibraryW(const CString& name);
BOOL FreeLibrary(HMODULE module);
FARPROC GetProcAddress(HMODULE module, const char* name);
constexpr DWORD LWA_ALPHA = 0x2;
using PFN_SetLayeredWindowAttributes = BOOL (*)(HWND, COLORREF, BYTE, DWORD);

// --- Notification area -------------------------------------------------------
constexpr DWORD NIM_ADD = 0;
constexpr DWORD NIM_MODIFY = 1;
constexpr DWORD NIM_DELETE = 2;
constexpr UINT NIF_MESSAGE = 0x1;
constexpr UINT NIF_ICON = 0x2;
constexpr UINT NIF_TIP = 0x4;
constexpr UINT NIF_INFO = 0x10;

struct NOTIFYICONDATAW {
    DWORD cbSize = 0;
    HWND hWnd = nullptr;
    UINT uID = 0;
    UINT uFlags = 0;
    UINT uCallbackMessage = 0;
    HICON hIcon = nullptr;
    wchar_t szTip[128] = {};
    DWORD dwState = 0;
    DWORD dwStateMask = 0;
    wchar_t szInfo[256] = {};
    UINT uVersion = 0;
    wchar_t szInfoTitle[64] = {};
    DWORD dwInfoFlags = 0;
};

// Adds, changes or removes the icon of (hWnd, uID). Mouse actions on it
// reach hWnd as uCallbackMessage with wParam = uID and lParam = the mouse
// message. Where the desktop has no notification area the icon waits,
// hidden, until one appears; adding still succeeds, so the program runs.
BOOL Shell_NotifyIconW(DWORD message, NOTIFYICONDATAW* data);
// Copies `text` into a fixed field, cutting it to fit (with a terminator).
void CopyToField(wchar_t* field, size_t fieldChars, const CString& text);
CString FieldText(const wchar_t* field);

// --- Popup menus ------------------------------------------------------------
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
// Hands the items of `menu` (a submenu, copied) to the notification area as
// the menu of the icon (data->hWnd, data->uID), for tray hosts that draw an
// icon's menu themselves instead of asking the program to show it. An item
// chosen there reaches the owner as WM_COMMAND with its id, as with
// TrackPopupMenu. Not a Win32 call: its shell always asks the program.
BOOL SetNotifyIconMenu(const NOTIFYICONDATAW* data, HMENU menu);
constexpr UINT TPM_RIGHTBUTTON = 0x2;
// Shows the menu at (x, y); the chosen item reaches `owner` as WM_COMMAND.
BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved, HWND owner,
                    const RECT* excluded);
BOOL GetCursorPos(POINT* p);

// Drag and drop: nothing can be dropped on the window or its children.
long RevokeDragDrop(HWND h);

namespace platform {
// Makes GetWindowRect answer for the desktop and the taskbar from the screen
// port in use (see ports.h). Installing ports does it, the process's
// set-up first of all (setup.h); calling it again changes nothing.
void AnswerForDesktopWindows();
}  // namespace platform
