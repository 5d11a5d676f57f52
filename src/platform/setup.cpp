#include "platform/setup.h"

#include <QFileInfo>
#include <QGuiApplication>

#include "platform/activation.h"
#include "platform/autostart.h"
#include "platform/ports.h"
#include "platform/system.h"

namespace platform {
namespace {

void PrepareSessionBus() {
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return;
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo::exists(QString::fromLocal8Bit(runtime + "/bus")))
        return;
    qputenv("DBUS_SESSION_BUS_ADDRESS", "disabled:");
}

void PrepareDesktop(const QString& desktopEntryId) {
    QGuiApplication::setDesktopFileName(desktopEntryId);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") &&
        !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        !qEnvironmentVariableIsEmpty("DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
}

}  // namespace

int SetUpProcess(SetUpPhase phase, const ProcessStart& start) {
    switch (phase) {
        case SetUpPhase::BeforeToolkit: {
            KeepStartupIdentity();
            HoldTerminationSignals();
            const int autostart = RunAutostartSwitch(start.program, start.arguments);
            if (autostart >= 0)
                return autostart;
            PrepareSessionBus();
            PrepareDesktop(start.desktopEntryId);
            return -1;
        }
        case SetUpPhase::AfterToolkit:
            // A set of null ports stands for the real ones.
            InstallPorts(Ports{});
            return -1;
    }
    return -1;
}

}  // namespace platform
