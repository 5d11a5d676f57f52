#include "platform/system.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
CString g_moduleFileName;
}

CString GetModuleFileNameW() {
    if (!g_moduleFileName.isEmpty()) return g_moduleFileName;
    return QDir::toNativeSeparators(QCoreApplication::applicationFilePath());
}

namespace platform {
void SetModuleFileNameForTesting(const CString& path) { g_moduleFileName = path; }
}  // namespace platform

QChar PathSeparator() { return QDir::separator(); }

BOOL PathFileExists(const CString& path) {
    if (path.isEmpty()) return FALSE;
    const QFileInfo info(path);
    return info.exists() && !info.isDir() ? TRUE : FALSE;
}

BOOL CreateEmptyFileIfMissing(const CString& path) {
    if (path.isEmpty()) return FALSE;
    if (PathFileExists(path)) return TRUE;
    // O_CREAT without O_TRUNC: a file that appeared in the meantime is left
    // as it is.
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return FALSE;
    ::close(fd);
    return TRUE;
}

bool IsDirectoryWritable(const CString& dir) {
    if (dir.isEmpty() || !QFileInfo(dir).isDir()) return false;
    QTemporaryFile probe(dir + QLatin1String("/.write-test-XXXXXX"));
    return probe.open();
}

CString UserDataDirectory() {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (dir.isEmpty()) dir = QDir::homePath() + QLatin1String("/.local/share");
    dir += QLatin1Char('/') + QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    QDir().mkpath(dir);
    return QDir::toNativeSeparators(dir);
}

BOOL GetVersionExW(OSVERSIONINFOW* info) {
    if (!info || info->dwOSVersionInfoSize == 0) return FALSE;
    info->dwMajorVersion = 10;
    info->dwMinorVersion = 0;
    info->dwBuildNumber = 0;
    info->dwPlatformId = 2;
    return TRUE;
}

CString GetSystemDirectoryW() { return QStringLiteral("/usr/bin"); }
CString GetWindowsDirectoryW() { return QStringLiteral("/usr"); }

namespace platform {
namespace {

int g_signalPipe[2] = {-1, -1};
std::function<void()> g_terminationHandler;

void OnSignal(int) {
    const char c = 1;
    // Only async-signal-safe work here: wake the user-interface thread.
    [[maybe_unused]] ssize_t n = ::write(g_signalPipe[1], &c, 1);
}

}  // namespace

void OnTerminationRequest(std::function<void()> handler) {
    g_terminationHandler = std::move(handler);
    if (g_signalPipe[0] >= 0) return;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0) return;
    ::fcntl(g_signalPipe[1], F_SETFL, O_NONBLOCK);
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read,
                                         QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, [] {
        char buf[16];
        [[maybe_unused]] ssize_t n = ::read(g_signalPipe[0], buf, sizeof buf);
        if (g_terminationHandler) g_terminationHandler();
    });
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
}

}  // namespace platform
