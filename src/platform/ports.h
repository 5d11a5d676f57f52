// The catalogue of the operating-system services behind the desktop
// functions: one port of each, gathered here and installed together.
//
// Each service has a header of its own with its port, the Win32-shaped
// functions the system calls and the real port (made in the matching .cpp);
// docs/architecture.md lists them, with their fakes.
//
// The system never sees a port: its calls keep their own rules and hand the
// service's part to the port in use, which a service's header names
// (ScreenInUse, TrayInUse, ...) and this file installs. The program runs on
// the real ports, put in use by the process's set-up (setup.h); tests
// install fakes built from the same interfaces. Only this file includes
// every service's header; no service includes it.
//
// Threading: user-interface thread.
#pragma once

#ifdef VELK_PLATFORM_SERVICE
#error "a platform service reaches its port in use through its own header, not through ports.h"
#endif

#include "platform/activation.h"
#include "platform/desktop.h"
#include "platform/menus.h"
#include "platform/modules.h"
#include "platform/notifications.h"
#include "platform/process.h"
#include "platform/shell.h"
#include "platform/system.h"
#include "platform/tray.h"

namespace platform {

// One port of each kind; a null member stands for the real port. The real
// ports live for the whole process and are never destroyed: the tray's
// icons must not outlive the toolkit's application object.
struct Ports {
    ScreenPort* screen = nullptr;
    TrayPort* tray = nullptr;
    MenuPort* menus = nullptr;
    ModulePort* modules = nullptr;
    UrlOpenerPort* urlOpener = nullptr;
    ExecutablePort* executable = nullptr;
    ProcessPort* processes = nullptr;
    NotificationPort* notifications = nullptr;
    ActivationPort* activation = nullptr;
};

// The ports in use, every member set. The process's set-up puts the real
// ones in use; a program that never set up its process (a test program) is
// given them when it first asks for one.
const Ports& CurrentPorts();
// Puts `ports` (not owned) in use; a null member stands for the real port.
// The caller keeps them alive until it installs others or restores. The
// desktop's and the taskbar's rectangles come from the screen port in use
// from then on (AnswerForDesktopWindows).
void InstallPorts(const Ports& ports);
// Puts the real ports back in use.
void RestoreRealPorts();

}  // namespace platform
