#include <QStringList>

#include "app/ProgramInfo.h"
#include "app/VelkSTKApp.h"
#include "platform/setup.h"

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
    // The process's set-up before the toolkit exists (the application
    // object's start-up does the rest); `--autostart on|off` ends the
    // program here.
    const int ended =
        platform::SetUpProcess(platform::SetUpPhase::BeforeToolkit,
                               {program, arguments, QStringLiteral("kr.velk.VelkSTKApp")});
    if (ended >= 0)
        return ended;
    return AfxWinMain(argc, argv);
}
