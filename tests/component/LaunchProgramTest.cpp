// Starting programs on a page's request: which program or updater starts,
// how, with what arguments, what a refusal shows, and which pages may ask.
#include <gtest/gtest.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <optional>

#include "app/VelkSTKApp.h"
#include "packet/Packet.h"
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

    BOOL Launch(const QString& fields, std::optional<PacketSource> source = std::nullopt) {
        CPacket packet("<PKT><GBN>9000</GBN><CMD>6</CMD>" + fields + "</PKT>");
        packet.SetSource(source ? *source : ServicePage());
        return LaunchProgram(packet);
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

}  // namespace
