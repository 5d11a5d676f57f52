#include "platform/process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QThreadPool>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <thread>
#include <vector>

#include "platform/instance.h"

extern char** environ;

namespace {

// The elevation tool, by the absolute path the build names: never looked
// up on PATH, which is the user's (or a page-started program's) to change.
constexpr const char* kElevationTool = VELK_PKEXEC;

// The descriptor a started program's file has in the child, which is
// executed as /proc/self/fd/N. A script's interpreter is handed that name
// and opens it, so the descriptor stays open (not close-on-exec) there.
constexpr int kProgramDescriptor = 3;

DWORD WindowsError(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return ERROR_FILE_NOT_FOUND;
        case ENOEXEC:
            return ERROR_BAD_EXE_FORMAT;
        default:
            return ERROR_ACCESS_DENIED;
    }
}

QList<QByteArray> CurrentEnvironment() {
    QList<QByteArray> entries;
    for (char** e = environ; e && *e; ++e)
        entries << QByteArray(*e);
    return entries;
}

QByteArray NameOf(const QByteArray& entry) {
    const qsizetype eq = entry.indexOf('=');
    return eq < 0 ? entry : entry.left(eq);
}

void RefuseChanged(const CString& path) {
    std::fprintf(stderr, "program start refused: %s changed after it was checked\n",
                 qPrintable(path));
}

struct SpawnRequest {
    QByteArray executable;  // what is executed
    QByteArray name;        // the child's argv[0]
    QStringList arguments;
    QList<QByteArray> environment;
    int keep = -1;  // a descriptor handed to the child as kProgramDescriptor
};

// Starts a child in a session of its own, with the default signal handling
// and an empty signal mask (this process holds back the requests to end;
// its children must not), with `request.environment` only, and with none of
// this process's descriptors beyond the standard three and `request.keep`
// (an inherited lock would keep this instance's mutex held after it ends).
// Returns 0 or an errno value.
int Spawn(const SpawnRequest& request, pid_t* pid) {
    std::vector<QByteArray> texts{request.name};
    texts.reserve(static_cast<size_t>(request.arguments.size()) + 1);
    for (const QString& a : request.arguments)
        texts.push_back(a.toLocal8Bit());
    std::vector<char*> argv;
    argv.reserve(texts.size() + 1);
    for (QByteArray& t : texts)
        argv.push_back(t.data());
    argv.push_back(nullptr);
    QList<QByteArray> environment = request.environment;
    std::vector<char*> envp;
    envp.reserve(static_cast<size_t>(environment.size()) + 1);
    for (QByteArray& e : environment)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attr, &none);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int s : {SIGPIPE, SIGTERM, SIGINT, SIGHUP, SIGCHLD})
        sigaddset(&defaults, s);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setflags(&attr,
                             POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSID);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    int closeFrom = 3;
    if (request.keep >= 0) {
        // dup2 onto itself clears close-on-exec in the child as well.
        posix_spawn_file_actions_adddup2(&actions, request.keep, kProgramDescriptor);
        closeFrom = kProgramDescriptor + 1;
    }
    posix_spawn_file_actions_addclosefrom_np(&actions, closeFrom);

    const int rc =
        posix_spawn(pid, request.executable.constData(), &actions, &attr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    return rc;
}

// Collects the child's exit when it comes, so that it never stays a zombie.
// On the user-interface thread, `exited` sees the ended child while it is
// still in /proc (not yet collected), then `ended` gets its wait status.
// The program does not wait for it: when this process ends first, the child
// goes on.
void Watch(pid_t pid, std::function<void(pid_t pid)> exited,
           std::function<void(int status)> ended) {
    const int fd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (fd < 0) {
        // Without process descriptors the exit is collected by a thread and
        // its status is not reported.
        std::thread([pid] {
            int status = 0;
            ::waitpid(pid, &status, 0);
        }).detach();
        return;
    }
    // The notifier deletes itself once the child has ended (deleteLater in
    // its own slot), which the analyzer cannot see; while the child runs it
    // is meant to live on.
    // NOLINTBEGIN(clang-analyzer-cplusplus.NewDeleteLeaks)
    auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read);
    QObject::connect(
        notifier, &QSocketNotifier::activated, notifier,
        [notifier, fd, pid, exited = std::move(exited), ended = std::move(ended)] {
            siginfo_t info{};
            if (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0 ||
                info.si_pid == 0) {
                return;
            }
            notifier->setEnabled(false);
            notifier->deleteLater();
            ::close(fd);
            if (exited)
                exited(pid);
            int status = 0;
            ::waitpid(pid, &status, 0);
            if (ended)
                ended(status);
        });
}
// NOLINTEND(clang-analyzer-cplusplus.NewDeleteLeaks)

QByteArray ReadProcFile(pid_t pid, const char* name) {
    QFile file(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(name)));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class Spawner final : public platform::ProcessPort {
public:
    bool Start(const platform::ProgramFile& program, const QStringList& arguments) override {
        if (!program.Unchanged()) {
            RefuseChanged(program.Path());
            return false;
        }
        // The descriptor's file, reached through the child's own copy of the
        // descriptor: no name is looked up between the check and the start.
        SpawnRequest request{QByteArray("/proc/self/fd/") + QByteArray::number(kProgramDescriptor),
                             QFile::encodeName(program.Path()), arguments,
                             platform::ProgramEnvironment(CurrentEnvironment()),
                             program.Descriptor()};
        pid_t pid = 0;
        if (Spawn(request, &pid) != 0)
            return false;
        Watch(pid, {}, {});
        return true;
    }

    bool StartElevated(const platform::ProgramFile& program, const QStringList& arguments,
                       std::function<void(DWORD)> answered, DWORD* error) override {
        const QByteArray tool(kElevationTool);
        if (!QFileInfo(QFile::decodeName(tool)).isExecutable()) {
            *error = ERROR_FILE_NOT_FOUND;
            return false;
        }
        // The tool starts the program by its path, from another directory:
        // the path is made absolute here, and must still name the file that
        // was checked.
        QStringList toolArguments{QFileInfo(program.Path()).absoluteFilePath()};
        toolArguments += arguments;
        if (!program.StillAtPath()) {
            RefuseChanged(program.Path());
            *error = ERROR_ACCESS_DENIED;
            return false;
        }
        SpawnRequest request{tool, tool, toolArguments,
                             platform::ElevationToolEnvironment(CurrentEnvironment())};
        pid_t pid = 0;
        if (const int rc = Spawn(request, &pid); rc != 0) {
            *error = WindowsError(rc);
            return false;
        }
        // The tool exits with 126 when the user dismissed its question and
        // with 127 when the start was not authorised or failed; once
        // authorised it becomes the program, whose status is then its own
        // (126 and 127 included). What it had become is read from /proc at
        // its exit, before it is collected.
        auto became = std::make_shared<bool>(false);
        const QByteArray toolName = tool.mid(tool.lastIndexOf('/') + 1);
        Watch(
            pid,
            [became, toolName](pid_t ended) {
                *became = platform::BecameAnotherProgram(ReadProcFile(ended, "stat"),
                                                         ReadProcFile(ended, "status"), toolName,
                                                         ::getuid());
            },
            [became, answered = std::move(answered)](int status) {
                if (*became || !WIFEXITED(status) || !answered)
                    return;
                if (WEXITSTATUS(status) == 126)
                    answered(ERROR_CANCELLED);
                else if (WEXITSTATUS(status) == 127)
                    answered(ERROR_ACCESS_DENIED);
            });
        return true;
    }
};

}  // namespace

namespace platform {

std::shared_ptr<const ProgramFile> ProgramFile::Open(const CString& path, Opening* opening) {
    *opening = Opening::Missing;
    if (path.isEmpty())
        return nullptr;
    // O_PATH opens nothing for reading: a FIFO does not wait for a writer,
    // a device is not touched, and a program that may be executed but not
    // read still opens.
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_PATH | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat st = {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        *opening = Opening::NotRegularFile;
        return nullptr;
    }
    *opening = Opening::Opened;
    return std::shared_ptr<const ProgramFile>(new ProgramFile(path, fd, st));
}

ProgramFile::ProgramFile(CString path, int fd, const struct stat& st)
    : m_path(std::move(path)), m_fd(fd), m_stat(st) {}

ProgramFile::~ProgramFile() {
    ::close(m_fd);
}

namespace {
bool SameContent(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}
}  // namespace

bool ProgramFile::Unchanged() const {
    struct stat now = {};
    return ::fstat(m_fd, &now) == 0 && SameContent(now, m_stat);
}

bool ProgramFile::StillAtPath() const {
    struct stat now = {};
    return ::stat(QFile::encodeName(m_path).constData(), &now) == 0 && SameContent(now, m_stat);
}

bool ProgramFile::Crc32(DWORD* crc) const {
    *crc = 0;
    // The same file opened anew for reading through its descriptor: no name
    // is looked up.
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(m_fd);
    const int fd = ::open(self.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return false;
    uLong sum = ::crc32(0L, Z_NULL, 0);
    std::vector<unsigned char> block(std::size_t{64} * 1024);
    for (;;) {
        const ssize_t n = ::read(fd, block.data(), block.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        sum = ::crc32(sum, block.data(), static_cast<uInt>(n));
    }
    ::close(fd);
    *crc = static_cast<DWORD>(sum);
    return true;
}

void SumInBackground(std::shared_ptr<const ProgramFile> file,
                     std::function<void(bool readable, DWORD crc)> summed) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) {
        DWORD crc = 0;
        const bool readable = file->Crc32(&crc);
        summed(readable, crc);
        return;
    }
    // The toolkit's own pool: the application waits for its workers before
    // it goes, so the answer never outlives its receiver.
    QThreadPool::globalInstance()->start(
        [file = std::move(file), summed = std::move(summed), app]() mutable {
            DWORD crc = 0;
            const bool readable = file->Crc32(&crc);
            // The posted event owns the call it carries; the analyzer loses
            // track of it.
            // NOLINTNEXTLINE(clang-analyzer-cplusplus.NewDeleteLeaks)
            QMetaObject::invokeMethod(
                app, [summed = std::move(summed), readable, crc] { summed(readable, crc); },
                Qt::QueuedConnection);
        });
}

QList<QByteArray> ProgramEnvironment(const QList<QByteArray>& environment) {
    QList<QByteArray> kept;
    for (const QByteArray& entry : environment) {
        const QByteArray name = NameOf(entry);
        if (name.startsWith("QTWEBENGINE_") || name.startsWith("LD_") ||
            entry == "DBUS_SESSION_BUS_ADDRESS=disabled:") {
            continue;
        }
        kept << entry;
    }
    return kept;
}

QList<QByteArray> ElevationToolEnvironment(const QList<QByteArray>& environment) {
    static const QByteArray desktop[] = {
        "DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY", "XDG_RUNTIME_DIR", "HOME", "LANG", "LANGUAGE"};
    QList<QByteArray> kept;
    for (const QByteArray& entry : ProgramEnvironment(environment)) {
        const QByteArray name = NameOf(entry);
        const bool wanted =
            name == "DBUS_SESSION_BUS_ADDRESS" || name.startsWith("LC_") ||
            std::find(std::begin(desktop), std::end(desktop), name) != std::end(desktop);
        if (wanted && name.size() < entry.size())
            kept << entry;
    }
    kept << QByteArray("PATH=/usr/bin:/bin");
    return kept;
}

bool StartDesktopProgram(const CString& executable, const QStringList& arguments) {
    const QByteArray path = QFile::encodeName(executable);
    SpawnRequest request{path, path, arguments, ProgramEnvironment(CurrentEnvironment())};
    pid_t pid = 0;
    if (Spawn(request, &pid) != 0)
        return false;
    Watch(pid, {}, {});
    return true;
}

bool BecameAnotherProgram(const QByteArray& stat, const QByteArray& status,
                          const QByteArray& toolName, uid_t uid) {
    // "pid (name) state ...": the name may itself hold parentheses and
    // blanks, so it ends at the last ')'. The kernel keeps 15 bytes of it.
    const qsizetype open = stat.indexOf('(');
    const qsizetype close = stat.lastIndexOf(')');
    if (open >= 0 && close > open && stat.mid(open + 1, close - open - 1) != toolName.left(15))
        return true;
    // "Uid:\t<real>\t<effective>\t...".
    for (const QByteArray& line : status.split('\n')) {
        if (!line.startsWith("Uid:"))
            continue;
        const QList<QByteArray> ids = line.mid(4).simplified().split(' ');
        bool ok = false;
        const uid_t real = static_cast<uid_t>(ids.value(0).toUInt(&ok));
        return ok && real != uid;
    }
    return false;
}

}  // namespace platform

QStringList CommandLineToArgs(const CString& text) {
    QStringList args;
    const qsizetype n = text.size();
    qsizetype i = 0;
    const auto blank = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); };
    for (;;) {
        while (i < n && blank(text[i]))
            ++i;
        if (i >= n)
            break;
        QString arg;
        bool quoted = false;
        while (i < n && (quoted || !blank(text[i]))) {
            const QChar c = text[i];
            if (c == QLatin1Char('\\')) {
                qsizetype count = 0;
                while (i < n && text[i] == QLatin1Char('\\')) {
                    ++count;
                    ++i;
                }
                if (i < n && text[i] == QLatin1Char('"')) {
                    arg += QString(count / 2, QLatin1Char('\\'));
                    if (count % 2 == 1) {
                        arg += QLatin1Char('"');
                        ++i;
                    }
                } else {
                    arg += QString(count, QLatin1Char('\\'));
                }
            } else if (c == QLatin1Char('"')) {
                if (quoted && i + 1 < n && text[i + 1] == QLatin1Char('"')) {
                    arg += QLatin1Char('"');
                    i += 2;
                } else {
                    quoted = !quoted;
                    ++i;
                }
            } else {
                arg += c;
                ++i;
            }
        }
        args << arg;
    }
    return args;
}

UINT WinExec(const platform::ProgramFile& program, const CString& parameters, int) {
    if (!platform::ProcessesInUse().Start(program, CommandLineToArgs(parameters)))
        return ERROR_ACCESS_DENIED;
    return 33;
}

BOOL ShellExecuteExW(SHELLEXECUTEINFOW* info, std::function<void(DWORD)> refused) {
    if (!info || !info->lpFile) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    if (info->lpVerb != QLatin1String("runas")) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    DWORD error = 0;
    if (!platform::ProcessesInUse().StartElevated(
            *info->lpFile, CommandLineToArgs(info->lpParameters), std::move(refused), &error)) {
        SetLastError(error);
        return FALSE;
    }
    SetLastError(0);
    return TRUE;
}

namespace platform {

ProcessPort& RealProcesses() {
    static auto* spawner = new Spawner();
    return *spawner;
}

}  // namespace platform
