// The operating-system services behind the desktop functions, as ports:
// the screen, the notification area, popup menus, modules with run-time
// entry points, the user's web browser, the executable's file name and
// the start of other programs.
//
// The system never sees a port. It calls the Win32-shaped functions of this
// layer (GetWindowRect on the desktop, FindWindowW, Shell_NotifyIconW,
// TrackPopupMenu, LoadLibraryW, GetProcAddress, ShellExecuteW,
// GetModuleFileNameW, ...), which keep their own rules and hand the
// service's part to the port installed here. The program runs on the real
// ports; tests install fakes built from the same interfaces.
//
// Threading: user-interface thread.
#pragma once

#include <QStringList>
#include <QUrl>
#include <functional>
#include <vector>

#include "platform/desktop.h"
#include "platform/process.h"

namespace platform {

// A screen and the part of it that panels leave free.
struct ScreenArea {
    RECT screen;
    RECT available;
};
class ScreenPort {
public:
    virtual ~ScreenPort() = default;
    virtual ScreenArea PrimaryScreen() = 0;
    // Every screen of the desktop, the primary one first; a desktop of one
    // screen has only that.
    virtual std::vector<ScreenArea> Screens() { return {PrimaryScreen()}; }
};

// The notification area: adds (NIM_ADD), changes (NIM_MODIFY) or removes
// (NIM_DELETE) the icon of (data.hWnd, data.uID), as Shell_NotifyIconW.
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

// The desktop's notification service: shows `text` under `title` with the
// application's name and icon, without waiting for the service. `clicked`
// (may be empty) runs on the user-interface thread when the user clicks the
// notification. False when there is no service to take it.
class NotificationPort {
public:
    virtual ~NotificationPort() = default;
    virtual bool Notify(const CString& title, const CString& text,
                        std::function<void()> clicked) = 0;
};

// Shows a popup menu of `items` at `at` (screen coordinates) and returns
// the id of the item chosen, or 0 when the menu was dismissed.
class MenuPort {
public:
    virtual ~MenuPort() = default;
    virtual UINT Choose(const std::vector<MenuItemTemplate>& items, POINT at) = 0;
};

// Modules with entry points looked up at run time, as LoadLibraryW,
// FreeLibrary and GetProcAddress.
class ModulePort {
public:
    virtual ~ModulePort() = default;
    virtual HMODULE Load(const CString& name) = 0;
    virtual BOOL Free(HMODULE module) = 0;
    virtual FARPROC EntryPoint(HMODULE module, const char* name) = 0;
};

// Opens a web address (already checked to be http or https) in the user's
// default browser; false when it could not be handed over.
class UrlOpenerPort {
public:
    virtual ~UrlOpenerPort() = default;
    virtual bool Open(const QUrl& url) = 0;
};

// Starts programs: the opened `program` file itself is executed (never
// split, never looked up, never through a shell) with `arguments` as its
// argument list, in a session of its own, detached from this process. The elevated start goes
// through the desktop's elevation tool and reports, later, on the user-interface thread, how the
// tool answered: 0 when it started the program, else the Windows error code of the refusal.
class ProcessPort {
public:
    virtual ~ProcessPort() = default;
    // False when the program could not be started.
    virtual bool Start(const ProgramFile& program, const QStringList& arguments) = 0;
    // False (with a Windows error code in `error`) when the elevation tool
    // could not be started at all; otherwise `answered` follows.
    virtual bool StartElevated(const ProgramFile& program, const QStringList& arguments,
                               std::function<void(DWORD error)> answered, DWORD* error) = 0;
};

// The full path of the executable, with the platform's separators.
class ExecutablePort {
public:
    virtual ~ExecutablePort() = default;
    virtual CString ModuleFileName() = 0;
};

// The real ports. They live for the whole process and are never destroyed:
// the tray's icons must not outlive the toolkit's application object.
ScreenPort& RealScreen();
TrayPort& RealTray();
MenuPort& RealMenus();
ModulePort& RealModules();
UrlOpenerPort& RealUrlOpener();
ExecutablePort& RealExecutable();
ProcessPort& RealProcesses();
NotificationPort& RealNotifications();

// One port of each kind; a null member stands for the real port.
struct Ports {
    ScreenPort* screen = nullptr;
    TrayPort* tray = nullptr;
    MenuPort* menus = nullptr;
    ModulePort* modules = nullptr;
    UrlOpenerPort* urlOpener = nullptr;
    ExecutablePort* executable = nullptr;
    ProcessPort* processes = nullptr;
    NotificationPort* notifications = nullptr;
};

// The ports in use, every member set. The process's set-up puts the real
// ones in use (setup.h); a program that never set up its process (a test
// program) is given them when it first asks.
const Ports& CurrentPorts();
// Puts `ports` (not owned) in use; a null member stands for the real port.
// The caller keeps them alive until it installs others or restores.
void InstallPorts(const Ports& ports);
// Puts the real ports back in use.
void RestoreRealPorts();

}  // namespace platform
