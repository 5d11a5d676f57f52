// Shell services: opening an address in the user's default browser.
//
// Threading: user-interface thread.
#pragma once

#include "framework/afxtypes.h"

// Opens `file` with the verb "open". Only web addresses (http and https)
// are opened, in the user's default browser (the URL opener port of
// ports.h): a page can hand any text here, and on a desktop "open" would
// also start local files and programs. Returns a value greater than 32 on
// success, as the Windows call does, and 2 (file not found) for anything
// refused.
std::intptr_t ShellExecuteW(HWND owner, const CString& verb, const CString& file,
                            const CString& parameters, const CString& directory, int show);
