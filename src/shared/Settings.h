// The settings: every key of app.ini's APP section and every section and
// key of the per-user profile, named once here, with readers for the
// settings more than one place reads and the defaults they share. Nothing
// else writes a setting's name. Where a setting gives the default of a
// packet field of the same name, its key is that field's name.
//
// Threading: user-interface thread.
#pragma once

#include <QString>

#include "framework/afxtypes.h"
#include "packet/Fields.h"

namespace setting {
// app.ini's section.
inline const CString kAppSection = QStringLiteral("APP");

// The program's title: the chat window's caption and the tray's tip.
inline const CString kWindowTitle = QStringLiteral("WINTIT");
// Non-zero: the page's context menu offers the developer tools.
inline const CString kDevShow = QStringLiteral("DEVSHOW");
// Origins trusted besides the service's own, separated by blanks or commas.
inline const CString kTrustedOrigins = QStringLiteral("TRUSTEDORIGINS");
// Whether a chat view's zoom follows its height at first; the zoom
// command's field of the same name changes it.
inline const CString& kAutoScale = field::kAutoScale;
// The instance names, the defaults of the launch parameters of the same
// names.
inline const CString& kMutex = field::kMutex;
inline const CString& kClassName = field::kClassName;
inline const CString& kWindowName = field::kWindowName;

// The main chat window: its start page and minimum size, and the defaults
// of its creation packet's fields of the same names.
inline const CString kStartUrl = QStringLiteral("STARTURL");
inline const CString kMinWidth = QStringLiteral("LMW");
inline const CString kMinHeight = QStringLiteral("LMH");
inline const CString& kLeft = field::kLeft;
inline const CString& kTop = field::kTop;
inline const CString& kWidth = field::kWidth;
inline const CString& kHeight = field::kHeight;
inline const CString& kHeader = field::kHeader;
inline const CString& kBorderColor = field::kBorderColor;
inline const CString& kGapX = field::kGapX;
inline const CString& kGapY = field::kGapY;

// The profile: the places of the windows that keep theirs (field::kLeft,
// kTop, kWidth, kHeight in a section of the window's kind), and the alarm
// settings a page stored, a packet's text.
inline const CString kSavedChatSection = QStringLiteral("CHAT");
inline const CString kSavedW4xSection = QStringLiteral("W4X");
inline const CString kAlarmSection = QStringLiteral("ALARM");
inline const CString kAlarmSettings = QStringLiteral("CFG");
}  // namespace setting

// The instance names' defaults: the main window's class and window name
// (CLSNM, WINNM) by which a later start finds the running one, and the
// MUTEX that asks for no single-instance guard.
inline const CString kDefaultClassName = QStringLiteral("VelkAppClass");
inline const CString kDefaultWindowName = QStringLiteral("VelkApp");
inline const CString kNoMutex = QStringLiteral("NO-MUTEX");

// The settings file's APP values; `def` without an application object.
CString AppSetting(const CString& key, const CString& def);
int AppSettingInt(const CString& key, int def);

// WINTIT where it names the chat window and the tray's tip ("벨크" when
// missing).
CString WindowTitleSetting();
// The question asked before the application ends at the user's or a page's
// request; it names the program by WINTIT ("VelkApp" when missing).
CString EndQuestion();
// TRUSTEDORIGINS as written, up to 8191 characters: a list is longer than
// the other values.
CString TrustedOriginsSetting();

// The main window's class and window name as start-up settled them (the
// launch parameter, else the settings file, else the default).
CString InstanceClassName();
CString InstanceWindowName();

// The profile section that keeps the place of a window of kind `kind`
// (TP_*), or an empty text for a kind that keeps none.
CString PlacementSection(int kind);
