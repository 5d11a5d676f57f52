// What the windows read from the application object: the launch
// parameters, the settings file's path, the DEVSHOW setting, the operating
// system's version and browser creation. The application object derives
// from this class; the windows know it only through it.
//
// Threading: user-interface thread.
#pragma once

#include "framework/afxwin.h"
#include "packet/Packet.h"
#include "packet/Vocabulary.h"

class CShellApp : public CWinApp {
public:
    using CWinApp::CWinApp;

    // The operating system's major version, read once.
    int GetOsMajorVersion();
    // Creates a browser as a child of `parent` that fills `rect` and loads
    // `url`; it is announced to `parent` later. False when none can be made.
    virtual bool CreateBrowser(HWND parent, const CString& url, const RECT& rect) = 0;

    // The launch parameters, merged with the settings file's instance names.
    CPacket m_params{GBN_PARAMETERS};
    // The settings file's full path.
    CString m_iniPath;
    // The DEVSHOW setting: the page's context menu offers the developer tools.
    int m_devShow = 0;
    // The operating system's major version; -1 until read.
    int m_osMajorVersion = -1;
};

// The one application object of the process.
CShellApp& ShellApp();

// The executable's directory, without a trailing separator.
CString GetExeDir();
// Whether a file exists at `path`.
BOOL FileExists(const CString& path);
