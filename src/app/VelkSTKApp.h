// The application object: start-up of the main process (and the early end
// of a browser-library child process), the message loop that services the
// library once before each message, and the orderly shutdown.
#pragma once

#include "app/ClientApp.h"
#include "shared/ShellApp.h"

class CVelkSTKAppApp : public CShellApp {
public:
    CVelkSTKAppApp();

    BOOL InitInstance() override;
    BOOL PumpMessage() override;
    // While a box or a menu is open, the engine's callbacks keep flowing.
    void OnNestedLoopWork() override;
    int ExitInstance() override;
    // Says it on standard error and with a balloon; the values stay in memory.
    void OnProfileNotSaved(const QString& file, const QString& reason) override;

    // Fills m_params from the process command line; FALSE ends start-up.
    BOOL ParseCommandLine();
    // Computes m_iniPath, creates an empty settings file when none exists,
    // merges MUTEX, CLSNM and WINNM into m_params and reads DEVSHOW.
    void LoadSettings();
    // TRUE when start-up may go on; FALSE when another instance with the
    // same instance name runs (this start's parameters are handed to it).
    BOOL CheckSingleInstance();
    bool CreateBrowser(HWND parent, const CString& url, const RECT& rect) override;

    CefRefPtr<ClientApp> m_clientApp;
    bool m_cefInitialized = false;
};

// The one application object of the process.
CVelkSTKAppApp& VelkApp();
