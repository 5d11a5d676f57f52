// Modules with entry points looked up at run time, as LoadLibraryW,
// FreeLibrary and GetProcAddress: a small table of named modules, so that
// the layered-window helper keeps its look-up-at-run-time shape and its
// failure paths can be tested through the module port.
//
// Threading: user-interface thread.
#pragma once

#include "framework/afxtypes.h"

// "USER32.DLL" (any case) offers "SetLayeredWindowAttributes".
using HMODULE = void*;
using FARPROC = void*;
HMODULE LoadLibraryW(const CString& name);
BOOL FreeLibrary(HMODULE module);
FARPROC GetProcAddress(HMODULE module, const char* name);
constexpr DWORD LWA_ALPHA = 0x2;
using PFN_SetLayeredWindowAttributes = BOOL (*)(HWND, COLORREF, BYTE, DWORD);

namespace platform {

class ModulePort {
public:
    virtual ~ModulePort() = default;
    virtual HMODULE Load(const CString& name) = 0;
    virtual BOOL Free(HMODULE module) = 0;
    virtual FARPROC EntryPoint(HMODULE module, const char* name) = 0;
};

// The real port: the one module there is, counted by reference, offering
// its entry point while a reference is held.
ModulePort& RealModules();
// The port in use (installed by ports.h).
ModulePort& ModulesInUse();

}  // namespace platform
