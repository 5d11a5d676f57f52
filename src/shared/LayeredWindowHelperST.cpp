#include "shared/LayeredWindowHelperST.h"

#include "platform/modules.h"

CLayeredWindowHelperST::CLayeredWindowHelperST()
    : m_hDll(LoadLibraryW(QStringLiteral("USER32.DLL"))) {}

CLayeredWindowHelperST::~CLayeredWindowHelperST() {
    if (m_hDll) {
        FreeLibrary(m_hDll);
        m_hDll = nullptr;
    }
}

BOOL CLayeredWindowHelperST::SetTransparencyPercent(HWND hWnd, int percent) {
    if (percent > 100)
        percent = 100;
    if (percent < 20)
        percent = 20;
    // Without the module there is nothing to call, and nothing to fail.
    if (!m_hDll)
        return 1;
    auto fn = reinterpret_cast<PFN_SetLayeredWindowAttributes>(
        GetProcAddress(m_hDll, "SetLayeredWindowAttributes"));
    if (!fn)
        return 0;
    const BYTE alpha = static_cast<BYTE>(percent * 255 / 100);
    return fn(hWnd, 0, alpha, LWA_ALPHA);
}
