#include "update/Updater.h"

#include <zlib.h>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <vector>

#include "framework/afxwin.h"
#include "packet/Packet.h"
#include "platform/instance.h"
#include "platform/process.h"
#include "platform/system.h"
#include "shared/ShellApp.h"
#include "update/TrustedOrigins.h"

namespace {

CString JoinPath(const CString& dir, const CString& file) {
    return dir + PathSeparator() + file;
}

void ReportStartFailure(DWORD error) {
    AfxMessageBox(QStringLiteral("프로그램 실행 에러 !!.\r\n0x%1").arg(error, 0, 16), MB_OK);
}

}  // namespace

BOOL LaunchProgram(CPacket& packet) {
    QString reason;
    if (!IsTrustedSender(packet.Source(), &reason)) {
        std::fprintf(stderr, "program start refused: %s\n", qPrintable(reason));
        return FALSE;
    }

    int elevate = packet.GetInt(QStringLiteral("RUNASADMIN"), 0);
    const CString dir = packet.GetString(QStringLiteral("PATH"), QString());
    const CString file = packet.GetString(QStringLiteral("EXEFILE"), QString());
    CString path;
    if (dir.isEmpty())
        path = JoinPath(GetExeDir(), file);
    else if (dir == QLatin1String("SYS"))
        path = JoinPath(GetSystemDirectoryW(), file);
    else if (dir == QLatin1String("WIN"))
        path = JoinPath(GetWindowsDirectoryW(), file);
    else
        path = JoinPath(dir, file);  // a relative directory stays relative
    CString arguments = packet.GetString(QStringLiteral("PARAM"), QString());

    bool program = false;
    if (!path.isEmpty() && FileExists(path)) {
        // The CRC is a signed 32-bit number; the file's sum is compared
        // with its 32 bits.
        const int crc = packet.GetInt(QStringLiteral("CRC"), 0);
        DWORD sum = 0;
        program = crc == 0 || FileCrc32(path, &sum) != 0 || static_cast<DWORD>(crc) == sum;
    }
    if (!program) {
        path = JoinPath(GetExeDir(),
                        packet.GetString(QStringLiteral("UPDFILE"), QStringLiteral("Tavro.exe")));
        if (path.isEmpty() || !FileExists(path))
            return FALSE;
        arguments = packet.GetString(QStringLiteral("UPDATEURL"), QString());
        elevate = 1;
    }
    if (arguments.isEmpty())
        return FALSE;

    // Elevation exists from Windows Vista (6) on; this platform reports 10.
    // An unknown version honours the request for elevation.
    const int major = ShellApp().GetOsMajorVersion();
    if ((major < 0 || major >= 6) && elevate != 0)
        return RunElevated(path, arguments);
    WinExec(path, arguments, SW_SHOW);
    return TRUE;
}

BOOL RunElevated(const CString& path, const CString& arguments) {
    SHELLEXECUTEINFOW info;
    info.cbSize = 60;
    info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.hwnd = nullptr;
    info.lpVerb = QStringLiteral("runas");
    info.lpFile = path;
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
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return QFileInfo::exists(path) ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND;
    uLong sum = ::crc32(0L, Z_NULL, 0);
    std::vector<char> block(std::size_t{64} * 1024);
    for (;;) {
        const qint64 n = file.read(block.data(), static_cast<qint64>(block.size()));
        if (n <= 0)
            break;
        sum = ::crc32(sum, reinterpret_cast<const Bytef*>(block.data()), static_cast<uInt>(n));
    }
    *crc = static_cast<DWORD>(sum);
    return 0;
}
