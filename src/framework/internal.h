// Pieces of the framework shared between its own source files.
#pragma once

#include <QMargins>

#include "framework/afxwin.h"

class QWidget;

namespace framework {

// Window timers, driven by the current clock.
void SetWindowTimer(HWND h, UINT_PTR id, UINT elapseMs);
bool KillWindowTimer(HWND h, UINT_PTR id);
void KillAllWindowTimers(HWND h);

// True once the quit message has been posted; its exit code.
bool QuitPosted();
int QuitExitCode();
void ResetQuit();

// Prepares a new top-level window, before its native window exists, for
// the children it may receive (see SetTopLevelWindowsComposited).
void PrepareForComposition(QWidget* topLevel);

// The decorations the window manager gave the last decorated window.
QMargins LastFrameMargins();
void SetLastFrameMargins(const QMargins& margins);

}  // namespace framework
