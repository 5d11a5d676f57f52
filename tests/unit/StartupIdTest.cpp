// The launcher's startup id as the program judges it, the time it carries
// and the message that ends its sequence; the Exec line of the autostart
// entry.
#include <gtest/gtest.h>

#include "platform/activation.h"
#include "platform/autostart.h"

namespace {

TEST(StartupId, OnlyALaunchersIdIsUsedAndItsTimeIsItsLastTimeField) {
    struct Case {
        const char* name;
        QByteArray id;
        bool usable;
        quint32 time;
    };
    const Case cases[] = {
        {"icewm", "icewm-12_TIME345", true, 345},
        {"GNOME", "gnome-shell/firefox/2245-0-host_TIME1234567", true, 1234567},
        {"KDE", "host;1700000000;123456;4711_TIME4294967295", true, 4294967295U},
        {"no time", "xdg-open-1", true, 0},
        {"time beyond 32 bits", "a_TIME4294967296", true, 0},
        {"time with more after it", "a_TIME12x", true, 0},
        {"time field twice: the last counts", "a_TIME1_TIME2", true, 2},
        {"empty time", "a_TIME", true, 0},
        {"a space and quotation marks", "a \"b\"_TIME5", true, 5},
        {"empty", "", false, 0},
        {"a line break", "a\n_TIME5", false, 5},
        {"a non-ASCII byte", "\xeb\xb2\xa8_TIME5", false, 5},
        {"longest", QByteArray(platform::kMaxStartupId, 'a'), true, 0},
        {"too long", QByteArray(platform::kMaxStartupId + 1, 'a'), false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(platform::IsUsableStartupId(c.id), c.usable);
        EXPECT_EQ(platform::StartupIdTimestamp(c.id), c.time);
    }
}

TEST(StartupId, TheRemoveMessageQuotesAnIdThatNeedsIt) {
    const std::pair<QByteArray, QByteArray> cases[] = {
        {"icewm-12_TIME345", "remove: ID=icewm-12_TIME345"},
        {"a b", "remove: ID=\"a b\""},
        {"say \"hi\"", "remove: ID=\"say \\\"hi\\\"\""},
        {"back\\slash", "remove: ID=\"back\\\\slash\""},
        {"key=value", "remove: ID=key=value"},
    };
    for (const auto& [id, message] : cases)
        EXPECT_EQ(platform::StartupRemoveMessage(id), message) << id.constData();
}

TEST(AutostartEntry, ExecStartsTheCommandHiddenQuotedByTheDesktopEntryRules) {
    const std::pair<QString, QString> cases[] = {
        {"/usr/bin/velkstk", "Exec=/usr/bin/velkstk --hidden\n"},
        {"/opt/Velk Chat/velkstk", "Exec=\"/opt/Velk Chat/velkstk\" --hidden\n"},
        {"/opt/100%/velkstk", "Exec=/opt/100%%/velkstk --hidden\n"},
        // Escaped inside the quotes, then every backslash once more.
        {"/opt/$HOME/a\"b", "Exec=\"/opt/\\\\$HOME/a\\\\\"b\" --hidden\n"},
        {"/opt/a\\b", "Exec=\"/opt/a\\\\\\\\b\" --hidden\n"},
    };
    for (const auto& [command, exec] : cases) {
        const QString entry = platform::AutostartEntry(command);
        EXPECT_TRUE(entry.startsWith("[Desktop Entry]\n")) << command.toStdString();
        EXPECT_TRUE(entry.contains("\n" + exec)) << command.toStdString() << "\n"
                                                 << entry.toStdString();
    }
}

}  // namespace
