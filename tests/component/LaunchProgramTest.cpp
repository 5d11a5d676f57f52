// Starting programs on a page's request: which program or updater starts,
// how, with what arguments, what a refusal shows, and which pages may ask.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <optional>

#include "app/VelkSTKApp.h"
#include "packet/Packet.h"
#include "platform/ports.h"
#include "platform/process.h"
#include "shared/Service.h"
#include "testsupport.h"
#include "update/TrustedOrigins.h"
#include "update/Updater.h"

namespace {

// The CRC-32 of the reflected polynomial, one bit at a time: the reference
// the program's sum is checked against.
DWORD ReferenceCrc32(const QByteArray& bytes) {
    DWORD crc = 0xFFFFFFFFu;
    for (char c : bytes) {
        crc ^= static_cast<unsigned char>(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

class LaunchProgramTest : public ComponentTest {
protected:
    void SetUp() override {
        ComponentTest::SetUp();
        ASSERT_TRUE(dir.isValid());
        fakes.executable.path = dir.path() + "/VelkSTKApp";
        app.m_iniPath = dir.path() + "/app.ini";
        Write("prog", "program bytes");
        Write("Tavro.exe", "updater");
        ASSERT_TRUE(QDir(dir.path()).mkpath("pages"));
        Write("pages/chat.html", "<p>");
    }

    void Write(const QString& name, const QByteArray& bytes) {
        QFile f(dir.path() + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    PacketSource ServicePage() const {
        const QString page = ContentBaseUrl() + "chat.html";
        return {page, page, {page}, {}};
    }

    // The launch's outcome, once its start (after a sum on a worker thread)
    // has been made or refused.
    BOOL Launch(const QString& fields, std::optional<PacketSource> source = std::nullopt) {
        CPacket packet("<PKT><GBN>9000</GBN><CMD>6</CMD>" + fields + "</PKT>");
        packet.SetSource(source ? *source : ServicePage());
        std::optional<BOOL> result;
        LaunchProgram(packet, [&result](BOOL started) { result = started; });
        const QDeadlineTimer deadline(30000);
        while (!result && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        EXPECT_TRUE(result.has_value()) << "the launch never finished";
        return result.value_or(FALSE);
    }

    // Launches and returns what it wrote on the standard error output.
    std::string LaunchWithOutput(const QString& fields, BOOL* result) {
        testing::internal::CaptureStderr();
        *result = Launch(fields);
        return testing::internal::GetCapturedStderr();
    }

    CVelkSTKAppApp app;
    QTemporaryDir dir;
    FakeProcesses& processes = fakes.processes;
};

TEST_F(LaunchProgramTest, ProgramOrUpdaterByExistenceAndCrc) {
    const QString exeDir = dir.path();
    const DWORD crc = ReferenceCrc32("program bytes");
    struct Case {
        QString fields;
        BOOL result;
        QString program;  // empty: nothing started
        QStringList arguments;
        bool elevated;
    };
    const Case cases[] = {
        // No CRC: the program, plainly, with its parameters split.
        {"<EXEFILE>prog</EXEFILE><PARAM>a \"b c\" d\\\"e</PARAM>",
         TRUE,
         exeDir + "/prog",
         {"a", "b c", "d\"e"},
         false},
        {"<EXEFILE>prog</EXEFILE><PARAM>x</PARAM><CRC>" + QString::number(static_cast<int>(crc)) +
             "</CRC>",
         TRUE,
         exeDir + "/prog",
         {"x"},
         false},
        {"<EXEFILE>prog</EXEFILE><PARAM>x</PARAM><RUNASADMIN>1</RUNASADMIN>",
         TRUE,
         exeDir + "/prog",
         {"x"},
         true},
        // A wrong CRC or a missing program: the updater, always elevated,
        // with the update address as its argument.
        {"<EXEFILE>prog</EXEFILE><PARAM>x</PARAM><CRC>12345</CRC><UPDATEURL>http://u/1</UPDATEURL>",
         TRUE,
         exeDir + "/Tavro.exe",
         {"http://u/1"},
         true},
        {"<EXEFILE>gone</EXEFILE><PARAM>x</PARAM><UPDATEURL>u</UPDATEURL>",
         TRUE,
         exeDir + "/Tavro.exe",
         {"u"},
         true},
        {"<EXEFILE>gone</EXEFILE><PARAM>x</PARAM><UPDFILE>prog</UPDFILE><UPDATEURL>u</UPDATEURL>",
         TRUE,
         exeDir + "/prog",
         {"u"},
         true},
        // Nothing to start, or nothing to start it with: nothing at all.
        {"<EXEFILE>gone</EXEFILE><PARAM>x</PARAM><UPDFILE>none.exe</UPDFILE><UPDATEURL>u</"
         "UPDATEURL>",
         FALSE,
         "",
         {},
         false},
        {"<EXEFILE>prog</EXEFILE>", FALSE, "", {}, false},
        {"<EXEFILE>gone</EXEFILE><PARAM>x</PARAM>", FALSE, "", {}, false},
        {"<EXEFILE></EXEFILE><PARAM>x</PARAM>", FALSE, "", {}, false},
        // "SYS" is the system directory; "sys" is a directory of that name.
        {"<PATH>SYS</PATH><EXEFILE>env</EXEFILE><PARAM>x</PARAM>",
         TRUE,
         "/usr/bin/env",
         {"x"},
         false},
        {"<PATH>sys</PATH><EXEFILE>env</EXEFILE><PARAM>x</PARAM><UPDATEURL>u</UPDATEURL>",
         TRUE,
         exeDir + "/Tavro.exe",
         {"u"},
         true},
        {"<PATH>" + exeDir + "</PATH><EXEFILE>prog</EXEFILE><PARAM>x</PARAM>",
         TRUE,
         exeDir + "/prog",
         {"x"},
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fields.toStdString());
        processes.started.clear();
        EXPECT_EQ(Launch(c.fields), c.result);
        if (c.program.isEmpty()) {
            EXPECT_TRUE(processes.started.empty());
            continue;
        }
        ASSERT_EQ(processes.started.size(), 1u);
        EXPECT_EQ(processes.started[0].program, c.program);
        EXPECT_EQ(processes.started[0].arguments, c.arguments);
        EXPECT_EQ(processes.started[0].elevated, c.elevated);
    }
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(LaunchProgramTest, CrcOfTwoToThe31OrMoreIsWrittenNegative) {
    // A file content whose sum has its top bit set.
    QByteArray bytes = "x";
    while (ReferenceCrc32(bytes) < 0x80000000u)
        bytes += 'x';
    Write("prog", bytes);
    const DWORD crc = ReferenceCrc32(bytes);
    DWORD sum = 0;
    EXPECT_EQ(FileCrc32(dir.path() + "/prog", &sum), 0u);
    EXPECT_EQ(sum, crc);

    const QString base = "<EXEFILE>prog</EXEFILE><PARAM>p</PARAM><UPDATEURL>u</UPDATEURL><CRC>";
    // The same 32 bits as a negative number: the program.
    EXPECT_TRUE(Launch(base + QString::number(static_cast<qint32>(crc)) + "</CRC>"));
    // Written as the unsigned number it saturates and differs: the updater.
    EXPECT_TRUE(Launch(base + QString::number(crc) + "</CRC>"));
    ASSERT_EQ(processes.started.size(), 2u);
    EXPECT_EQ(processes.started[0].program, dir.path() + "/prog");
    EXPECT_EQ(processes.started[1].program, dir.path() + "/Tavro.exe");
}

TEST_F(LaunchProgramTest, FileCrc32MatchesTheReferenceAndReportsAMissingFile) {
    QByteArray big;
    for (int i = 0; i < 10000; ++i)
        big += static_cast<char>((i * 7919) & 0xFF);
    const std::pair<QByteArray, DWORD> cases[] = {
        {"123456789", 0xCBF43926u}, {"", 0u}, {big, ReferenceCrc32(big)}};
    for (const auto& [bytes, expected] : cases) {
        Write("sum", bytes);
        DWORD sum = 1;
        EXPECT_EQ(FileCrc32(dir.path() + "/sum", &sum), 0u);
        EXPECT_EQ(sum, expected) << bytes.size() << " bytes";
    }
    DWORD sum = 1;
    EXPECT_EQ(FileCrc32(dir.path() + "/missing", &sum), 2u);
    EXPECT_EQ(sum, 0u);
}

TEST_F(LaunchProgramTest, AProgramThatCannotBeReadStillStarts) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "the superuser reads every file";
    const QString path = dir.path() + "/prog";
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::WriteOwner));
    DWORD sum = 1;
    EXPECT_NE(FileCrc32(path, &sum), 0u);
    EXPECT_TRUE(Launch("<EXEFILE>prog</EXEFILE><PARAM>x</PARAM><CRC>12345</CRC>"));
    ASSERT_EQ(processes.started.size(), 1u);
    EXPECT_EQ(processes.started[0].program, path);
}

TEST_F(LaunchProgramTest, ARefusedElevationShowsTheErrorBox) {
    const QString caption = app.m_pszAppName;
    // The user declines, later: the box comes when the tool answers.
    EXPECT_TRUE(Launch("<EXEFILE>prog</EXEFILE><PARAM>x</PARAM><RUNASADMIN>1</RUNASADMIN>"));
    EXPECT_TRUE(boxes.shown.empty());
    ASSERT_EQ(processes.answers.size(), 1u);
    processes.answers[0](1223);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, QString::fromUtf8("프로그램 실행 에러 !!.\r\n0x4c7"));
    EXPECT_EQ(boxes.shown[0].caption, caption);
    EXPECT_EQ(boxes.shown[0].type, static_cast<UINT>(MB_OK));

    // No elevation tool: the box at once, and nothing started.
    processes.toolMissing = true;
    EXPECT_FALSE(Launch("<EXEFILE>prog</EXEFILE><PARAM>x</PARAM><RUNASADMIN>1</RUNASADMIN>"));
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[1].text, QString::fromUtf8("프로그램 실행 에러 !!.\r\n0x2"));
}

TEST_F(LaunchProgramTest, TheUpdaterIsAFileOfTheProgramsDirectory) {
    const QString tail = "<EXEFILE>gone</EXEFILE><PARAM>x</PARAM><UPDATEURL>u</UPDATEURL>";
    ASSERT_TRUE(QDir(dir.path()).mkpath("sub"));
    Write("sub/up", "updater");
    const QString names[] = {"",
                             ".",
                             "..",
                             "../Tavro.exe",
                             "sub/up",
                             "sub\\up",
                             dir.path() + "/Tavro.exe",
                             "/bin/sh",
                             QString("Tavro.exe") + QChar(0)};
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        processes.started.clear();
        BOOL result = TRUE;
        const std::string output =
            LaunchWithOutput("<UPDFILE>" + name + "</UPDFILE>" + tail, &result);
        EXPECT_FALSE(result);
        EXPECT_TRUE(processes.started.empty());
        EXPECT_EQ(output.rfind("program start refused: ", 0), 0u) << output;
        EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 1) << output;
    }
}

TEST_F(LaunchProgramTest, OnlyARegularFileOfAtMost1GiBIsSummedAndStarted) {
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.path() + "/fifo").constData(), 0700), 0);
    {
        QFile big(dir.path() + "/big");
        ASSERT_TRUE(big.open(QIODevice::WriteOnly));
        ASSERT_TRUE(big.resize(platform::kLargestSummedFile + 1));  // sparse
    }
    ASSERT_TRUE(QDir(dir.path()).mkpath("folder"));
    const QString crc = "<CRC>12345</CRC><UPDATEURL>u</UPDATEURL>";
    struct Case {
        QString fields;
        QString started;  // empty: refused, nothing started
    };
    const Case cases[] = {
        {"<EXEFILE>fifo</EXEFILE><PARAM>x</PARAM>" + crc, ""},
        {"<EXEFILE>fifo</EXEFILE><PARAM>x</PARAM>", ""},
        {"<PATH>/dev</PATH><EXEFILE>zero</EXEFILE><PARAM>x</PARAM>" + crc, ""},
        {"<EXEFILE>gone</EXEFILE><PARAM>x</PARAM><UPDFILE>fifo</UPDFILE>" + crc, ""},
        {"<EXEFILE>big</EXEFILE><PARAM>x</PARAM>" + crc, ""},
        // Without a sum to compute, the size does not matter.
        {"<EXEFILE>big</EXEFILE><PARAM>x</PARAM>", "big"},
        // A directory is no program: the updater.
        {"<EXEFILE>folder</EXEFILE><PARAM>x</PARAM>" + crc, "Tavro.exe"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fields.toStdString());
        processes.started.clear();
        BOOL result = FALSE;
        const std::string output = LaunchWithOutput(c.fields, &result);
        EXPECT_EQ(result, c.started.isEmpty() ? FALSE : TRUE);
        if (c.started.isEmpty()) {
            EXPECT_TRUE(processes.started.empty());
            EXPECT_EQ(output.rfind("program start refused: ", 0), 0u) << output;
        } else {
            ASSERT_EQ(processes.started.size(), 1u);
            EXPECT_EQ(processes.started[0].program, dir.path() + "/" + c.started);
        }
    }
}

TEST_F(LaunchProgramTest, ChildrenGetNoneOfTheEnginesOrLoadersSettings) {
    const QList<QByteArray> ours = {"HOME=/home/u",
                                    "PATH=/home/u/bin:/usr/bin",
                                    "DISPLAY=:1",
                                    "LANG=ko_KR.UTF-8",
                                    "LC_TIME=C",
                                    "XAUTHORITY=/x",
                                    "WAYLAND_DISPLAY=wayland-0",
                                    "XDG_RUNTIME_DIR=/run/u",
                                    "DBUS_SESSION_BUS_ADDRESS=unix:path=/run/u/bus",
                                    "QTWEBENGINE_CHROMIUM_FLAGS=--no-sandbox",
                                    "QTWEBENGINE_DISABLE_SANDBOX=1",
                                    "LD_PRELOAD=/tmp/x.so",
                                    "LD_LIBRARY_PATH=/opt/qt",
                                    "EDITOR=vi",
                                    "DISPLAYX=1",
                                    "HOME"};
    const QList<QByteArray> program = {"HOME=/home/u",
                                       "PATH=/home/u/bin:/usr/bin",
                                       "DISPLAY=:1",
                                       "LANG=ko_KR.UTF-8",
                                       "LC_TIME=C",
                                       "XAUTHORITY=/x",
                                       "WAYLAND_DISPLAY=wayland-0",
                                       "XDG_RUNTIME_DIR=/run/u",
                                       "DBUS_SESSION_BUS_ADDRESS=unix:path=/run/u/bus",
                                       "EDITOR=vi",
                                       "DISPLAYX=1",
                                       "HOME"};
    const QList<QByteArray> tool = {
        "HOME=/home/u",           "DISPLAY=:1",
        "LANG=ko_KR.UTF-8",       "LC_TIME=C",
        "XAUTHORITY=/x",          "WAYLAND_DISPLAY=wayland-0",
        "XDG_RUNTIME_DIR=/run/u", "DBUS_SESSION_BUS_ADDRESS=unix:path=/run/u/bus",
        "PATH=/usr/bin:/bin"};
    const QList<QByteArray> noBus = {"DBUS_SESSION_BUS_ADDRESS=disabled:", "HOME=/h"};
    const struct {
        QList<QByteArray> (*build)(const QList<QByteArray>&);
        QList<QByteArray> from, expected;
    } cases[] = {
        {platform::ProgramEnvironment, ours, program},
        {platform::ElevationToolEnvironment, ours, tool},
        {platform::ProgramEnvironment, noBus, {"HOME=/h"}},
        {platform::ElevationToolEnvironment, noBus, {"HOME=/h", "PATH=/usr/bin:/bin"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.build(c.from), c.expected);
}

TEST_F(LaunchProgramTest, TheFileCheckedIsTheFileStartedEvenWhenItsNameIsTakenOver) {
    // The real spawner: the program writes its arguments and environment
    // into a FIFO that the test reads, so the test waits for exactly that.
    const QString out = dir.path() + "/out";
    ASSERT_EQ(::mkfifo(QFile::encodeName(out).constData(), 0700), 0);
    Write("checked", "#!/bin/sh\n{ echo checked \"$@\"; env; } > '" + out.toUtf8() + "'\n");
    Write("other", "#!/bin/sh\necho other > '" + out.toUtf8() + "'\n");
    for (const char* name : {"checked", "other"})
        ASSERT_TRUE(QFile::setPermissions(dir.path() + "/" + name,
                                          QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    platform::ProgramFile::Opening opening{};
    const auto file = platform::ProgramFile::Open(dir.path() + "/checked", &opening);
    ASSERT_TRUE(file);
    // The name now leads to another program, of the same size and time.
    ASSERT_EQ(::rename(QFile::encodeName(dir.path() + "/other").constData(),
                       QFile::encodeName(dir.path() + "/checked").constData()),
              0);
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--single-process");
    const bool started = platform::RealProcesses().Start(*file, {"a b"});
    qunsetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    ASSERT_TRUE(started);
    QFile fifo(out);
    ASSERT_TRUE(fifo.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = fifo.readAll().split('\n');
    EXPECT_EQ(lines.value(0), "checked a b");
    for (const QByteArray& line : lines)
        EXPECT_FALSE(line.startsWith("QTWEBENGINE_")) << line.constData();
}

TEST_F(LaunchProgramTest, TheElevationToolAnsweredOnlyWhileItWasItself) {
    const QByteArray tool = "pkexec";
    const QByteArray ours = "Name:\tpkexec\nUid:\t1000\t0\t0\t0\n";
    const struct {
        QByteArray stat, status;
        bool became;
    } cases[] = {
        {"42 (pkexec) Z 1", ours, false},
        {"42 (Tavro.exe) Z 1", ours, true},
        {"42 (pkexec) Z 1", "Uid:\t0\t0\t0\t0\n", true},
        {"42 (a (pkexec) b) Z 1", ours, true},
        {"", "", false},  // gone from /proc: the tool's own answer
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::BecameAnotherProgram(c.stat, c.status, tool, 1000), c.became)
            << c.stat.constData();
    }
}

TEST_F(LaunchProgramTest, OnlyTheServicesOwnPagesMayStartPrograms) {
    Write("app.ini",
          "[APP]\r\nTRUSTEDORIGINS=https://chat.example.com, https://CDN.example.com:8443/x\r\n");
    const QString page = ContentBaseUrl() + "chat.html";
    const QString local = QUrl::fromLocalFile(dir.path() + "/pages/chat.html").toString();
    const QString other = "https://evil.test/";
    struct Case {
        QStringList documents;
        QStringList insecure;
        bool trusted;
    };
    const Case cases[] = {
        {{page}, {}, true},
        {{LoginUrl()}, {}, true},
        {{"https://chat.example.com/room"}, {}, true},
        {{"HTTPS://Chat.Example.com:443/a", "https://chat.example.com/"}, {}, true},
        {{"https://cdn.example.com:8443/f", page}, {}, true},
        {{"https://cdn.example.com/f"}, {}, false},
        {{"http://chat.example.com/room"}, {}, false},
        {{"https://chat.example.com.evil.test/"}, {}, false},
        // An address is judged as given, blanks around it included.
        {{" " + page}, {}, false},
        // One foreign document anywhere in the group is enough.
        {{page, other}, {}, false},
        {{other, page}, {}, false},
        {{page, "null"}, {}, false},
        {{page, "data:text/html,x"}, {}, false},
        // So is a certificate error on a trusted address.
        {{page}, {page}, false},
        // Files count under the program's own directory only.
        {{local}, {}, true},
        {{QUrl::fromLocalFile(dir.path() + "/pages/../../x.html").toString()}, {}, false},
        {{"file:///etc/hostname"}, {}, false},
        {{""}, {}, false},
        {{}, {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.documents.join(' ').toStdString());
        processes.started.clear();
        const PacketSource source{page, page, c.documents, c.insecure};
        EXPECT_EQ(Launch("<EXEFILE>prog</EXEFILE><PARAM>x</PARAM>", source),
                  c.trusted ? TRUE : FALSE);
        EXPECT_EQ(processes.started.size(), c.trusted ? 1u : 0u);
    }
}

TEST_F(LaunchProgramTest, TheListOfTrustedOriginsIsReadUpTo8191Characters) {
    const QString first = "https://first.example.com,";
    const QString late = "https://late.example.com";
    const int fits = 8191 - static_cast<int>(first.size() + late.size());
    struct Case {
        int blanks;  // between the two origins
        bool lateListed;
    };
    const Case cases[] = {
        {1, true},
        // Longer than the other settings' 511 characters.
        {600, true},
        {fits, true},
        // The late origin loses its last character.
        {fits + 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.blanks);
        Write(
            "app.ini",
            ("[APP]\r\nTRUSTEDORIGINS=" + first + QString(c.blanks, ' ') + late + "\r\n").toUtf8());
        const QStringList origins = TrustedOrigins();
        EXPECT_TRUE(origins.contains("https://first.example.com"));
        EXPECT_EQ(origins.contains(late), c.lateListed);
    }
}

}  // namespace
