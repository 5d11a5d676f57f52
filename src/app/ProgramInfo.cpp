#include "app/ProgramInfo.h"

#include <cstdio>

#include "engine/version.h"

InfoRequest InfoRequestOf(const QStringList& arguments) {
    for (const QString& argument : arguments) {
        if (argument == QLatin1String("--version"))
            return InfoRequest::kVersion;
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h"))
            return InfoRequest::kHelp;
    }
    return InfoRequest::kNone;
}

QString VersionText() {
    return QStringLiteral("VelkSTKApp %1\n%2\n")
        .arg(QStringLiteral(VELK_VERSION), engine::EngineDescription());
}

QString UsageText(const QString& program) {
    QString name = program.section(QLatin1Char('/'), -1);
    if (name.isEmpty())
        name = QStringLiteral("VelkSTKApp");
    // The link is quoted: a shell would take "$mutex" for a variable.
    return QStringLiteral(
               "Usage: %1 ['velk://url=ADDRESS$mutex=NAME...']\n"
               "       %1 --autostart on|off\n"
               "       %1 --version | --help\n"
               "\n"
               "Shows the chat pages of the Velk stock-investment service in desktop windows.\n"
               "\n"
               "  velk://KEY=VALUE$...  launch parameters as a link of the velk: scheme, e.g.\n"
               "                        %1 "
               "'velk://url=https://chat.example.com/page.html$mutex=M1'\n"
               "                        (url= is the start address, mutex= names the one\n"
               "                        running instance that later starts hand their link to)\n"
               "  --show-chat           show the main chat window of the running instance\n"
               "  --hidden              keep the main chat window hidden while the desktop has\n"
               "                        a notification area (the autostart entry's switch)\n"
               "  --autostart on|off    start with the user's session, or no longer\n"
               "  --version             print the program's and the engine's versions\n"
               "  -h, --help            print this text\n"
               "\n"
               "Environment:\n"
               "  QTWEBENGINE_CHROMIUM_FLAGS  Chromium switches for the engine (e.g. "
               "--disable-gpu)\n"
               "  QT_QPA_PLATFORM=wayland     run natively on Wayland (needs qt6-wayland)\n"
               "  QT_QUICK_BACKEND            rhi: compose through the GPU; software: draw in\n"
               "                              software\n"
               "  XDG_CONFIG_HOME             where the per-user settings and the autostart\n"
               "                              entry go (default ~/.config)\n"
               "  XDG_RUNTIME_DIR             where the single-instance channel lives (else\n"
               "                              /tmp/velk-<uid>)\n"
               "\n"
               "Files: app.ini (section APP) beside the program; the values kept between runs\n"
               "in ~/.config/<WINNM>/VelkSTKApp.conf.\n")
        .arg(name);
}

int RunInfoSwitch(const QString& program, const QStringList& arguments) {
    QString text;
    switch (InfoRequestOf(arguments)) {
        case InfoRequest::kNone:
            return -1;
        case InfoRequest::kVersion:
            text = VersionText();
            break;
        case InfoRequest::kHelp:
            text = UsageText(program);
            break;
    }
    const QByteArray bytes = text.toLocal8Bit();
    // A closed or full standard output is a failure, not a silent success.
    const bool written = std::fwrite(bytes.constData(), 1, bytes.size(), stdout) ==
                             static_cast<size_t>(bytes.size()) &&
                         std::fflush(stdout) == 0;
    return written ? 0 : 1;
}
