// Pieces of the framework shared between its own source files.
#pragma once

#include "framework/afxwin.h"

namespace framework {

// Window timers, driven by the current clock.
void SetWindowTimer(HWND h, UINT_PTR id, UINT elapseMs);
bool KillWindowTimer(HWND h, UINT_PTR id);
void KillAllWindowTimers(HWND h);

// True once the quit message has been posted; its exit code.
bool QuitPosted();
int QuitExitCode();
void ResetQuit();

}  // namespace framework
