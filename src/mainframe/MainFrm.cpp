#include "mainframe/MainFrm.h"

#include "app/VelkSTKApp.h"

CMainFrame::CMainFrame() = default;
CMainFrame::~CMainFrame() = default;

BOOL CMainFrame::PreCreateWindow(CREATESTRUCT& cs) {
    if (!CFrameWnd::PreCreateWindow(cs))
        return FALSE;
    RECT desktop;
    ::GetWindowRect(GetDesktopWindow(), &desktop);
    CPacket& params = VelkApp().m_params;
    const CString className =
        params.GetString(QStringLiteral("CLSNM"), QStringLiteral("VelkAppClass"));
    const CString windowName = params.GetString(QStringLiteral("WINNM"), QStringLiteral("VelkApp"));
    cs.cx = 100;
    cs.cy = 100;
    cs.x = static_cast<int>((desktop.right - 100) / 2);
    cs.y = static_cast<int>((desktop.bottom - 100) / 2);
    cs.style = WS_POPUP | WS_VISIBLE | WS_SYSMENU;
    cs.dwExStyle = WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_WINDOWEDGE;
    cs.lpszName = windowName;
    if (m_firstClass) {
        // The frame loading's first look-up takes a plain class.
        m_firstClass = false;
        cs.lpszClass = QStringLiteral("AfxWnd");
    } else {
        cs.lpszClass = className;
    }
    return TRUE;
}

int CMainFrame::OnCreate(CREATESTRUCT* cs) {
    if (CFrameWnd::OnCreate(cs) == -1)
        return -1;
    return 0;
}

void CMainFrame::OnClose() {
    CFrameWnd::OnClose();
}

void CMainFrame::EndApplication() {
    Sleep(100);
    PostMessage(WM_CLOSE);
}
