#include "app/VelkSTKApp.h"
#include "platform/system.h"

// The one application object, constructed before the entry point runs.
static CVelkSTKAppApp theApp;

int main(int argc, char** argv) {
    platform::HoldTerminationSignals();
    platform::PrepareSessionBus();
    platform::PrepareDesktop(QStringLiteral("kr.velk.VelkSTKApp"));
    return AfxWinMain(argc, argv);
}
