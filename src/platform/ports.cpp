#include "platform/ports.h"

namespace platform {
namespace {

// The ports in use; all null until the process's set-up or a test installs
// a set.
Ports g_installed;

}  // namespace

const Ports& CurrentPorts() {
    if (!g_installed.screen)
        InstallPorts(Ports{});
    return g_installed;
}

void InstallPorts(const Ports& ports) {
    g_installed.screen = ports.screen ? ports.screen : &RealScreen();
    g_installed.tray = ports.tray ? ports.tray : &RealTray();
    g_installed.menus = ports.menus ? ports.menus : &RealMenus();
    g_installed.modules = ports.modules ? ports.modules : &RealModules();
    g_installed.urlOpener = ports.urlOpener ? ports.urlOpener : &RealUrlOpener();
    g_installed.executable = ports.executable ? ports.executable : &RealExecutable();
    g_installed.processes = ports.processes ? ports.processes : &RealProcesses();
    g_installed.notifications = ports.notifications ? ports.notifications : &RealNotifications();
    g_installed.activation = ports.activation ? ports.activation : &RealActivation();
    // The desktop's and the taskbar's rectangles come from the screen port
    // from now on, not from the framework's own look at the screen.
    AnswerForDesktopWindows();
}

void RestoreRealPorts() {
    InstallPorts(Ports{});
}

// Each service's header names its port in use; they are all kept here.
ScreenPort& ScreenInUse() {
    return *CurrentPorts().screen;
}
TrayPort& TrayInUse() {
    return *CurrentPorts().tray;
}
MenuPort& MenusInUse() {
    return *CurrentPorts().menus;
}
ModulePort& ModulesInUse() {
    return *CurrentPorts().modules;
}
UrlOpenerPort& UrlOpenerInUse() {
    return *CurrentPorts().urlOpener;
}
ExecutablePort& ExecutableInUse() {
    return *CurrentPorts().executable;
}
ProcessPort& ProcessesInUse() {
    return *CurrentPorts().processes;
}
NotificationPort& NotificationsInUse() {
    return *CurrentPorts().notifications;
}
ActivationPort& ActivationInUse() {
    return *CurrentPorts().activation;
}

}  // namespace platform
