// Stand-ins for the Windows start-up services the application object calls:
// common controls, OLE and the control container. The toolkit needs none of
// them, so each succeeds without doing anything.
#pragma once

#include "framework/afxtypes.h"

struct INITCOMMONCONTROLSEX {
    DWORD dwSize = 0;
    DWORD dwICC = 0;
};
constexpr DWORD ICC_WIN95_CLASSES = 0x000000FF;

inline BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX*) {
    return TRUE;
}
inline BOOL AfxOleInit() {
    return TRUE;
}
inline void AfxOleTerm(BOOL) {}
inline void AfxEnableControlContainer() {}
inline HINSTANCE GetModuleHandleW(const wchar_t*) {
    return nullptr;
}
