// Starting other programs: the program's file opened once and summed from
// its descriptor, the plain start, the elevated start (the process port),
// the environment the started programs get, and the Windows rules that
// split an argument text into arguments.
//
// Threading: user-interface thread, except where noted.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>
#include <QByteArray>
#include <QList>
#include <QStringList>
#include <functional>
#include <memory>

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

namespace platform {

// A program's file, opened once by its path and then known by its
// descriptor: its CRC-32 is read from the descriptor and the same file is
// the one started, whatever the path names meanwhile. The path is looked up
// once, at the opening (a link is followed then); a FIFO or a device is
// never opened for reading, so nothing here waits on one.
class ProgramFile {
public:
    enum class Opening {
        Opened,
        Missing,        // nothing there, or a directory
        NotRegularFile  // a FIFO, a device, a socket
    };
    // The file at `path`, or null with the reason in `opening`.
    static std::shared_ptr<const ProgramFile> Open(const CString& path, Opening* opening);
    ~ProgramFile();
    ProgramFile(const ProgramFile&) = delete;
    ProgramFile& operator=(const ProgramFile&) = delete;

    const CString& Path() const { return m_path; }
    int Descriptor() const { return m_fd; }
    qint64 Size() const { return m_stat.st_size; }
    // Whether the file still has the size and modification time it had when
    // it was opened.
    bool Unchanged() const;
    // Whether the path still names this very file (same device and inode),
    // unchanged.
    bool StillAtPath() const;
    // The standard CRC-32 of the whole file, read through the descriptor.
    // False when the file cannot be read (its permissions); a read error
    // ends the sum early. Any thread.
    bool Crc32(DWORD* crc) const;

private:
    ProgramFile(CString path, int fd, const struct stat& st);
    CString m_path;
    int m_fd;
    struct stat m_stat;
};

// The largest program file whose CRC-32 is computed: 1 GiB. Programs and
// installers are a few hundred MiB at most; a larger file is not one the
// service ships, and summing it would keep the disk busy for long.
constexpr qint64 kLargestSummedFile = qint64{1} << 30;

// Computes the file's CRC-32 on a worker thread, so that the windows go on
// meanwhile, and hands the outcome of ProgramFile::Crc32 to `summed` on the
// user-interface thread.
void SumInBackground(std::shared_ptr<const ProgramFile> file,
                     std::function<void(bool readable, DWORD crc)> summed);

// The environment of a started program, from this process's `environment`
// (NAME=value entries): the user's, without the engine's switches
// (QTWEBENGINE_*), without the dynamic loader's settings (LD_*), which are
// meant for this program and not for what it starts, and without the
// session bus address "disabled:" that this process sets where the session
// has no bus.
QList<QByteArray> ProgramEnvironment(const QList<QByteArray>& environment);
// The elevation tool's environment: only what the desktop's authentication
// agent needs to show its question (DISPLAY, WAYLAND_DISPLAY, XAUTHORITY,
// DBUS_SESSION_BUS_ADDRESS, XDG_RUNTIME_DIR, HOME, LANG, LANGUAGE, LC_*),
// and the fixed PATH /usr/bin:/bin.
QList<QByteArray> ElevationToolEnvironment(const QList<QByteArray>& environment);

// Starts `executable` (an absolute path) detached with `arguments`, with
// ProgramEnvironment; false when it could not be started.
bool StartDesktopProgram(const CString& executable, const QStringList& arguments);

// Whether the elevation tool named `toolName`, seen at its exit through its
// /proc stat and status texts, had become another program: its name is no
// longer the tool's, or its real user is no longer `uid`. The tool becomes
// the program it starts (by exec) once the start is authorised; until then
// it keeps our real user and its own name.
bool BecameAnotherProgram(const QByteArray& stat, const QByteArray& status,
                          const QByteArray& toolName, uid_t uid);

// Starts programs: the opened `program` file itself is executed (never
// split, never looked up, never through a shell) with `arguments` as its
// argument list, in a session of its own, detached from this process. The
// elevated start goes through the desktop's elevation tool and reports,
// later, on the user-interface thread, how the tool answered: 0 when it
// started the program, else the Windows error code of the refusal.
class ProcessPort {
public:
    virtual ~ProcessPort() = default;
    // False when the program could not be started.
    virtual bool Start(const ProgramFile& program, const QStringList& arguments) = 0;
    // False (with a Windows error code in `error`) when the elevation tool
    // could not be started at all; otherwise `answered` follows.
    virtual bool StartElevated(const ProgramFile& program, const QStringList& arguments,
                               std::function<void(DWORD error)> answered, DWORD* error) = 0;
};

// The real port: the program's file executed through its descriptor, with
// ProgramEnvironment; the elevated start through the elevation tool the
// build names, with ElevationToolEnvironment.
ProcessPort& RealProcesses();
// The port in use (installed by ports.h).
ProcessPort& ProcessesInUse();

}  // namespace platform

// Starts `program` detached, with `parameters` split into arguments by
// CommandLineToArgs. The program's own file is executed (never split, never
// looked up, never given to a shell), with ProgramEnvironment; it is
// refused (ERROR_ACCESS_DENIED) when it changed since it was opened.
// Returns a value above 31 when the program started, else a Windows error
// code.
UINT WinExec(const platform::ProgramFile& program, const CString& parameters, int show);

using ULONG = unsigned long;
constexpr ULONG SEE_MASK_NOASYNC = 0x00000100;
constexpr ULONG SEE_MASK_FLAG_NO_UI = 0x00000400;

struct SHELLEXECUTEINFOW {
    DWORD cbSize = 0;
    ULONG fMask = 0;
    HWND hwnd = nullptr;
    CString lpVerb;
    // The file to start; the elevation tool is given its path.
    const platform::ProgramFile* lpFile = nullptr;
    CString lpParameters;
    CString lpDirectory;
    int nShow = 0;
};

// Starts info->lpFile with info->lpParameters (split as by WinExec). The
// verb "runas" starts it through the desktop's elevation tool (polkit's
// pkexec, by the absolute path the build names, with
// ElevationToolEnvironment), which asks the user; any other verb is refused
// with ERROR_ACCESS_DENIED. The tool needs the program's path: right before
// the start the path must still name the very file opened, unchanged. FALSE,
// with the error for GetLastError, when the start failed at once (the tool
// is missing: ERROR_FILE_NOT_FOUND; the file changed: ERROR_ACCESS_DENIED).
// The tool's answer comes later, without blocking the windows: `refused`
// runs on the user-interface thread with ERROR_CANCELLED when the user
// declined, ERROR_ACCESS_DENIED when the elevation was not authorised or
// failed; nothing runs when the program was started, whatever its status.
BOOL ShellExecuteExW(SHELLEXECUTEINFOW* info, std::function<void(DWORD error)> refused);
