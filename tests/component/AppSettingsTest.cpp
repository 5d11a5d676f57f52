// Launch parameters merged with the settings file, as start-up does it, in
// a directory of the test's own.
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "app/VelkSTKApp.h"
#include "testsupport.h"

namespace {

class AppSettingsTest : public ComponentTest {
protected:
    void SetUp() override {
        ComponentTest::SetUp();
        ASSERT_TRUE(dir.isValid());
        exeDir = dir.path();
        fakes.executable.path = exeDir + "/VelkSTKApp";
    }
    void TearDown() override {
        SetCommandLineForProcess(QString());
        ComponentTest::TearDown();
    }
    void WriteIni(const QByteArray& bytes) {
        QFile f(exeDir + "/app.ini");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    // Runs the two start-up steps on a command line.
    void Start(CVelkSTKAppApp& app, const QString& args) {
        const QString exe = QCoreApplication::applicationFilePath();
        SetCommandLineForProcess('"' + exe + '"' + (args.isEmpty() ? "" : " " + args));
        ASSERT_TRUE(app.ParseCommandLine());
        app.LoadSettings();
    }
    QTemporaryDir dir;
    QString exeDir;
};

TEST_F(AppSettingsTest, MissingSettingsFileIsCreatedEmptyAndDefaultsAreAppended) {
    CVelkSTKAppApp app;
    Start(app, "velk://url=page.html?a=1");
    EXPECT_EQ(app.m_iniPath, exeDir + "/app.ini");
    EXPECT_EQ(GetExeDir(), exeDir);
    ASSERT_TRUE(QFileInfo::exists(app.m_iniPath));
    EXPECT_EQ(QFileInfo(app.m_iniPath).size(), 0);
    EXPECT_EQ(app.m_params.GetText(),
              "<PKT><GBN>0</GBN><URL>page.html?a=1</URL><MUTEX>NO-MUTEX</MUTEX>"
              "<CLSNM>VelkAppClass</CLSNM><WINNM>VelkApp</WINNM></PKT>");
    EXPECT_EQ(app.m_devShow, 0);
}

TEST_F(AppSettingsTest, LaunchParametersWinOverTheSettingsFile) {
    const QByteArray ini =
        "[APP]\r\nMUTEX=FromIni\r\nCLSNM=IniClass\r\nWINNM=IniName\r\nDEVSHOW=1\r\n";
    struct Case {
        QString args;
        QString mutex, clsnm, winnm;
        int devShow;
    };
    const Case cases[] = {
        {"", "FromIni", "IniClass", "IniName", 1},
        {"x://mutex=M1", "M1", "IniClass", "IniName", 1},
        {"x://clsnm=C2$winnm=W2$devshow=0", "FromIni", "C2", "W2", 1},
        // A value that contains the letters MUTEX hides the setting: the
        // guard then sees an empty name.
        {"x://url=a.html?MUTEX=1", "", "IniClass", "IniName", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.toStdString());
        WriteIni(ini);
        CVelkSTKAppApp app;
        Start(app, c.args);
        EXPECT_EQ(app.m_params.GetString("MUTEX", ""), c.mutex);
        EXPECT_EQ(app.m_params.GetString("CLSNM", ""), c.clsnm);
        EXPECT_EQ(app.m_params.GetString("WINNM", ""), c.winnm);
        EXPECT_EQ(app.m_devShow, c.devShow);
        QFile f(app.m_iniPath);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), ini);
    }
}

// A settings path far beyond the old 128- and 255-character limits is still
// found, read and never emptied.
TEST_F(AppSettingsTest, ParametersFollowWhateverNameTheProgramWasStartedBy) {
    // A link in bin/, a renamed copy, a bare name found on the PATH: the
    // parameters come from the link text after that name.
    const QString names[] = {"/usr/bin/velkstk", "velkstk", "/opt/a b/VelkSTKApp",
                             "/home/velk/bin/velk"};
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        CVelkSTKAppApp app;
        SetCommandLineForProcess('"' + name + "\" velk://url=page.html$mutex=M1");
        ASSERT_TRUE(app.ParseCommandLine());
        EXPECT_EQ(app.m_params.GetString("URL", ""), "page.html");
        EXPECT_EQ(app.m_params.GetString("MUTEX", ""), "M1");
    }
}

TEST_F(AppSettingsTest, LongInstallationPathKeepsItsSettings) {
    QString deep = exeDir;
    while (deep.size() < 400)
        deep += "/디렉터리-long-folder-name";
    ASSERT_TRUE(QDir().mkpath(deep));
    fakes.executable.path = deep + "/VelkSTKApp";
    const QByteArray ini = "[APP]\nWINNM=Deep\n";
    {
        QFile f(deep + "/app.ini");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(ini);
    }
    CVelkSTKAppApp app;
    Start(app, "");
    EXPECT_EQ(app.m_params.GetString("WINNM", ""), "Deep");
    QFile f(deep + "/app.ini");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), ini);
}

// The instance guard: NO-MUTEX turns it off, the same name in two starts
// finds the first, an empty name never collides.
TEST_F(AppSettingsTest, InstanceGuardSeesOnlyTheSameName) {
    const QString unique = QString::number(QCoreApplication::applicationPid()) + "-" +
                           QString::number(reinterpret_cast<quintptr>(this));
    struct Case {
        QString mutex;
        BOOL firstGoesOn, secondGoesOn;
    };
    const Case cases[] = {
        {"NO-MUTEX", TRUE, TRUE},
        {"no-mutex-" + unique, TRUE, FALSE},
        {"M-" + unique, TRUE, FALSE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mutex.toStdString());
        CVelkSTKAppApp first;
        Start(first, "x://mutex=" + c.mutex + "$clsnm=NoSuchClass-" + unique);
        EXPECT_EQ(first.CheckSingleInstance(), c.firstGoesOn);
        CVelkSTKAppApp second;
        Start(second, "x://mutex=" + c.mutex + "$clsnm=NoSuchClass-" + unique);
        EXPECT_EQ(second.CheckSingleInstance(), c.secondGoesOn);
    }
    // A lookup that found nothing gives an empty name: always a first start.
    WriteIni("");
    CVelkSTKAppApp a;
    Start(a, "x://url=MUTEX");
    EXPECT_TRUE(a.CheckSingleInstance());
    CVelkSTKAppApp b;
    Start(b, "x://url=MUTEX");
    EXPECT_TRUE(b.CheckSingleInstance());
}

}  // namespace
