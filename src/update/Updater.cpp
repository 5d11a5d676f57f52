#include "update/Updater.h"

#include <cstdio>
#include <memory>
#include <utility>

#include "framework/afxwin.h"
#include "packet/Fields.h"
#include "packet/Packet.h"
#include "platform/instance.h"
#include "platform/system.h"
#include "shared/ShellApp.h"
#include "update/TrustedOrigins.h"

namespace {

using platform::ProgramFile;
using FilePtr = std::shared_ptr<const ProgramFile>;

CString JoinPath(const CString& dir, const CString& file) {
    return dir + PathSeparator() + file;
}

void ReportStartFailure(DWORD error) {
    AfxMessageBox(QStringLiteral("프로그램 실행 에러 !!.\r\n0x%1").arg(error, 0, 16), MB_OK);
}

BOOL Refuse(const QString& reason) {
    std::fprintf(stderr, "program start refused: %s\n", qPrintable(reason));
    return FALSE;
}

// The updater lies in the program's directory: its name is a file name
// there, never a path that leads elsewhere.
bool IsBareFileName(const CString& name) {
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) &&
           !name.contains(QChar(0));
}

// Opens the file to start. Null when there is none (then the updater, or
// nothing, takes its place); a file that is there but is no regular file is
// refused, and `refused` is set.
FilePtr OpenToStart(const CString& path, bool* refused) {
    ProgramFile::Opening opening = ProgramFile::Opening::Missing;
    FilePtr file = ProgramFile::Open(path, &opening);
    if (opening == ProgramFile::Opening::NotRegularFile) {
        Refuse(QStringLiteral("%1 is not a regular file").arg(path));
        *refused = true;
    }
    return file;
}

// What is left to decide once the program's file is known (null when
// missing) and its sum compared.
struct Request {
    int elevate = 0;
    CString arguments;
    CString updater;  // the updater's full path
    CString updateUrl;
};

BOOL Start(const Request& request, const FilePtr& program) {
    FilePtr file = program;
    CString arguments = request.arguments;
    int elevate = request.elevate;
    if (!file) {
        bool refused = false;
        file = OpenToStart(request.updater, &refused);
        if (!file)
            return FALSE;
        arguments = request.updateUrl;
        elevate = 1;
    }
    if (arguments.isEmpty())
        return FALSE;

    // Elevation exists from Windows Vista (6) on; this platform reports 10.
    // An unknown version honours the request for elevation.
    const int major = ShellApp().GetOsMajorVersion();
    if ((major < 0 || major >= 6) && elevate != 0)
        return RunElevated(*file, arguments);
    WinExec(*file, arguments, SW_SHOW);
    return TRUE;
}

}  // namespace

BOOL LaunchProgram(CPacket& packet, std::function<void(BOOL)> done) {
    const auto finish = [&done](BOOL result) {
        if (done)
            done(result);
        return result;
    };
    QString reason;
    if (!IsTrustedSender(packet.Source(), &reason))
        return finish(Refuse(reason));
    const CString updaterName = packet.GetString(field::kUpdaterFile, QStringLiteral("Tavro.exe"));
    if (!IsBareFileName(updaterName)) {
        return finish(Refuse(
            QStringLiteral("the updater \"%1\" is not a file name of the program's directory")
                .arg(updaterName)));
    }

    Request request;
    request.elevate = packet.GetInt(field::kRunAsAdmin, 0);
    const CString dir = packet.GetString(field::kProgramDirectory, QString());
    const CString name = packet.GetString(field::kProgramFile, QString());
    CString path;
    if (dir.isEmpty())
        path = JoinPath(GetExeDir(), name);
    else if (dir == field::kSystemDirectory)
        path = JoinPath(GetSystemDirectoryW(), name);
    else if (dir == field::kWindowsDirectory)
        path = JoinPath(GetWindowsDirectoryW(), name);
    else
        path = JoinPath(dir, name);  // a relative directory stays relative
    request.arguments = packet.GetString(field::kArguments, QString());
    request.updater = JoinPath(GetExeDir(), updaterName);
    request.updateUrl = packet.GetString(field::kUpdateUrl, QString());

    bool refused = false;
    FilePtr program = OpenToStart(path, &refused);
    if (refused)
        return finish(FALSE);
    // The CRC is a signed 32-bit number; the file's sum is compared with its
    // 32 bits.
    const int crc = program ? packet.GetInt(field::kChecksum, 0) : 0;
    if (crc == 0)
        return finish(Start(request, program));
    if (program->Size() > platform::kLargestSummedFile) {
        return finish(
            Refuse(QStringLiteral("%1 is too large to check (more than 1 GiB)").arg(path)));
    }
    // A file that cannot be read is started unchecked; a different sum
    // starts the updater instead.
    platform::SumInBackground(program, [request = std::move(request), program, crc,
                                        done = std::move(done)](bool readable, DWORD sum) {
        const bool same = !readable || static_cast<DWORD>(crc) == sum;
        const BOOL result = Start(request, same ? program : nullptr);
        if (done)
            done(result);
    });
    return TRUE;
}

BOOL RunElevated(const platform::ProgramFile& program, const CString& arguments) {
    SHELLEXECUTEINFOW info;
    info.cbSize = 60;
    info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.hwnd = nullptr;
    info.lpVerb = QStringLiteral("runas");
    info.lpFile = &program;
    info.lpParameters = arguments;
    info.nShow = SW_SHOWNORMAL;
    // The user's answer comes later; the windows go on meanwhile.
    if (ShellExecuteExW(&info, [](DWORD error) { ReportStartFailure(error); }))
        return TRUE;
    ReportStartFailure(GetLastError());
    return FALSE;
}

DWORD FileCrc32(const CString& path, DWORD* crc) {
    *crc = 0;
    ProgramFile::Opening opening = ProgramFile::Opening::Missing;
    const FilePtr file = ProgramFile::Open(path, &opening);
    if (!file)
        return opening == ProgramFile::Opening::Missing ? ERROR_FILE_NOT_FOUND
                                                        : ERROR_ACCESS_DENIED;
    return file->Crc32(crc) ? 0 : ERROR_ACCESS_DENIED;
}
