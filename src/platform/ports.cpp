#include "platform/ports.h"

namespace platform {
namespace {

Ports& Installed() {
    static Ports ports;
    return ports;
}

}  // namespace

const Ports& CurrentPorts() {
    return Installed();
}

void InstallPorts(const Ports& ports) {
    const Ports real;
    Ports& installed = Installed();
    installed.screen = ports.screen ? ports.screen : real.screen;
    installed.tray = ports.tray ? ports.tray : real.tray;
    installed.menus = ports.menus ? ports.menus : real.menus;
    installed.modules = ports.modules ? ports.modules : real.modules;
    installed.urlOpener = ports.urlOpener ? ports.urlOpener : real.urlOpener;
    installed.executable = ports.executable ? ports.executable : real.executable;
    installed.processes = ports.processes ? ports.processes : real.processes;
    installed.notifications = ports.notifications ? ports.notifications : real.notifications;
    // The desktop's and the taskbar's rectangles come from the screen port
    // from now on, not from the framework's own look at the screen.
    AnswerForDesktopWindows();
}

void RestoreRealPorts() {
    InstallPorts(Ports{});
}

}  // namespace platform
