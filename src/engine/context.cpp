#include "engine/context.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QEventLoop>
#include <QFileInfo>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <deque>

#include "framework/afxwin.h"
#include "framework/peer.h"
#include "platform/system.h"

namespace engine {

std::deque<std::function<void()>>& Queue() {
    static auto* queue = new std::deque<std::function<void()>>();
    return *queue;
}

std::function<void()>& ShutdownHook() {
    static auto* hook = new std::function<void()>();
    return *hook;
}

QString ProcessType() {
    for (const QString& a : ProcessArguments()) {
        if (a.startsWith(QLatin1String("--type=")))
            return a.mid(7);
    }
    return QString();
}

// The cache goes where the settings say; where that directory cannot be
// written (an installed copy in a read-only directory), or belongs to the
// package manager (under /usr, writable for the superuser all the same),
// it goes to the user's data directory instead.
QString UsableCachePath(const QString& requested) {
    QString path = QDir::fromNativeSeparators(requested);
    if (path.isEmpty())
        return UserDataDirectory() + QLatin1String("/cache");
    const QFileInfo info(path);
    const bool packaged = info.absoluteFilePath().startsWith(QLatin1String("/usr/"));
    if (!packaged && (info.isDir() ? info.isWritable() : IsDirectoryWritable(info.absolutePath())))
        return path;
    return QDir::fromNativeSeparators(UserDataDirectory()) + QLatin1String("/cache");
}

QByteArray BuildChromiumFlags(const CefSettings& settings, CefRefPtr<CefCommandLine> cmd) {
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS").trimmed();
    auto add = [&flags](const QString& name, const QString& value) {
        if (!flags.isEmpty())
            flags += ' ';
        flags += "--" + name.toUtf8();
        if (!value.isEmpty())
            flags += '=' + value.toUtf8();
    };
    for (const auto& [name, value] : cmd->GetSwitches())
        add(name, value);
    (void)settings;
    return flags;
}

Context& GetContext() {
    static auto* context = new Context();
    return *context;
}

void QueueCallback(std::function<void()> callback) {
    Queue().push_back(std::move(callback));
    // Whichever loop runs, the main one or a box's, wakes to deliver it.
    AfxWakeMessageLoop();
}

void SetShutdownHook(std::function<void()> hook) {
    ShutdownHook() = std::move(hook);
}

QStringList ProcessArguments() {
    // Each argument as the process got it: a link whose text holds
    // " --type=" is one argument that does not start with it.
    return CommandLineArguments();
}

}  // namespace engine
