// Makes a layered window partly transparent by percentage, through the
// layered-window entry point looked up at run time in "USER32.DLL".
#pragma once

#include "framework/afxtypes.h"

class CLayeredWindowHelperST {
public:
    CLayeredWindowHelperST();
    virtual ~CLayeredWindowHelperST();
    CLayeredWindowHelperST(const CLayeredWindowHelperST&) = delete;
    CLayeredWindowHelperST& operator=(const CLayeredWindowHelperST&) = delete;

    // The caller gives the window WS_EX_LAYERED first. The percentage is
    // held within 20 to 100. Non-zero on success.
    BOOL SetTransparencyPercent(HWND hWnd, int percent);

private:
    void* m_hDll = nullptr;
};
