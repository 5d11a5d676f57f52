#include "platform/system.h"

#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <sys/signalfd.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <csignal>

namespace {

// The path the toolkit found for this process's executable.
class ProcessExecutable final : public platform::ExecutablePort {
public:
    CString ModuleFileName() override {
        return QDir::toNativeSeparators(QCoreApplication::applicationFilePath());
    }
};

}  // namespace

CString GetModuleFileNameW() {
    return platform::ExecutableInUse().ModuleFileName();
}

namespace platform {

ExecutablePort& RealExecutable() {
    static auto* executable = new ProcessExecutable();
    return *executable;
}

}  // namespace platform

QChar PathSeparator() {
    return QDir::separator();
}

BOOL PathFileExists(const CString& path) {
    if (path.isEmpty())
        return FALSE;
    const QFileInfo info(path);
    return info.exists() && !info.isDir() ? TRUE : FALSE;
}

BOOL CreateEmptyFileIfMissing(const CString& path) {
    if (path.isEmpty())
        return FALSE;
    if (PathFileExists(path))
        return TRUE;
    // O_CREAT without O_TRUNC: a file that appeared in the meantime is left
    // as it is.
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return FALSE;
    ::close(fd);
    return TRUE;
}

bool IsDirectoryWritable(const CString& dir) {
    if (dir.isEmpty() || !QFileInfo(dir).isDir())
        return false;
    QTemporaryFile probe(dir + QLatin1String("/.write-test-XXXXXX"));
    return probe.open();
}

CString UserDataDirectory() {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (dir.isEmpty())
        dir = QDir::homePath() + QLatin1String("/.local/share");
    dir += QLatin1Char('/') + QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    QDir().mkpath(dir);
    return QDir::toNativeSeparators(dir);
}

BOOL GetVersionExW(OSVERSIONINFOW* info) {
    if (!info || info->dwOSVersionInfoSize == 0)
        return FALSE;
    info->dwMajorVersion = 10;
    info->dwMinorVersion = 0;
    info->dwBuildNumber = 0;
    info->dwPlatformId = 2;
    return TRUE;
}

CString GetSystemDirectoryW() {
    return QStringLiteral("/usr/bin");
}
CString GetWindowsDirectoryW() {
    return QStringLiteral("/usr");
}

namespace platform {
namespace {

int g_signalFd = -1;
std::function<void()> g_terminationHandler;

sigset_t TerminationSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP);
    return set;
}

}  // namespace

void HoldTerminationSignals() {
    // Blocked in the first thread, so every thread started later inherits
    // the block: a request to end never interrupts a system call of some
    // library's thread (an interrupted start-up handshake of the desktop
    // bus once hung the program). The signals wait, queued, until the
    // user-interface thread reads them.
    const sigset_t set = TerminationSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void OnTerminationRequest(std::function<void()> handler) {
    g_terminationHandler = std::move(handler);
    if (g_signalFd >= 0)
        return;
    const sigset_t set = TerminationSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    g_signalFd = ::signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
    if (g_signalFd < 0)
        return;
    auto* notifier =
        new QSocketNotifier(g_signalFd, QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, [] {
        signalfd_siginfo info;
        bool any = false;
        while (::read(g_signalFd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
            any = true;
        }
        if (any && g_terminationHandler)
            g_terminationHandler();
    });
}

void ReleaseTerminationSignalsInChild() {
    const sigset_t set = TerminationSignals();
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

bool RunsAsSuperUser() {
    return ::geteuid() == 0;
}

bool CanMakeUserNamespace() {
    // A bare clone, as the engine's own check does: the child does nothing
    // but end, so it is safe even though this process has threads.
    const long pid =
        ::syscall(SYS_clone, CLONE_NEWUSER | SIGCHLD, nullptr, nullptr, nullptr, nullptr);
    if (pid == 0)
        ::_exit(0);
    if (pid < 0)
        return false;
    int status = 0;
    while (::waitpid(static_cast<pid_t>(pid), &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace platform
