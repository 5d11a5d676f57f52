#include "app/LaunchParams.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "packet/Packet.h"

// Readable failure messages for texts.
static void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace {

QString U(const char* utf8) {
    return QString::fromUtf8(utf8);
}

constexpr const char* kEmpty = "<PKT><GBN>0</GBN></PKT>";

struct Case {
    const char* commandLine;
    bool goesOn;
    const char* params;  // the parameter packet's whole text afterwards
};

void CheckAll(const QString& marker, const std::initializer_list<Case>& cases) {
    for (const Case& c : cases) {
        SCOPED_TRACE(c.commandLine);
        CPacket params(0);
        EXPECT_EQ(ParseLaunchParameters(U(c.commandLine), marker, params), c.goesOn);
        EXPECT_EQ(params.GetText(), U(c.params));
    }
}

// A command line that names the executable, followed by the given tail.
#define EXE R"("C:\Prog\app.exe" x)"

TEST(LaunchParamsGrammar, WindowsCommandLines) {
    CheckAll(".exe",
             {
                 {"", true, kEmpty},
                 {R"("C:\Prog\app.exe")", true, kEmpty},
                 {R"(C:\Prog\app.exe)", true, kEmpty},
                 {R"("C:\Prog\app.exe" --flag)", true, kEmpty},
                 // ".exe" is looked for exactly as written.
                 {R"(C:\PROG\APP.EXE x://url=a)", false, kEmpty},
                 {R"(C:\Prog\app x://url=a)", false, kEmpty},
                 // Nothing is unquoted: the closing quotation mark stays in the last value.
                 {R"("C:\Prog\app.exe" "x://url=a/b?c=d$mutex=M1")", true,
                  R"(<PKT><GBN>0</GBN><URL>a/b?c=d</URL><MUTEX>M1"</MUTEX></PKT>)"},
                 {R"("C:\Prog\app.exe" x://url=page?a=1$mutex=M1)", true,
                  "<PKT><GBN>0</GBN><URL>page?a=1</URL><MUTEX>M1</MUTEX></PKT>"},
                 // Only the first "://" after the executable starts the parameters.
                 {EXE "://url=x://y?k=v", true, "<PKT><GBN>0</GBN><URL>x://y?k=v</URL></PKT>"},
                 {R"(x://a=1 "C:\Prog\app.exe" y://b=2)", true, "<PKT><GBN>0</GBN><B>2</B></PKT>"},
                 // The character right after the marker is skipped, whatever it is.
                 {R"(C:\Prog\app.exe://a=1)", true, kEmpty},
                 {R"(C:\Prog\app.exe ://a=1)", true, "<PKT><GBN>0</GBN><A>1</A></PKT>"},
                 // The first ".exe" counts, even inside a directory name.
                 {R"("C:\my.exe.d\app.exe" x://a=1)", true, "<PKT><GBN>0</GBN><A>1</A></PKT>"},
                 // Values are raw: percent-encoding stays as written, with its ASCII percent sign.
                 {EXE "://url=a%20b", true, "<PKT><GBN>0</GBN><URL>a%20b</URL></PKT>"},
             });
}

TEST(LaunchParamsGrammar, TokensAndKeys) {
    CheckAll(".exe", {
                         {EXE "://A=1$$B=2$", true, "<PKT><GBN>0</GBN><A>1</A><B>2</B></PKT>"},
                         {EXE "://$$$A=1", true, "<PKT><GBN>0</GBN><A>1</A></PKT>"},
                         {EXE "://=X$Y=$Z", true, kEmpty},
                         {EXE "://A=1$A=2", true, "<PKT><GBN>0</GBN><A>2</A></PKT>"},
                         {EXE "://A=1$B=5$A=2", true, "<PKT><GBN>0</GBN><B>5</B><A>2</A></PKT>"},
                         {EXE "://==$A=1", true, "<PKT><GBN>0</GBN><A>1</A></PKT>"},
                         // Leading '=' are skipped before the key; later ones belong to the value.
                         {EXE "://=a=b", true, "<PKT><GBN>0</GBN><A>b</A></PKT>"},
                         {EXE "://a==b=c", true, "<PKT><GBN>0</GBN><A>=b=c</A></PKT>"},
                         // Keys are upper-cased for a to z only; values are kept as given.
                         {EXE "://Url=MiXed$kEy_é1=v$é=ü", true,
                          "<PKT><GBN>0</GBN><URL>MiXed</URL><KEY_é1>v</KEY_é1><é>ü</é></PKT>"},
                         {EXE "://url=a$URL=b", true, "<PKT><GBN>0</GBN><URL>b</URL></PKT>"},
                         // The packet's root is no key: it would empty the packet.
                         {EXE "://url=a$pkt=1$mutex=M", true,
                          "<PKT><GBN>0</GBN><URL>a</URL><MUTEX>M</MUTEX></PKT>"},
                         // Blanks are not trimmed.
                         {EXE "://a= b $ c=d", true, "<PKT><GBN>0</GBN><A> b </A>< C>d</ C></PKT>"},
                     });
}

TEST(LaunchParamsGrammar, DesktopCommandLinesUseTheExecutableName) {
    CheckAll("VelkSTKApp", {
                               {R"("/opt/velk/VelkSTKApp" x://url=a$mutex=M1)", true,
                                "<PKT><GBN>0</GBN><URL>a</URL><MUTEX>M1</MUTEX></PKT>"},
                               {R"("/opt/velk/VelkSTKApp")", true, kEmpty},
                               {"/opt/velk/VelkSTKApp", true, kEmpty},
                               {R"("/opt/velk/VelkSTKApp" --no-sandbox x://url=http://h/p?q=1)",
                                true, "<PKT><GBN>0</GBN><URL>http://h/p?q=1</URL></PKT>"},
                               {R"("/opt/VelkSTKApp/VelkSTKApp" x://a=1)", true,
                                "<PKT><GBN>0</GBN><A>1</A></PKT>"},
                               {R"("/usr/bin/other" x://url=a)", false, kEmpty},
                               {R"("/opt/velk/velkstkapp" x://url=a)", false, kEmpty},
                               // The Windows marker means nothing here.
                               {R"("C:\Prog\app.exe" x://url=a)", false, kEmpty},
                           });
}

TEST(LaunchParamsGrammar, SetsOverFieldsAlreadyStored) {
    CPacket params(U("<PKT><GBN>0</GBN><URL>old</URL><WINNM>W</WINNM></PKT>"));
    EXPECT_TRUE(ParseLaunchParameters(U(EXE "://url=new"), ".exe", params));
    EXPECT_EQ(params.GetText(), U("<PKT><GBN>0</GBN><WINNM>W</WINNM><URL>new</URL></PKT>"));
}

TEST(LaunchParamsRobustness, BadInputNeverEndsBadly) {
    CheckAll(".exe", {
                         {"$", false, kEmpty},
                         {"://", false, kEmpty},
                         {"=", false, kEmpty},
                         {EXE "://$", true, kEmpty},
                         {EXE "://", true, kEmpty},
                         {EXE "://=", true, kEmpty},
                         {EXE "://$=$==$", true, kEmpty},
                         {".exe", true, kEmpty},
                         {".exe ://", true, kEmpty},
                         {".exe ://a=1", true, "<PKT><GBN>0</GBN><A>1</A></PKT>"},
                         // A value is raw text, tags included: setting B later finds the B inside
                         // A's value first and removes that one.
                         {EXE "://a=<B>1</B>$b=2", true, "<PKT><GBN>0</GBN><A></A><B>2</B></PKT>"},
                     });

    // An empty marker is found at the start of any text.
    {
        CPacket params(0);
        EXPECT_TRUE(ParseLaunchParameters(U("xx://a=1"), "", params));
        EXPECT_EQ(params.GetText(), U("<PKT><GBN>0</GBN><A>1</A></PKT>"));
    }

    // Binary characters are ordinary text.
    {
        const QChar nul(u'\0');
        const QChar loneHigh(0xD800);
        const QString value = QString(nul) + loneHigh + QChar(0xFFFF);
        CPacket params(0);
        EXPECT_TRUE(ParseLaunchParameters(QString(nul) + U(".exe ://k") + nul + U("=") + value,
                                          ".exe", params));
        EXPECT_EQ(params.GetString(U("K") + nul, "d"), value);
    }
}

TEST(LaunchParamsRobustness, HugeCommandLines) {
    constexpr qsizetype kSize = 10 * 1024 * 1024;
    struct HugeCase {
        const char* name;
        QString tail;
        const char* params;  // nullptr: checked below
    };
    const HugeCase cases[] = {
        {"only dollars", QString(kSize, u'$'), kEmpty},
        {"only equals signs", QString(kSize, u'='), kEmpty},
        {"only schemes", QStringLiteral("://").repeated(kSize / 3), kEmpty},
        {"one huge value", U("url=") + QString(kSize, u'v'), nullptr},
        {"one pair many times", U("a=1$").repeated(20000), "<PKT><GBN>0</GBN><A>1</A></PKT>"},
    };
    for (const HugeCase& c : cases) {
        SCOPED_TRACE(c.name);
        CPacket params(0);
        EXPECT_TRUE(ParseLaunchParameters(U(EXE "://") + c.tail, ".exe", params));
        if (c.params) {
            EXPECT_EQ(params.GetText(), U(c.params));
        } else {
            EXPECT_EQ(params.GetString("URL", "d"), QString(kSize, u'v'));
        }
    }

    // Many different keys each get a field, in order.
    constexpr int kKeys = 2000;
    QString tail;
    QString expected = U("<PKT><GBN>0</GBN>");
    for (int i = 0; i < kKeys; ++i) {
        tail += QStringLiteral("k%1=%1$").arg(i);
        expected += QStringLiteral("<K%1>%1</K%1>").arg(i);
    }
    expected += U("</PKT>");
    CPacket params(0);
    EXPECT_TRUE(ParseLaunchParameters(U(EXE "://") + tail, ".exe", params));
    EXPECT_EQ(params.GetText(), expected);
}

#undef EXE

}  // namespace
