#include "shared/ShellApp.h"

#include "platform/system.h"

int CShellApp::GetOsMajorVersion() {
    if (m_osMajorVersion == -1) {
        OSVERSIONINFOW info;
        info.dwOSVersionInfoSize = 276;
        if (GetVersionExW(&info))
            m_osMajorVersion = static_cast<int>(info.dwMajorVersion);
    }
    return m_osMajorVersion;
}

CShellApp& ShellApp() {
    return *static_cast<CShellApp*>(AfxGetApp());
}

CString GetExeDir() {
    const CString module = GetModuleFileNameW();
    const int cut = module.lastIndexOf(PathSeparator());
    return cut >= 0 ? module.left(cut) : CString();
}

BOOL FileExists(const CString& path) {
    return PathFileExists(path);
}
