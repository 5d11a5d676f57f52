// Starting other programs: the plain start, the elevated start, and the
// Windows rules that split an argument text into arguments.
//
// Threading: user-interface thread.
#pragma once

#include <QStringList>
#include <functional>

#include "framework/afxtypes.h"

constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_BAD_EXE_FORMAT = 193;
constexpr DWORD ERROR_CANCELLED = 1223;

// Splits an argument text as the start-up code of Windows programs does:
// blanks (spaces, tabs) separate arguments; double quotes group, and two
// double quotes inside a group give one; 2n backslashes before a double
// quote give n backslashes and the quote keeps its meaning, 2n+1 give n and
// a literal quote; other backslashes are literal.
QStringList CommandLineToArgs(const CString& text);

// Starts `program` detached, with `parameters` split into arguments by
// CommandLineToArgs. The program path is executed as it is: it is never
// split at its spaces and no shell ever sees it or the arguments. Returns a
// value above 31 when the program started, else a Windows error code.
UINT WinExec(const CString& program, const CString& parameters, int show);

using ULONG = unsigned long;
constexpr ULONG SEE_MASK_NOASYNC = 0x00000100;
constexpr ULONG SEE_MASK_FLAG_NO_UI = 0x00000400;

struct SHELLEXECUTEINFOW {
    DWORD cbSize = 0;
    ULONG fMask = 0;
    HWND hwnd = nullptr;
    CString lpVerb;
    CString lpFile;
    CString lpParameters;
    CString lpDirectory;
    int nShow = 0;
};

// Starts info->lpFile with info->lpParameters (split as by WinExec). The
// verb "runas" starts it through the desktop's elevation tool, which asks
// the user; any other verb is refused with ERROR_ACCESS_DENIED. FALSE, with
// the error for GetLastError, when the start failed at once (the tool is
// missing: ERROR_FILE_NOT_FOUND). The tool's answer comes later, without
// blocking the windows: `refused` runs on the user-interface thread with
// ERROR_CANCELLED when the user declined, ERROR_ACCESS_DENIED when the
// elevation was not authorised or failed; nothing runs when the program
// was started.
BOOL ShellExecuteExW(SHELLEXECUTEINFOW* info, std::function<void(DWORD error)> refused);
