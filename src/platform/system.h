// Operating-system services the system calls: the executable's file name
// (the executable port), file existence, the system's version,
// directories, the user-interface sleep, and the request to end the program
// from outside.
//
// Threading: user-interface thread, except where noted.
#pragma once

#include <functional>

#include "framework/afxtypes.h"

// The full path of the executable (never the current directory's idea of
// it), as the executable port reports it.
CString GetModuleFileNameW();
// The platform's directory separator: '\' on Windows, '/' elsewhere.
QChar PathSeparator();

// Existence test of a file, with no limit on the path's length or
// characters (unlike the ANSI existence test of old Windows). Directories do
// not count as files.
BOOL PathFileExists(const CString& path);

// Creates an empty file at `path` when no file is there; never truncates an
// existing one. Returns TRUE when the file exists afterwards.
BOOL CreateEmptyFileIfMissing(const CString& path);

// Whether new files can be written in `dir`.
bool IsDirectoryWritable(const CString& dir);
// The per-user data directory of the application (created when needed).
CString UserDataDirectory();

struct OSVERSIONINFOW {
    DWORD dwOSVersionInfoSize = 0;
    DWORD dwMajorVersion = 0;
    DWORD dwMinorVersion = 0;
    DWORD dwBuildNumber = 0;
    DWORD dwPlatformId = 0;
};
// Fills the version; on systems other than Windows the major version reads
// as 10. Fails when the size field is not set.
BOOL GetVersionExW(OSVERSIONINFOW* info);

// The system and Windows directories; on other systems documented
// stand-ins (/usr/bin and /usr).
CString GetSystemDirectoryW();
CString GetWindowsDirectoryW();

namespace platform {

// The full path of the executable, with the platform's separators.
class ExecutablePort {
public:
    virtual ~ExecutablePort() = default;
    virtual CString ModuleFileName() = 0;
};

// The real port: the path the toolkit found for this process's executable.
ExecutablePort& RealExecutable();
// The port in use (installed by ports.h).
ExecutablePort& ExecutableInUse();

// Holds back the requests to end from outside (SIGTERM, SIGINT, SIGHUP)
// until OnTerminationRequest handles them. Called by the process's set-up
// (setup.h) first thing, before any thread exists.
void HoldTerminationSignals();
// Calls `handler` on the user-interface thread when the process is asked to
// end from outside (SIGTERM, SIGINT, SIGHUP), including a request that came
// while start-up ran. The handler replaces any earlier one. Safe to call
// once the toolkit application exists.
void OnTerminationRequest(std::function<void()> handler);
// For a program this process starts: lets it receive those requests again
// (to be called in the child between fork and exec).
void ReleaseTerminationSignalsInChild();

// Whether the process runs with the superuser's rights (effective user 0).
bool RunsAsSuperUser();
// Whether the system lets this process make a user namespace, the way the
// engine makes one for each sandboxed page process (a chrooted process, a
// kernel set to refuse them to ordinary users, a security module's rule
// all say no). Tried in a child process that ends at once.
bool CanMakeUserNamespace();
}  // namespace platform
