#include "shared/Settings.h"

#include "packet/Vocabulary.h"
#include "platform/IniFile.h"
#include "shared/ShellApp.h"

namespace {

// The longest value read, as the size of a Win32 reader's buffer.
constexpr int kValueBuffer = 512;
constexpr int kListBuffer = 8192;

CString IniPath() {
    return AfxGetApp() ? ShellApp().m_iniPath : CString();
}

}  // namespace

CString AppSetting(const CString& key, const CString& def) {
    return GetPrivateProfileStringW(setting::kAppSection, key, def, kValueBuffer, IniPath());
}

int AppSettingInt(const CString& key, int def) {
    return GetPrivateProfileIntW(setting::kAppSection, key, def, IniPath());
}

CString WindowTitleSetting() {
    return AppSetting(setting::kWindowTitle, QStringLiteral("벨크"));
}

CString EndQuestion() {
    return AppSetting(setting::kWindowTitle, QStringLiteral("VelkApp")) +
           QStringLiteral(" 를 종료하시겠습니까?");
}

CString TrustedOriginsSetting() {
    return GetPrivateProfileStringW(setting::kAppSection, setting::kTrustedOrigins, QString(),
                                    kListBuffer, IniPath());
}

CString InstanceClassName() {
    return ShellApp().m_params.GetString(field::kClassName, kDefaultClassName);
}

CString InstanceWindowName() {
    return ShellApp().m_params.GetString(field::kWindowName, kDefaultWindowName);
}

CString PlacementSection(int kind) {
    switch (kind) {
        case TP_SAVED_CHAT:
            return setting::kSavedChatSection;
        case TP_SAVED_W4X:
            return setting::kSavedW4xSection;
        default:
            return CString();
    }
}
