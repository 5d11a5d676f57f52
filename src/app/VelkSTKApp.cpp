#include "app/VelkSTKApp.h"

#include <cstdio>

#include "app/LaunchParams.h"
#include "engine/cef_cookie.h"
#include "framework/afxole.h"
#include "mainframe/MainFrm.h"
#include "packet/Fields.h"
#include "platform/activation.h"
#include "platform/address.h"
#include "platform/instance.h"
#include "platform/setup.h"
#include "platform/system.h"
#include "res/resources.h"
#include "shared/Messages.h"
#include "shared/Settings.h"

CVelkSTKAppApp::CVelkSTKAppApp() {
    m_dwRestartManagerSupportFlags = 63;
    SetAppID(QStringLiteral("VelkSTKApp.AppID.1.0"));
}

BOOL CVelkSTKAppApp::InitInstance() {
    INITCOMMONCONTROLSEX icc;
    icc.dwSize = 8;
    icc.dwICC = ICC_WIN95_CLASSES;
    InitCommonControlsEx(&icc);

    CWinApp::InitInstance();
    RegisterSystemMessages();
    RegisterResources();
    CefEnableHighDPISupport();
    m_clientApp = new ClientApp();

    // A child process of the browser library ends here, having created
    // nothing: no settings file, no cache, no mutex, no window.
    CefMainArgs mainArgs(GetModuleHandleW(nullptr));
    const int exitCode = CefExecuteProcess(mainArgs, m_clientApp.get(), nullptr);
    if (exitCode >= 0)
        return exitCode;
    // The operating system's services, before anything asks for one.
    platform::SetUpProcess(platform::SetUpPhase::AfterToolkit);

    CefSettings settings;
    settings.single_process = GetOsMajorVersion() <= 5 ? 1 : 0;
    // Pages run walled in by the engine's sandbox wherever the engine can
    // make one (it says when it cannot).
    settings.no_sandbox = 0;
    settings.command_line_args_disabled = 1;
    settings.cache_path = GetExeDir() + PathSeparator() + QStringLiteral("cache");
    settings.locale = QStringLiteral("ko-KR,ko");
    settings.ignore_certificate_errors = 1;
    settings.accept_language_list = QStringLiteral("ko-KR,ko");
    m_cefInitialized = CefInitialize(mainArgs, settings, m_clientApp.get(), nullptr);
    if (!m_cefInitialized) {
        AfxMessageBox(QStringLiteral("FAIL CEF"), MB_OK, 0);
        return FALSE;
    }
    // From here on a request from outside to end (SIGTERM, SIGINT) takes the
    // same orderly way out as the exit command, so the cookie store is
    // written and the library shut down.
    platform::OnTerminationRequest([] {
        if (auto* main = dynamic_cast<CMainFrame*>(AfxGetMainWnd())) {
            main->EndApplication();
        } else {
            PostQuitMessage(0);
        }
    });

    if (!ParseCommandLine())
        return FALSE;
    LoadSettings();
    if (!CheckSingleInstance())
        return FALSE;

    if (!AfxOleInit()) {
        AfxMessageBox(QStringLiteral("OLE FALI"), MB_OK, 0);
        return FALSE;
    }
    AfxEnableControlContainer();
    EnableTaskbarInteraction(FALSE);
    SetRegistryKey(m_params.GetString(field::kWindowName, QString()));

    auto* frame = new CMainFrame();
    m_pMainWnd = frame;
    if (!frame->LoadFrame(128, WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE, nullptr, nullptr)) {
        // A frame whose window was never made is not deleted by its window.
        if (!IsWindow(frame->m_hWnd))
            delete frame;
        m_pMainWnd = nullptr;
        return FALSE;
    }
    frame->SetMenu(nullptr);
    frame->ShowWindow(SW_HIDE);
    frame->UpdateWindow();

    return TRUE;
}

BOOL CVelkSTKAppApp::PumpMessage() {
    if (m_cefInitialized)
        CefDoMessageLoopWork();
    return CWinApp::PumpMessage();
}

void CVelkSTKAppApp::OnProfileNotSaved(const QString& file, const QString& reason) {
    std::fprintf(stderr, "settings not saved: %s: %s; kept in memory until the program ends\n",
                 qPrintable(file), qPrintable(reason));
    if (auto* main = dynamic_cast<CMainFrame*>(m_pMainWnd)) {
        main->ShowBalloon(
            QStringLiteral("설정을 저장하지 못했습니다 (%1). 바뀐 설정은 프로그램을 끝낼 때까지만 "
                           "유지됩니다.")
                .arg(file));
    }
}

void CVelkSTKAppApp::OnNestedLoopWork() {
    if (m_cefInitialized)
        CefDoMessageLoopWork();
}

int CVelkSTKAppApp::ExitInstance() {
    if (m_cefInitialized) {
        m_cefInitialized = false;
        CefRefPtr<CefCookieManager> manager = CefCookieManager::GetGlobalManager(nullptr);
        if (manager)
            manager->FlushStore(nullptr);
        m_clientApp = nullptr;
        for (int i = 0; i < 10; ++i) {
            CefDoMessageLoopWork();
            Sleep(100);
        }
        CefShutdown();
        manager = nullptr;
    }
    AfxOleTerm(FALSE);
    return CWinApp::ExitInstance();
}

BOOL CVelkSTKAppApp::ParseCommandLine() {
    if (!ParseLaunchParameters(GetCommandLineW(), ExecutableMarker(), m_params))
        return FALSE;
    // A link's start address is taken only when it is a web address. Any
    // other is dropped (each field the main frame would read, in turn), so
    // the main chat window opens on its usual start page, as for a link
    // without one, and a later start hands none over.
    for (CString url = m_params.GetString(field::kUrl, QString());
         !url.isEmpty() && !platform::AcceptWebAddress(url);
         url = m_params.GetString(field::kUrl, QString())) {
        m_params.Remove(field::kUrl);
    }
    return TRUE;
}

void CVelkSTKAppApp::LoadSettings() {
    // The settings file beside the executable. The path is not limited in
    // length: a long installation path still finds its settings.
    const CString module = GetModuleFileNameW();
    const int cut = module.lastIndexOf(PathSeparator());
    m_iniPath = (cut >= 0 ? module.left(cut + 1) : CString()) + QStringLiteral("app.ini");

    // The existence test has no length limit and creation never truncates,
    // so an existing settings file is never emptied.
    if (m_iniPath.isEmpty() || !FileExists(m_iniPath))
        CreateEmptyFileIfMissing(m_iniPath);

    struct Instance {
        CString key;
        CString def;
    };
    const Instance instanceKeys[] = {{setting::kMutex, kNoMutex},
                                     {setting::kClassName, kDefaultClassName},
                                     {setting::kWindowName, kDefaultWindowName}};
    for (const Instance& k : instanceKeys) {
        if (m_params.Contains(k.key))
            continue;
        m_params.SetString(k.key, AppSetting(k.key, k.def));
    }
    m_devShow = AppSettingInt(setting::kDevShow, 0);
}

BOOL CVelkSTKAppApp::CheckSingleInstance() {
    const CString name = m_params.GetString(field::kMutex, QString());
    if (name == kNoMutex)
        return TRUE;
    CreateMutexW(nullptr, TRUE, name);
    if (GetLastError() != ERROR_ALREADY_EXISTS)
        return TRUE;
    // Another process holds the name: hand this start's parameters to its
    // main frame (found by its class name) and end. A running instance that
    // does not answer (stopped, hung) is given up after a bounded wait.
    platform::InstanceRequest request;
    request.kind = HasCommandLineSwitch(QStringLiteral("--show-chat"))
                       ? platform::InstanceRequest::kShowMainChat
                       : platform::InstanceRequest::kLaunchParameters;
    request.text = m_params.GetText();
    // As the launcher gave them, kept before the toolkit took them out of
    // the environment: the running instance ends this start's startup
    // sequence and comes forward with its time.
    request.activationToken = platform::OwnActivationToken();
    request.startupId = platform::OwnStartupId();
    const CString className = m_params.GetString(field::kClassName, QString());
    if (platform::HandOffToInstance(className, request))
        Sleep(100);
    else
        // This start ends all the same (a second instance must not run),
        // but the user's link went nowhere: say so.
        std::fprintf(stderr,
                     "VelkSTKApp: another instance holds the instance name, but none took this "
                     "start's request on its channel (it does not run, or did not answer in "
                     "time); nothing was handed over\n");
    return FALSE;
}

CVelkSTKAppApp& VelkApp() {
    return *static_cast<CVelkSTKAppApp*>(AfxGetApp());
}

bool CVelkSTKAppApp::CreateBrowser(HWND parent, const CString& url, const RECT& rect) {
    return m_clientApp && m_clientApp->CreateBrowser(parent, url, rect);
}
