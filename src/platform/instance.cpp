#include "platform/instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QStandardPaths>

namespace {

DWORD g_lastError = 0;

// Per-user directory for lock files and channel names.
QString RuntimeDir() {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath() + QStringLiteral("/velk-%1").arg(::getuid());
    QDir().mkpath(dir);
    QFile::setPermissions(dir,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return dir;
}

// A file-system-safe name for any mutex or class name.
QString SafeName(const QString& prefix, const CString& name) {
    const QByteArray hash =
        QCryptographicHash::hash(name.toUtf8(), QCryptographicHash::Sha256).toHex().left(32);
    return prefix + QString::fromLatin1(hash);
}

QString ChannelPath(const CString& className) {
    return RuntimeDir() + QLatin1Char('/') + SafeName(QStringLiteral("velk-instance-"), className);
}

// Packets cross the channel as UTF-8 with a length prefix; the reply is one
// byte.
constexpr char kHandled = 'K';

}  // namespace

HANDLE CreateMutexW(void*, BOOL, const CString& name) {
    g_lastError = 0;
    static int unnamed = 0;
    if (name.isEmpty())
        return &unnamed;
    const QString path =
        RuntimeDir() + QLatin1Char('/') + SafeName(QStringLiteral("velk-mutex-"), name);
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
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
namespace {
QPointer<QLocalServer> g_server;
}

bool ListenForInstances(const CString& className, std::function<void(const CString&)> onText) {
    StopListeningForInstances();
    auto* server = new QLocalServer();
    server->setSocketOptions(QLocalServer::UserAccessOption);
    const QString path = ChannelPath(className);
    if (!server->listen(path)) {
        // A channel left behind by an instance that ended abruptly.
        QLocalServer::removeServer(path);
        if (!server->listen(path)) {
            delete server;
            return false;
        }
    }
    QObject::connect(server, &QLocalServer::newConnection, server, [server, onText] {
        while (QLocalSocket* socket = server->nextPendingConnection()) {
            auto buffer = std::make_shared<QByteArray>();
            QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            QObject::connect(socket, &QLocalSocket::readyRead, socket, [socket, buffer, onText] {
                *buffer += socket->readAll();
                // Bounded: a packet of launch parameters is small.
                if (buffer->size() > (16 << 20)) {
                    socket->abort();
                    return;
                }
                if (buffer->size() < 4)
                    return;
                const quint32 len = (quint8((*buffer)[0]) << 24) | (quint8((*buffer)[1]) << 16) |
                                    (quint8((*buffer)[2]) << 8) | quint8((*buffer)[3]);
                if (len > (16u << 20)) {
                    socket->abort();
                    return;
                }
                if (static_cast<quint32>(buffer->size()) - 4 < len)
                    return;
                const QString text = QString::fromUtf8(buffer->mid(4, len));
                buffer->clear();
                QPointer<QLocalSocket> guard(socket);
                onText(text);
                if (guard) {
                    guard->write(&kHandled, 1);
                    guard->flush();
                }
            });
        }
    });
    g_server = server;
    return true;
}

void StopListeningForInstances() {
    if (g_server) {
        g_server->close();
        delete g_server;
    }
}

bool HandOffToInstance(const CString& className, const CString& text) {
    QLocalSocket socket;
    socket.connectToServer(ChannelPath(className));
    if (!socket.waitForConnected(2000))
        return false;
    const QByteArray body = text.toUtf8();
    QByteArray frame(4, '\0');
    const quint32 len = static_cast<quint32>(body.size());
    frame[0] = char(len >> 24);
    frame[1] = char(len >> 16);
    frame[2] = char(len >> 8);
    frame[3] = char(len);
    socket.write(frame + body);
    socket.flush();
    // The running instance answers once it has handled the parameters.
    while (socket.state() == QLocalSocket::ConnectedState) {
        if (socket.bytesAvailable() > 0 || socket.waitForReadyRead(-1)) {
            if (socket.read(1) == QByteArray(1, kHandled))
                break;
        }
    }
    return true;
}

}  // namespace platform
