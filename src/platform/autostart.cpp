#include "platform/autostart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <cstdio>

#include "framework/afxwin.h"
#include "platform/tray.h"

namespace platform {
namespace {

// One argument of an Exec line: quoted when it holds a reserved character
// (inside the quotes '"', '`', '$' and '\' are escaped), '%' doubled, then
// every backslash escaped once more as the entry's string values want.
QString ExecArgument(const QString& argument) {
    static const QString reserved = QStringLiteral(" \t\"'\\><~|&;$*?#()`");
    bool quote = false;
    for (const QChar c : argument)
        quote = quote || reserved.contains(c);
    QString out;
    if (quote) {
        out += QLatin1Char('"');
        for (const QChar c : argument) {
            if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
                out += QLatin1Char('\\');
            out += c;
        }
        out += QLatin1Char('"');
    } else {
        out = argument;
    }
    out.replace(QLatin1Char('%'), QStringLiteral("%%"));
    out.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    return out;
}

// The program as the session should start it: a name with a directory
// made absolute (a link keeps its own name), a bare name looked up on the
// PATH now, so the entry does not depend on the session's PATH.
QString CommandOf(const QString& program) {
    if (program.contains(QLatin1Char('/')))
        return QFileInfo(program).absoluteFilePath();
    const QString found = QStandardPaths::findExecutable(program);
    return found.isEmpty() ? program : found;
}

}  // namespace

QString AutostartEntryPath() {
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!QDir::isAbsolutePath(config))
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/autostart/kr.velk.VelkSTKApp.desktop");
}

QString AutostartEntry(const QString& command) {
    return QStringLiteral(
               "[Desktop Entry]\n"
               "Type=Application\n"
               "Version=1.4\n"
               "Name=Velk Stock Chat\n"
               "Name[ko]=벨크 증권 채팅\n"
               "Comment=Starts the chat of the Velk stock-investment service with the session\n"
               "Comment[ko]=세션이 시작될 때 벨크 주식 투자 채팅을 시작합니다\n"
               "Icon=kr.velk.VelkSTKApp\n"
               "Exec=%1 %2\n"
               "Terminal=false\n"
               "X-GNOME-Autostart-enabled=true\n")
        .arg(ExecArgument(command), QLatin1String(kHiddenStartSwitch));
}

QString SetAutostart(bool on, const QString& command) {
    const QString path = AutostartEntryPath();
    if (!on) {
        if (!QFileInfo::exists(path) || QFile::remove(path))
            return {};
        return QStringLiteral("%1 cannot be removed").arg(path);
    }
    for (const QChar c : command) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return QStringLiteral("the program's path holds a control character");
    }
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return QStringLiteral("%1 cannot be made").arg(QFileInfo(path).absolutePath());
    // Written whole or not at all: a session never finds half an entry.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(AutostartEntry(command).toUtf8()) < 0 ||
        !file.commit())
        return QStringLiteral("%1 cannot be written: %2").arg(path, file.errorString());
    return {};
}

int RunAutostartSwitch(const QString& program, const QStringList& arguments) {
    if (arguments.isEmpty() || arguments[0] != QLatin1String("--autostart"))
        return -1;
    const QString value = arguments.size() == 2 ? arguments[1] : QString();
    if (value != QLatin1String("on") && value != QLatin1String("off")) {
        std::fprintf(stderr, "usage: %s --autostart on|off\n", qPrintable(program));
        return 2;
    }
    const QString error = SetAutostart(value == QLatin1String("on"), CommandOf(program));
    if (!error.isEmpty()) {
        std::fprintf(stderr, "autostart: %s\n", qPrintable(error));
        return 1;
    }
    return 0;
}

bool StartsHidden() {
    return HasCommandLineSwitch(QLatin1String(kHiddenStartSwitch)) && TrayInUse().Available();
}

}  // namespace platform
