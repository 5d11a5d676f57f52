#include <QStringList>

#include "app/ProgramInfo.h"
#include "app/VelkSTKApp.h"
#include "platform/activation.h"
#include "platform/autostart.h"
#include "platform/system.h"

// The one application object, constructed before the entry point runs.
static CVelkSTKAppApp theApp;

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const QString program = argc > 0 ? QString::fromLocal8Bit(argv[0]) : QString();
    // `--version` and `--help` answer on a console without a desktop: they
    // are printed before anything needs the toolkit, and the program ends.
    const int info = RunInfoSwitch(program, arguments);
    if (info >= 0)
        return info;
    // Before anything can take them out of the environment: the toolkit's
    // X11 connection removes the startup id when it is made.
    platform::KeepStartupIdentity();
    platform::HoldTerminationSignals();
    // `--autostart on|off` is the program's own switch: it is carried out
    // before any launch parameter is looked at, and the program ends.
    const int autostart = platform::RunAutostartSwitch(program, arguments);
    if (autostart >= 0)
        return autostart;
    platform::PrepareSessionBus();
    platform::PrepareDesktop(QStringLiteral("kr.velk.VelkSTKApp"));
    return AfxWinMain(argc, argv);
}
