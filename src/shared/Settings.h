// The settings of app.ini's APP section that more than one window reads,
// each with its default named once here.
//
// Threading: user-interface thread.
#pragma once

#include <QString>

#include "framework/afxtypes.h"

// The instance names' defaults: the main window's class and window name
// (CLSNM, WINNM) by which a later start finds the running one.
inline const CString kDefaultClassName = QStringLiteral("VelkAppClass");
inline const CString kDefaultWindowName = QStringLiteral("VelkApp");

// The settings file's APP values; `def` without an application object.
CString AppSetting(const CString& key, const CString& def);
int AppSettingInt(const CString& key, int def);

// WINTIT where it names the chat window and the tray's tip ("벨크" when
// missing).
CString WindowTitleSetting();
// The question asked before the application ends at the user's or a page's
// request; it names the program by WINTIT ("VelkApp" when missing).
CString EndQuestion();
