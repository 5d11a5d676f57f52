// The embedded-browser library's process interface: the application object
// with its process handlers, command-line switches, settings, and the calls
// that start, service and end the library. Implemented over Qt WebEngine.
//
// Threading: every call here is made on the user-interface thread.
#pragma once

#include <QList>
#include <QPair>

#include "engine/cef_base.h"
#include "framework/afxtypes.h"

class CefCommandLine : public virtual CefBaseRefCounted {
public:
    static CefRefPtr<CefCommandLine> CreateCommandLine();
    void AppendSwitch(const CefString& name) { AppendSwitchWithValue(name, CefString()); }
    void AppendSwitchWithValue(const CefString& name, const CefString& value);
    bool HasSwitch(const CefString& name) const;
    CefString GetSwitchValue(const CefString& name) const;
    // Switches in the order they were added, as (name, value).
    const QList<QPair<CefString, CefString>>& GetSwitches() const { return m_switches; }

private:
    QList<QPair<CefString, CefString>> m_switches;
    IMPLEMENT_REFCOUNTING(CefCommandLine);
};

class CefBrowserProcessHandler : public virtual CefBaseRefCounted {
public:
    virtual void OnContextInitialized() {}
    virtual void OnBeforeChildProcessLaunch(CefRefPtr<CefCommandLine> commandLine) {}
    virtual void OnRenderProcessThreadCreated() {}
};

class CefV8Handler;
class CefRenderProcessHandler : public virtual CefBaseRefCounted {
public:
    virtual void OnRenderThreadCreated() {}
    virtual void OnWebKitInitialized() {}
};

class CefApp : public virtual CefBaseRefCounted {
public:
    virtual void OnBeforeCommandLineProcessing(const CefString& processType,
                                               CefRefPtr<CefCommandLine> commandLine) {}
    virtual CefRefPtr<CefBrowserProcessHandler> GetBrowserProcessHandler() { return nullptr; }
    virtual CefRefPtr<CefRenderProcessHandler> GetRenderProcessHandler() { return nullptr; }
};

// The process's arguments, taken from the framework's command line.
struct CefMainArgs {
    CefMainArgs() = default;
    explicit CefMainArgs(HINSTANCE) {}
};

struct CefSettings {
    int single_process = 0;
    int no_sandbox = 0;
    int command_line_args_disabled = 0;
    int multi_threaded_message_loop = 0;
    int windowless_rendering_enabled = 0;
    int persist_session_cookies = 0;
    int remote_debugging_port = 0;
    int ignore_certificate_errors = 0;
    CefString browser_subprocess_path;
    CefString cache_path;
    CefString locale;
    CefString accept_language_list;
};

// Returns 0 or more when this process is one of the library's child
// processes (its command line carries the process-type switch) after that
// process has run; -1 in the main process.
int CefExecuteProcess(const CefMainArgs& args, CefRefPtr<CefApp> app, void* sandboxInfo);
bool CefInitialize(const CefMainArgs& args, const CefSettings& settings, CefRefPtr<CefApp> app,
                   void* sandboxInfo);
// Performs the library's pending work without blocking.
void CefDoMessageLoopWork();
void CefShutdown();
void CefEnableHighDPISupport();
// Quits the library's own message loop. This system never runs that loop
// (it drives the library from the application's pump), so the call leaves
// the application running.
void CefQuitMessageLoop();
