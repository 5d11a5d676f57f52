// The notification-area icon of the main frame: tip, application icon,
// balloons, and the menu that tray hosts drawing it themselves show. It
// never creates a window of its own.
#pragma once

#include "framework/afxwin.h"
#include "platform/tray.h"

class CTrayIcon : public CWnd {
public:
    CTrayIcon();
    BOOL AddIcon(CWnd* owner, UINT callbackMessage, const CString& tip);
    BOOL SetAppIcon();
    // Texts longer than the balloon's 255 characters are cut to fit.
    BOOL ShowBalloon(const CString& text);
    BOOL RemoveIcon();

private:
    NOTIFYICONDATAW m_data;
};
