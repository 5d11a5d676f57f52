// Pieces of the framework shared between its own source files.
#pragma once

#include <QMargins>
#include <cstdint>
#include <unordered_map>

#include "framework/afxwin.h"

class QWidget;

namespace framework {

// Gives the memory that closed windows freed back to the system, once no
// window has closed for a while (called at every top-level window's end).
void ReturnFreedMemorySoon();

// Window timers, driven by the current clock.
void SetWindowTimer(HWND h, UINT_PTR id, UINT elapseMs);
bool KillWindowTimer(HWND h, UINT_PTR id);
void KillAllWindowTimers(HWND h);
bool IsWindowTimerSet(HWND h, UINT_PTR id);

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

// Handle table. Handles are never reused within a run.

struct WindowTable {
    std::unordered_map<HWND, CWnd*> windows;
    std::uintptr_t next = 0x10000;

    static WindowTable& Get() {
        static auto* table = new WindowTable();
        return *table;
    }
    HWND Add(CWnd* w) {
        next += 4;
        HWND h = reinterpret_cast<HWND>(next);
        windows[h] = w;
        return h;
    }
    CWnd* Find(HWND h) const {
        auto it = windows.find(h);
        return it == windows.end() ? nullptr : it->second;
    }
};
