#include "platform/instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

DWORD g_lastError = 0;

// The directory of this user's lock files and channels: the session's
// runtime directory, or one of our own in the temporary directory when the
// session has none. Empty when it is not this user's alone; the guard is
// then off, which is said once.
QString RuntimeDir() {
    const uid_t uid = ::getuid();
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    QString dir;
    QString problem;
    if (runtime.startsWith('/')) {
        dir = QFile::decodeName(runtime);
    } else {
        dir = QDir::tempPath() + QStringLiteral("/velk-%1").arg(uid);
        // Made with its final rights in one step, or found; either way it is
        // judged below as it is, and its rights are never changed.
        const int made = ::mkdir(QFile::encodeName(dir).constData(), 0700);
        const int error = errno;
        if (made != 0 && error != EEXIST)
            problem = QStringLiteral("%1 cannot be made: %2")
                          .arg(dir, QString::fromLocal8Bit(std::strerror(error)));
    }
    if (problem.isEmpty())
        problem = platform::PrivateDirectoryProblem(dir, uid);
    if (problem.isEmpty())
        return dir;
    static bool reported = false;
    if (!reported) {
        reported = true;
        std::fprintf(stderr, "single-instance guard off: %s\n", qPrintable(problem));
    }
    return {};
}

// The user of the process at the other end of a local socket, or -1 when
// it cannot be told.
qint64 PeerUid(qintptr descriptor) {
    ucred peer{};
    socklen_t size = sizeof peer;
    if (descriptor < 0 ||
        ::getsockopt(static_cast<int>(descriptor), SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0)
        return -1;
    return peer.uid;
}

bool SameUser(qint64 uid) {
    return uid == static_cast<qint64>(::getuid());
}

// A file-system-safe name for any mutex or class name.
QString SafeName(const QString& prefix, const CString& name) {
    const QByteArray hash =
        QCryptographicHash::hash(name.toUtf8(), QCryptographicHash::Sha256).toHex().left(32);
    return prefix + QString::fromLatin1(hash);
}

QString ChannelPath(const CString& className) {
    const QString dir = RuntimeDir();
    if (dir.isEmpty())
        return {};
    return dir + QLatin1Char('/') + SafeName(QStringLiteral("velk-instance-"), className);
}

// The reply to a handled request: one byte.
constexpr char kHandled = 'K';

// Held while an instance looks at a channel's name and opens it: two
// instances that find the name free at the same moment would otherwise
// both open it, and the later socket would take the path from the earlier.
// The lock is on the channels' directory, so it leaves no file behind.
class ChannelNameLock {
public:
    explicit ChannelNameLock(const QString& channelPath)
        : m_fd(::open(QFile::encodeName(QFileInfo(channelPath).absolutePath()).constData(),
                      O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
        // A directory that cannot be opened leaves the name unguarded.
        if (m_fd >= 0)
            ::flock(m_fd, LOCK_EX);
    }
    ~ChannelNameLock() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    ChannelNameLock(const ChannelNameLock&) = delete;
    ChannelNameLock& operator=(const ChannelNameLock&) = delete;

private:
    int m_fd;
};

}  // namespace

HANDLE CreateMutexW(void*, BOOL, const CString& name) {
    g_lastError = 0;
    static int unnamed = 0;
    // Without a directory of this user's own a lock file could be taken or
    // faked by others: the mutex is then an unnamed one.
    const QString dir = name.isEmpty() ? QString() : RuntimeDir();
    if (dir.isEmpty())
        return &unnamed;
    const QString path = dir + QLatin1Char('/') + SafeName(QStringLiteral("velk-mutex-"), name);
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return nullptr;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        g_lastError = ERROR_ALREADY_EXISTS;
        return nullptr;
    }
    // The descriptor stays open for the life of the process: the lock is
    // the mutex.
    return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(fd) + 1);
}

DWORD GetLastError() {
    return g_lastError;
}

void SetLastError(DWORD error) {
    g_lastError = error;
}

namespace platform {

QString PrivateDirectoryProblem(const QString& path, quint32 uid) {
    struct stat st = {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return QStringLiteral("%1 cannot be read: %2")
            .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
    if (S_ISLNK(st.st_mode))
        return QStringLiteral("%1 is a symbolic link").arg(path);
    if (!S_ISDIR(st.st_mode))
        return QStringLiteral("%1 is not a directory").arg(path);
    if (st.st_uid != uid)
        return QStringLiteral("%1 belongs to user %2").arg(path).arg(st.st_uid);
    if ((st.st_mode & (S_IRWXG | S_IRWXO)) != 0)
        return QStringLiteral("%1 is open to others (mode %2)")
            .arg(path)
            .arg(st.st_mode & 07777, 4, 8, QLatin1Char('0'));
    return {};
}

namespace {
QPointer<QLocalServer> g_server;
QPointer<QFileSystemWatcher> g_watcher;

// Whether a live instance listens at `path` (a channel left behind by one
// that ended refuses the connection).
bool ChannelAnswers(const QString& path) {
    QLocalSocket probe;
    probe.connectToServer(path);
    const bool answers = probe.waitForConnected(1000);
    probe.abort();
    return answers;
}

// Watches the channels' directory until the channel under `className` is
// gone, then opens it for this instance.
void TakeOverWhenFree(const CString& className,
                      std::function<void(const InstanceRequest&)> onRequest) {
    const QString path = ChannelPath(className);
    auto* watcher = new QFileSystemWatcher(QStringList{QFileInfo(path).absolutePath()});
    g_watcher = watcher;
    QObject::connect(watcher, &QFileSystemWatcher::directoryChanged, watcher,
                     [watcher, path, className, onRequest](const QString&) {
                         if (QFileInfo::exists(path))
                             return;
                         // Not deleted now: this runs inside its signal.
                         g_watcher = nullptr;
                         watcher->deleteLater();
                         ListenForInstances(className, onRequest);
                     });
}

constexpr char kMark[] = "VLKH";
constexpr quint8 kVersion = 1;
constexpr char kRefusedReply = 'E';

void PutLength(QByteArray& out, quint32 value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i)
        out.append(static_cast<char>((value >> (8 * i)) & 0xFF));
}

quint32 GetLength(const QByteArray& in, qsizetype at, int bytes) {
    quint32 value = 0;
    for (int i = 0; i < bytes; ++i)
        value = (value << 8) | static_cast<quint8>(in[at + i]);
    return value;
}

// Makes the sender's Wayland token the one the toolkit uses when a window
// of this process next asks to be activated. The X11 startup id is not put
// there: the toolkit reads it only when it starts, and programs this one
// starts later would take it for their own. The receiver completes its
// sequence itself.
void UseActivationToken(const InstanceRequest& request) {
    if (!request.activationToken.isEmpty())
        qputenv("XDG_ACTIVATION_TOKEN", request.activationToken);
}
}  // namespace

QByteArray EncodeInstanceRequest(const InstanceRequest& request) {
    QByteArray out(kMark, 4);
    out.append(static_cast<char>(kVersion));
    out.append(static_cast<char>(request.kind));
    for (const QByteArray* token : {&request.activationToken, &request.startupId}) {
        const QByteArray t = token->left(kMaxInstanceToken);
        PutLength(out, static_cast<quint32>(t.size()), 2);
        out += t;
    }
    QByteArray text = request.text.toUtf8();
    if (text.size() > kMaxInstanceText) {
        // Cut on a character's boundary: drop the continuation bytes and the
        // lead byte of a character that does not fit whole.
        text.truncate(kMaxInstanceText);
        while (!text.isEmpty() && (static_cast<quint8>(text.back()) & 0xC0) == 0x80)
            text.chop(1);
        if (!text.isEmpty() && static_cast<quint8>(text.back()) >= 0xC0)
            text.chop(1);
    }
    PutLength(out, static_cast<quint32>(text.size()), 4);
    out += text;
    return out;
}

DecodeResult DecodeInstanceRequest(QByteArray& buffer, InstanceRequest* request) {
    // The fixed head first: mark, version, kind.
    const qsizetype known = std::min<qsizetype>(buffer.size(), 4);
    if (buffer.left(known) != QByteArray(kMark, known))
        return DecodeResult::kRefused;
    if (buffer.size() < 6)
        return DecodeResult::kIncomplete;
    if (static_cast<quint8>(buffer[4]) != kVersion)
        return DecodeResult::kRefused;
    const auto kind = static_cast<quint8>(buffer[5]);
    if (kind != InstanceRequest::kLaunchParameters && kind != InstanceRequest::kShowMainChat)
        return DecodeResult::kRefused;
    qsizetype at = 6;
    QByteArray tokens[2];
    for (QByteArray& token : tokens) {
        if (buffer.size() < at + 2)
            return DecodeResult::kIncomplete;
        const quint32 len = GetLength(buffer, at, 2);
        if (len > kMaxInstanceToken)
            return DecodeResult::kRefused;
        at += 2;
        if (buffer.size() < at + len)
            return DecodeResult::kIncomplete;
        token = buffer.mid(at, len);
        at += len;
    }
    if (buffer.size() < at + 4)
        return DecodeResult::kIncomplete;
    const quint32 len = GetLength(buffer, at, 4);
    if (len > kMaxInstanceText)
        return DecodeResult::kRefused;
    at += 4;
    if (buffer.size() < at + len)
        return DecodeResult::kIncomplete;
    request->kind = static_cast<InstanceRequest::Kind>(kind);
    request->activationToken = tokens[0];
    request->startupId = tokens[1];
    request->text = QString::fromUtf8(buffer.mid(at, len));
    buffer.remove(0, at + len);
    return DecodeResult::kComplete;
}

QString InstanceChannelPath(const CString& className) {
    return ChannelPath(className);
}

bool ListenForInstances(const CString& className,
                        std::function<void(const InstanceRequest&)> onRequest) {
    StopListeningForInstances();
    const QString path = ChannelPath(className);
    if (path.isEmpty())
        return false;
    const ChannelNameLock lock(path);
    // The toolkit's listen puts its socket in place of any file at the
    // path, a live instance's channel included: look first.
    if (QFileInfo::exists(path)) {
        if (ChannelAnswers(path)) {
            // Another running instance has the name: its channel stays
            // its own, and this one takes the name over once it is free.
            TakeOverWhenFree(className, std::move(onRequest));
            return false;
        }
        // A channel left behind by an instance that ended abruptly.
        QLocalServer::removeServer(path);
    }
    auto* server = new QLocalServer();
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(path)) {
        delete server;
        return false;
    }
    QObject::connect(server, &QLocalServer::newConnection, server, [server, onRequest] {
        while (QLocalSocket* socket = server->nextPendingConnection()) {
            // Only this user's own later starts are heard.
            const qint64 peer = PeerUid(socket->socketDescriptor());
            if (!SameUser(peer)) {
                std::fprintf(stderr, "instance channel: a connection of user %lld refused\n",
                             static_cast<long long>(peer));
                socket->abort();
                socket->deleteLater();
                continue;
            }
            auto buffer = std::make_shared<QByteArray>();
            QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            // A sender that says nothing, or too little, is not waited for.
            auto* idle = new QTimer(socket);
            idle->setSingleShot(true);
            QObject::connect(idle, &QTimer::timeout, socket, [socket] { socket->abort(); });
            idle->start(10000);
            QObject::connect(
                socket, &QLocalSocket::readyRead, socket, [socket, buffer, idle, onRequest] {
                    *buffer += socket->readAll();
                    InstanceRequest request;
                    const DecodeResult result = DecodeInstanceRequest(*buffer, &request);
                    if (result == DecodeResult::kIncomplete)
                        return;
                    idle->stop();
                    if (result == DecodeResult::kRefused) {
                        socket->write(&kRefusedReply, 1);
                        socket->flush();
                        socket->abort();
                        return;
                    }
                    buffer->clear();
                    QPointer<QLocalSocket> guard(socket);
                    UseActivationToken(request);
                    onRequest(request);
                    if (guard) {
                        guard->write(&kHandled, 1);
                        guard->flush();
                        guard->disconnectFromServer();
                    }
                });
        }
    });
    g_server = server;
    return true;
}

void StopListeningForInstances() {
    delete g_watcher;
    if (g_server) {
        g_server->close();
        delete g_server;
    }
}

bool HandOffToInstance(const CString& className, const InstanceRequest& request, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    const QString path = ChannelPath(className);
    if (path.isEmpty())
        return false;
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(
            static_cast<int>(std::min<qint64>(2000, deadline.remainingTime()))))
        return false;
    // The launch parameters go to this user's own instance only.
    const qint64 peer = PeerUid(socket.socketDescriptor());
    if (!SameUser(peer)) {
        std::fprintf(stderr, "instance channel: the listener is user %lld's, nothing handed over\n",
                     static_cast<long long>(peer));
        return false;
    }
    socket.write(EncodeInstanceRequest(request));
    // The running instance answers once it has handled the request; one
    // that is stopped or hung is given up after the deadline.
    while (socket.state() == QLocalSocket::ConnectedState && !deadline.hasExpired()) {
        if (socket.bytesAvailable() > 0 ||
            socket.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
            return socket.read(1) == QByteArray(1, kHandled);
        }
    }
    return socket.bytesAvailable() > 0 && socket.read(1) == QByteArray(1, kHandled);
}

}  // namespace platform
