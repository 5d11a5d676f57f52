#include "app/ClientApp.h"

ClientApp::ClientApp() = default;
ClientApp::~ClientApp() = default;

void ClientApp::OnBeforeCommandLineProcessing(const CefString&,
                                              CefRefPtr<CefCommandLine> commandLine) {
    // The plug-in is a file outside the program; a missing one is harmless.
    commandLine->AppendSwitchWithValue(QStringLiteral("ppapi-flash-path"),
                                       QStringLiteral(".\\ppapi\\pepflashplayer32_32_0_0_321.dll"));
    commandLine->AppendSwitchWithValue(QStringLiteral("ppapi-flash-version"),
                                       QStringLiteral("32.0.0.321"));
    commandLine->AppendSwitchWithValue(QStringLiteral("plugin-policy"), QStringLiteral("allow"));
}

void ClientApp::OnContextInitialized() {}
