#include "shared/Settings.h"

#include "platform/IniFile.h"
#include "shared/ShellApp.h"

namespace {

const CString kSection = QStringLiteral("APP");
const CString kTitleKey = QStringLiteral("WINTIT");

CString IniPath() {
    return AfxGetApp() ? ShellApp().m_iniPath : CString();
}

}  // namespace

CString AppSetting(const CString& key, const CString& def) {
    return GetPrivateProfileStringW(kSection, key, def, 512, IniPath());
}

int AppSettingInt(const CString& key, int def) {
    return GetPrivateProfileIntW(kSection, key, def, IniPath());
}

CString WindowTitleSetting() {
    return AppSetting(kTitleKey, QStringLiteral("벨크"));
}

CString EndQuestion() {
    return AppSetting(kTitleKey, QStringLiteral("VelkApp")) +
           QStringLiteral(" 를 종료하시겠습니까?");
}
