// The hidden main frame: the process's findable top-level window (its class
// is the CLSNM setting, its title the WINNM setting), owner of the tray icon
// and the frame registry, and the hub of the commands that browser windows
// pass up.
#pragma once

#include "framework/afxwin.h"

class CMainFrame : public CFrameWnd {
public:
    CMainFrame();
    ~CMainFrame() override;

    // The orderly end of the application: the main chat window is hidden,
    // then the main frame closes 100 ms later.
    void EndApplication();

protected:
    BOOL PreCreateWindow(CREATESTRUCT& cs) override;
    int OnCreate(CREATESTRUCT* cs) override;
    void OnClose() override;

private:
    bool m_firstClass = true;
};
