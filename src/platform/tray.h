// The notification area: the icons of Shell_NotifyIconW, their balloons and
// the menus that hosts draw themselves. The icons live in the tray port;
// a balloon where the desktop has no notification area goes to the
// notification port (notifications.h).
//
// Threading: user-interface thread.
#pragma once

#include <vector>

#include "framework/afxtypes.h"
#include "platform/menus.h"

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

// Hands the items of `menu` (a submenu, copied) to the notification area as
// the menu of the icon (data->hWnd, data->uID), for tray hosts that draw an
// icon's menu themselves instead of asking the program to show it. An item
// chosen there reaches the owner as WM_COMMAND with its id, as with
// TrackPopupMenu. Not a Win32 call: its shell always asks the program.
BOOL SetNotifyIconMenu(const NOTIFYICONDATAW* data, HMENU menu);

namespace platform {

// Adds (NIM_ADD), changes (NIM_MODIFY) or removes (NIM_DELETE) the icon of
// (data.hWnd, data.uID), as Shell_NotifyIconW.
class TrayPort {
public:
    virtual ~TrayPort() = default;
    virtual BOOL NotifyIcon(DWORD message, const NOTIFYICONDATAW& data) = 0;
    // Whether the desktop has a notification area now.
    virtual bool Available() = 0;
    // The items of the menu that the owner of the icon (owner, id) shows for
    // its right button, for hosts that draw an icon's menu themselves: an
    // item chosen there reaches the owner as WM_COMMAND with its id. False
    // when there is no such icon.
    virtual BOOL SetMenu(HWND owner, UINT id, const std::vector<MenuItemTemplate>& items) = 0;
    // Where a menu that `owner` opens now goes when one of its icons has
    // just asked for it: at that icon, wherever the pointer is by then.
    // Each request answers once; false (and `at` untouched) without one.
    virtual bool TakeMenuPlace(HWND owner, POINT* at) = 0;
};

// The real port: an item of our own for StatusNotifierItem hosts
// (status_notifier.h), else an icon drawn into an embedding tray.
TrayPort& RealTray();
// The port in use (installed by ports.h).
TrayPort& TrayInUse();

}  // namespace platform
