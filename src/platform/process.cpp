#include "platform/process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <csignal>
#include <thread>
#include <vector>

#include "platform/instance.h"
#include "platform/ports.h"

extern char** environ;

namespace {

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

// Starts `program` as a child in a session of its own, with the default
// signal handling and an empty signal mask (this process holds back the
// requests to end; its children must not), and with none of this process's
// descriptors beyond the standard three (an inherited lock would keep this
// instance's mutex held after it ends). Returns 0 or an errno value.
int Spawn(const CString& program, const QStringList& arguments, pid_t* pid) {
    const QByteArray path = QFile::encodeName(program);
    std::vector<QByteArray> texts{path};
    texts.reserve(static_cast<size_t>(arguments.size()) + 1);
    for (const QString& a : arguments)
        texts.push_back(a.toLocal8Bit());
    std::vector<char*> argv;
    argv.reserve(texts.size() + 1);
    for (QByteArray& t : texts)
        argv.push_back(t.data());
    argv.push_back(nullptr);

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
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);

    const int rc = posix_spawn(pid, path.constData(), &actions, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    return rc;
}

// Collects the child's exit when it comes, so that it never stays a zombie,
// and hands its wait status to `ended` on the user-interface thread. The
// program does not wait for it: when this process ends first, the child
// goes on.
void Watch(pid_t pid, std::function<void(int status)> ended) {
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
    auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read);
    QObject::connect(notifier, &QSocketNotifier::activated, notifier,
                     [notifier, fd, pid, ended = std::move(ended)] {
                         int status = 0;
                         if (::waitpid(pid, &status, WNOHANG) == 0)
                             return;
                         notifier->setEnabled(false);
                         notifier->deleteLater();
                         ::close(fd);
                         if (ended)
                             ended(status);
                     });
}

class Spawner final : public platform::ProcessPort {
public:
    bool Start(const CString& program, const QStringList& arguments) override {
        pid_t pid = 0;
        if (Spawn(program, arguments, &pid) != 0)
            return false;
        Watch(pid, {});
        return true;
    }

    bool StartElevated(const CString& program, const QStringList& arguments,
                       std::function<void(DWORD)> answered, DWORD* error) override {
        const QString tool = QStandardPaths::findExecutable(QStringLiteral("pkexec"));
        if (tool.isEmpty()) {
            *error = ERROR_FILE_NOT_FOUND;
            return false;
        }
        // The tool runs the program from another directory: it gets the
        // path made absolute here, against our current directory.
        QStringList toolArguments{QFileInfo(program).absoluteFilePath()};
        toolArguments += arguments;
        pid_t pid = 0;
        if (const int rc = Spawn(tool, toolArguments, &pid); rc != 0) {
            *error = WindowsError(rc);
            return false;
        }
        // The tool exits with 126 when the user dismissed its question and
        // with 127 when the start was not authorised or failed; otherwise
        // the status is the program's own.
        Watch(pid, [answered = std::move(answered)](int status) {
            if (!WIFEXITED(status) || !answered)
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

UINT WinExec(const CString& program, const CString& parameters, int) {
    if (program.isEmpty())
        return ERROR_FILE_NOT_FOUND;
    if (!platform::CurrentPorts().processes->Start(program, CommandLineToArgs(parameters)))
        return QFileInfo::exists(program) ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND;
    return 33;
}

BOOL ShellExecuteExW(SHELLEXECUTEINFOW* info, std::function<void(DWORD)> refused) {
    if (!info || info->lpFile.isEmpty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    if (info->lpVerb != QLatin1String("runas")) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    DWORD error = 0;
    if (!platform::CurrentPorts().processes->StartElevated(
            info->lpFile, CommandLineToArgs(info->lpParameters), std::move(refused), &error)) {
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
