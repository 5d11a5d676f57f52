// The settings-file reader against the rules and tables of docs/ini-rules.md.

#include "platform/IniFile.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <ostream>
#include <string>
#include <vector>

// Readable failure messages.
static void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

using namespace std::string_literals;

namespace {

// Files of one test live in one temporary folder.
class IniFiles {
public:
    IniFiles() { EXPECT_TRUE(dir_.isValid()); }

    QString write(const QByteArray& bytes) {
        const QString path = dir_.filePath(QStringLiteral("app%1.ini").arg(++count_));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        EXPECT_EQ(file.write(bytes), bytes.size());
        return path;
    }
    // The source is UTF-8; std::string keeps embedded NULs.
    QString write(const std::string& utf8) {
        return write(QByteArray(utf8.data(), qsizetype(utf8.size())));
    }

    QString dir() const { return dir_.path(); }

private:
    QTemporaryDir dir_;
    int count_ = 0;
};

QString str(const char* utf8) {
    return QString::fromUtf8(utf8);
}

QString readApp(const QString& path, const char* key, const char* def = "dflt") {
    return GetPrivateProfileStringW(QStringLiteral("APP"), str(key), str(def), 512, path);
}

int readInt(const QString& path, int def = 7) {
    return GetPrivateProfileIntW(QStringLiteral("APP"), QStringLiteral("n"), def, path);
}

QByteArray utf16(const QString& text, bool bigEndian) {
    QByteArray out = bigEndian ? QByteArray("\xFE\xFF") : QByteArray("\xFF\xFE");
    for (QChar c : text) {
        const char hi = char(c.unicode() >> 8), lo = char(c.unicode() & 0xFF);
        out.append(bigEndian ? hi : lo).append(bigEndian ? lo : hi);
    }
    return out;
}

struct StringCase {
    std::string text;  // lines joined with CRLF
    const char* key;
    const char* expected;
};

struct IntCase {
    std::string value;  // after "n="; "\x01" alone stands for a line "n" without '='
    int expected;
};

}  // namespace

// ---------------------------------------------------------------- the tables

TEST(IniFileString, TableOfIniRules) {
    const std::vector<StringCase> cases = {
        {"[app]\r\nKEY=v", "kEy", "v"},
        {"[  APP  ]\r\nkey=v", "key", "v"},
        {"   [APP]\r\nkey=v", "key", "v"},
        {"[APP] ; c\r\nkey=v", "key", "v"},
        {"[APP]]\r\nkey=v", "key", "dflt"},
        {"[APP\r\nkey=v", "key", "dflt"},
        {"[APP]\r\n   key   =   a b   ", "key", "a b"},
        {"[APP]\r\n\tkey\t=\tv\t", "key", "v"},
        {"[APP]\r\nkey=a=b", "key", "a=b"},
        {"[APP]\r\nkey=\"  q  \"", "key", "  q  "},
        {"[APP]\r\nkey='q'", "key", "q"},
        {"[APP]\r\nkey=\"q'", "key", "\"q'"},
        {"[APP]\r\nkey=\"q", "key", "\"q"},
        {"[APP]\r\nkey=\"", "key", "\""},
        {"[APP]\r\nkey=\"\"", "key", ""},
        {"[APP]\r\nkey=   \"x\"   ", "key", "x"},
        {"[APP]\r\nkey=\"a\"b\"", "key", "a\"b"},
        {"[APP]\r\n;key=c", ";key", "c"},
        {"[APP]\r\nkey=v ; note", "key", "v ; note"},
        {"[APP]\r\nkey", "key", "dflt"},
        {"[APP]\r\nkey=first\r\nkey=second", "key", "first"},
        {"[APP]\r\na=1\r\n[X]\r\n[APP]\r\nkey=2", "key", "dflt"},
        {"key=v\r\n[APP]\r\na=1", "key", "dflt"},
        {"[APP]\r\nkey=C:\\new\\tab", "key", "C:\\new\\tab"},
        // Around the rows.
        {"[APP]\r\nkey=", "key", ""},
        {"[APP]\r\nkey=  \t ", "key", ""},
        {"[APP]\r\nkey\r\nkey=v", "key", "dflt"},
        {"[APP]\r\n#key=h", "#key", "h"},
        {"[APP] x ]\r\nkey=v", "key", "dflt"},
        {"[APP]\r\nkey=v\r\n[APP2]\r\nkey=w", "key", "v"},
        {"[X]\r\nkey=x\r\n[APP]\r\nkey=v", "key", "v"},
        {"[]\r\nkey=x", "key", "dflt"},
        {"[APP]\r\nKey=v", "KEY", "v"},
        {"[APP]\r\nkey=\"a\" ", "key", "a"},
        {"[APP]\r\nkey=' '", "key", " "},
        {"[APP]\r\n= v", "key", "dflt"},
        {"[APP]\r\nk ey=v", "k ey", "v"},
    };
    IniFiles files;
    for (const StringCase& c : cases) {
        const QString path = files.write(c.text);
        EXPECT_EQ(readApp(path, c.key), str(c.expected))
            << "file: " << c.text << "  key: " << c.key;
    }
}

TEST(IniFileInt, TableOfIniRules) {
    const std::vector<IntCase> cases = {
        {"123", 123},
        {"-5", -5},
        {"+7", 7},
        {"0x1F", 31},
        {"0X1f", 0},
        {"017", 17},
        {"0o17", 15},
        {"0b101", 5},
        {"12abc", 12},
        {"abc", 0},
        {"", 7},
        {"   ", 7},
        {"4294967296", 0},
        {"4294967297", 1},
        {"99999999999", 1215752191},
        {"-2147483649", 2147483647},
        {"\"15\"", 15},
        {"1 000", 1},
        {"- 5", 0},
        {"+-1", 0},
        {std::string(31, '0') + "9", 0},
        {"\t-0x10", -16},
        {"\x01", 7},
        // Around the rows.
        {std::string(28, '0') + "9", 9},           // 29 characters all count
        {"\"" + std::string(28, '0') + "9\"", 0},  // quoted inside of 29 loses its last
        {"0x", 0},
        {"0b2", 0},
        {"0o8", 0},
        {"0xffffFFFF", -1},
        {"-4294967295", 1},
        {"2147483648", -2147483647 - 1},
        {"\"\"", 7},
        {"'-3'", -3},
        {"1\0"
         "2"s,
         1},
    };
    IniFiles files;
    for (const IntCase& c : cases) {
        const std::string line = c.value == "\x01" ? "n"s : "n=" + c.value;
        const QString path = files.write("[APP]\r\n" + line + "\r\n");
        EXPECT_EQ(readInt(path), c.expected) << "line: " << line;
    }
    EXPECT_EQ(readInt(files.dir() + QStringLiteral("/missing.ini")), 7);
    EXPECT_EQ(GetPrivateProfileIntW(QStringLiteral("APP"), QStringLiteral("other"), -9,
                                    files.write("[APP]\r\nn=1\r\n"s)),
              -9);
}

// ---------------------------------------------------------------- lines and names

TEST(IniFileLines, LineEndingsAndBlankLines) {
    IniFiles files;
    for (const std::string& text : {"[APP]\r\nkey=v\r\n"s, "[APP]\nkey=v\n"s, "[APP]\rkey=v\r"s,
                                    "\r\n\r\n[APP]\n\r\r\n\nkey=v"s, "[APP]\n\n\nx=1\r\rkey=v"s}) {
        EXPECT_EQ(readApp(files.write(text), "key"), QStringLiteral("v")) << text;
    }
    // CR-only lines are separate lines: the key is not glued to the header.
    EXPECT_EQ(readApp(files.write("[APP]\rkey=a\rnext=b"s), "next"), QStringLiteral("b"));
}

TEST(IniFileLines, TrimSet) {
    IniFiles files;
    // VT, FF and U+001A are trimmed like tab and space.
    EXPECT_EQ(readApp(files.write("\x1a[APP]\x0b\r\n\x0c key\x1a=\x1a v\x0b\x1a"s), "key"),
              QStringLiteral("v"));
    // No-break space and ideographic space are kept.
    EXPECT_EQ(readApp(files.write("[APP]\r\nkey=\u00a0v\u3000"s), "key"), str("\u00a0v\u3000"));
    EXPECT_EQ(readApp(files.write("\u3000[APP]\r\nkey=v"s), "key"), QStringLiteral("dflt"));
    EXPECT_EQ(readApp(files.write("[APP]\r\nkey\u00a0=v"s), "key"), QStringLiteral("dflt"));
    // The caller's names are trimmed the same way.
    const QString path = files.write("[APP]\r\nkey=v"s);
    EXPECT_EQ(GetPrivateProfileStringW(QStringLiteral(" APP\t"), QStringLiteral(" key "), str("d"),
                                       512, path),
              QStringLiteral("v"));
}

TEST(IniFileLines, EmptyNamesGiveTheDefault) {
    IniFiles files;
    const QString path = files.write("key=x\r\n[]\r\n=y\r\n[APP]\r\n=z\r\nkey=v"s);
    EXPECT_EQ(GetPrivateProfileStringW(QString(), QStringLiteral("key"), str("d"), 512, path),
              QStringLiteral("d"));
    EXPECT_EQ(GetPrivateProfileStringW(QStringLiteral("APP"), QString(), str("d"), 512, path),
              QStringLiteral("d"));
    EXPECT_EQ(
        GetPrivateProfileStringW(QStringLiteral("APP"), QStringLiteral("  "), str("d"), 512, path),
        QStringLiteral("d"));
    EXPECT_EQ(
        GetPrivateProfileStringW(QStringLiteral(""), QStringLiteral(""), str("d  "), 512, path),
        QStringLiteral("d"));
}

TEST(IniFileLines, EditsTakeEffectAtTheNextRead) {
    IniFiles files;
    const QString path = files.write("[APP]\r\nkey=old"s);
    EXPECT_EQ(readApp(path, "key"), QStringLiteral("old"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("[APP]\r\nkey=new");
    file.close();
    EXPECT_EQ(readApp(path, "key"), QStringLiteral("new"));
    ASSERT_TRUE(QFile::remove(path));
    EXPECT_EQ(readApp(path, "key"), QStringLiteral("dflt"));
}

// ---------------------------------------------------------------- buffer, NUL, default

TEST(IniFileBuffer, CutAt511) {
    IniFiles files;
    const std::string a600(600, 'a');
    EXPECT_EQ(readApp(files.write("[APP]\r\nkey=" + a600), "key"), QString(511, u'a'));
    // A quoted inside of exactly 511 comes back with 510; of 510 also with 510.
    EXPECT_EQ(readApp(files.write("[APP]\r\nkey=\"" + std::string(511, 'b') + "\""), "key"),
              QString(510, u'b'));
    EXPECT_EQ(readApp(files.write("[APP]\r\nkey=\"" + std::string(510, 'b') + "\""), "key"),
              QString(510, u'b'));
    // Longer quoted insides lose the opening quote and keep 511 of the inside.
    EXPECT_EQ(readApp(files.write("[APP]\r\nkey='" + std::string(700, 'c') + "'"), "key"),
              QString(511, u'c'));
    // Other buffer sizes follow the same rule.
    const QString path = files.write("[APP]\r\nkey=\"abcd\""s);
    EXPECT_EQ(
        GetPrivateProfileStringW(QStringLiteral("APP"), QStringLiteral("key"), str("d"), 4, path),
        QStringLiteral("abc"));
    EXPECT_EQ(
        GetPrivateProfileStringW(QStringLiteral("APP"), QStringLiteral("key"), str("d"), 5, path),
        QStringLiteral("abc"));
    EXPECT_EQ(
        GetPrivateProfileStringW(QStringLiteral("APP"), QStringLiteral("key"), str("d"), 6, path),
        QStringLiteral("abcd"));
    EXPECT_EQ(
        GetPrivateProfileStringW(QStringLiteral("APP"), QStringLiteral("key"), str("d"), 0, path),
        QString());
}

TEST(IniFileBuffer, NulEndsTheValue) {
    IniFiles files;
    EXPECT_EQ(readApp(files.write("[APP]\r\nkey=ab\0cd"s), "key"), QStringLiteral("ab"));
    EXPECT_EQ(readApp(files.write("[APP]\r\nkey=\0cd"s), "key"), QString());
    EXPECT_EQ(readApp(files.write("[APP]\r\nkey=\"ab\0\""s), "key"), QStringLiteral("\"ab"));
    EXPECT_EQ(readApp(files.write("[APP]\r\nkey='ab'\0tail"s), "key"), QStringLiteral("ab"));
    // A NUL does not end the line: the next line is still read.
    EXPECT_EQ(readApp(files.write("[APP]\r\nx=\0\r\nkey=v"s), "key"), QStringLiteral("v"));
}

TEST(IniFileBuffer, DefaultTrimming) {
    IniFiles files;
    const QString path = files.write("[APP]\r\nkey=v"s);
    const QString missing = files.dir() + QStringLiteral("/missing.ini");
    for (const QString& p : {path, missing}) {
        EXPECT_EQ(readApp(p, "nokey", "dflt   "), QStringLiteral("dflt"));
        EXPECT_EQ(readApp(p, "nokey", "   "), QStringLiteral(" "));
        EXPECT_EQ(readApp(p, "nokey", " "), QStringLiteral(" "));
        EXPECT_EQ(readApp(p, "nokey", ""), QString());
        EXPECT_EQ(readApp(p, "nokey", "  x  "), QStringLiteral("  x"));
        EXPECT_EQ(readApp(p, "nokey", "x\t"), QStringLiteral("x\t"));
        EXPECT_EQ(readApp(p, "nokey", "x \t "), QStringLiteral("x \t"));
        EXPECT_EQ(GetPrivateProfileStringW(QStringLiteral("APP"), QStringLiteral("nokey"),
                                           QString(600, u'd'), 512, p),
                  QString(511, u'd'));
    }
    EXPECT_EQ(readApp(path, "key", "  "), QStringLiteral("v"));
}

// ---------------------------------------------------------------- encodings

TEST(IniFileEncoding, MarksAndKorean) {
    IniFiles files;
    const QString text = str("[앱]\r\n이름=벨크\r\n[APP]\r\nkey=벨크");
    const QString name = str("벨크");
    for (const QString& path :
         {files.write(utf16(text, false)), files.write(utf16(text, true)),
          files.write("\xEF\xBB\xBF" + text.toStdString()), files.write(text.toUtf8())}) {
        EXPECT_EQ(readApp(path, "key"), name);
        EXPECT_EQ(GetPrivateProfileStringW(str("앱"), str("이름"), str("d"), 512, path), name);
    }
    // UTF-16 is taken in units: the ASCII case rule, quotes and the cut work alike.
    EXPECT_EQ(readApp(files.write(utf16(QStringLiteral("[app]\nKEY='") + QString(600, u'x') + u'\'',
                                        false)),
                      "key"),
              QString(511, u'x'));
    // Only the first mark is removed: a second U+FEFF is text.
    EXPECT_EQ(readApp(files.write("\xEF\xBB\xBF\xEF\xBB\xBF[APP]\r\nkey=v"s), "key"),
              QStringLiteral("dflt"));
    EXPECT_EQ(readApp(files.write(utf16(QStringLiteral("\uFEFF[APP]\nkey=v"), false)), "key"),
              QStringLiteral("dflt"));
}

TEST(IniFileEncoding, Cp949WithoutMark) {
    IniFiles files;
    // "벨크" in CP949 is BA A7 C5 A9.
    EXPECT_EQ(readApp(files.write("[APP]\r\nkey=\xBA\xA7\xC5\xA9\r\n"s), "key"), str("벨크"));
    // 8C 63 is "똠", outside KS X 1001: the Windows (UHC) table, not IBM's.
    EXPECT_EQ(readApp(files.write("[APP]\r\nkey=\x8C\x63\xBA\xA7"s), "key"), str("똠벨"));
    // CP949 names, and a file whose last byte is a lone lead byte.
    const QString path = files.write("[\xBA\xA7\xC5\xA9]\r\n\xC5\xA9=\xBA\xA7\r\nx=\xBA"s);
    EXPECT_EQ(GetPrivateProfileStringW(str("벨크"), str("크"), str("d"), 512, path), str("벨"));
    const QString lone =
        GetPrivateProfileStringW(str("벨크"), QStringLiteral("x"), str("d"), 512, path);
    EXPECT_EQ(lone.size(), 1);
    EXPECT_NE(lone, str("d"));
    // A broken pair does not swallow the line end.
    EXPECT_EQ(GetPrivateProfileStringW(str("APP"), QStringLiteral("next"), str("d"), 512,
                                       files.write("[APP]\r\nkey=\xBA\r\nnext=v"s)),
              QStringLiteral("v"));
}

// ---------------------------------------------------------------- bad input

TEST(IniFileBadInput, NeverCrashes) {
    IniFiles files;
    QRandomGenerator random(949);
    for (int i = 0; i < 20; ++i) {
        QByteArray garbage(4096 + i, Qt::Uninitialized);
        for (char& c : garbage)
            c = char(random.bounded(256));
        if (i % 4 == 1)
            garbage.prepend("\xFF\xFE");
        if (i % 4 == 2)
            garbage.prepend("\xFE\xFF");
        if (i % 4 == 3)
            garbage.prepend("\xEF\xBB\xBF");
        const QString path = files.write(garbage);
        const QString value = readApp(path, "key");
        EXPECT_LE(value.size(), 511);
        (void)readInt(path);
    }
    // Empty file, a mark alone, no newline at all, a header alone.
    for (const QByteArray& bytes :
         {QByteArray(), QByteArray("\xFF\xFE"), QByteArray("\xFE"), QByteArray("\xEF\xBB"),
          QByteArray("[APP]"), QByteArray("["), QByteArray("]"), QByteArray("=")}) {
        EXPECT_EQ(readApp(files.write(bytes), "key"), QStringLiteral("dflt"));
    }
    EXPECT_EQ(readApp(files.write("[APP]\r\nkey=v"s), "key"), QStringLiteral("v"));
    // A folder and a missing file give the default.
    EXPECT_EQ(readApp(files.dir(), "key"), QStringLiteral("dflt"));
    EXPECT_EQ(readApp(files.dir() + QStringLiteral("/none/app.ini"), "key"),
              QStringLiteral("dflt"));
    EXPECT_EQ(readApp(QString(), "key"), QStringLiteral("dflt"));
}

TEST(IniFileBadInput, OddLengthAndBrokenUtf16) {
    IniFiles files;
    QByteArray odd = utf16(QStringLiteral("[APP]\nkey=v"), false);
    odd.append('\x41');
    EXPECT_EQ(readApp(files.write(odd), "key"), QStringLiteral("v"));
    QByteArray oddBe = utf16(QStringLiteral("[APP]\nkey=v"), true);
    oddBe.append('\x00');
    EXPECT_EQ(readApp(files.write(oddBe), "key"), QStringLiteral("v"));
    // Unpaired surrogates are kept as they are.
    const QString broken =
        QStringLiteral("[APP]\nkey=a") + QChar(char16_t(0xD800)) + u'b' + QChar(char16_t(0xDC00));
    const QString value = readApp(files.write(utf16(broken, false)), "key");
    ASSERT_EQ(value.size(), 4);
    EXPECT_EQ(value.at(1).unicode(), 0xD800);
    EXPECT_EQ(value.at(3).unicode(), 0xDC00);
}

TEST(IniFileBadInput, HugeFiles) {
    IniFiles files;
    // 20 MB of lines before the key.
    QByteArray big("[APP]\r\n");
    const QByteArray filler(
        "filler=0123456789012345678901234567890123456789012345678901234567890123456789\r\n");
    big.reserve(20 * 1024 * 1024 + 64);
    while (big.size() < 20 * 1024 * 1024)
        big.append(filler);
    big.append("key=found\r\n");
    EXPECT_EQ(readApp(files.write(big), "key"), QStringLiteral("found"));

    // Megabytes of Korean lines in each encoding: the key lies past the first
    // pieces the reader decodes.
    const QString korean = str("벨크");
    QByteArray cp949("[APP]\r\n"), utf8("[APP]\r\n");
    QString text = QStringLiteral("[APP]\r\n");
    while (cp949.size() < 3 * 1024 * 1024) {
        cp949.append("k=\xBA\xA7\xC5\xA9\xBA\xA7\r\n");
        utf8.append(str("k=벨크벨\r\n").toUtf8());
        text.append(str("k=벨크벨\r\n"));
    }
    cp949.append("key=\xBA\xA7\xC5\xA9");
    utf8.append(str("key=벨크").toUtf8());
    text.append(str("key=벨크"));
    EXPECT_EQ(readApp(files.write(cp949), "key"), korean);
    EXPECT_EQ(readApp(files.write(utf8), "key"), korean);
    EXPECT_EQ(readApp(files.write(utf16(text, false)), "key"), korean);
    EXPECT_EQ(readApp(files.write(utf16(text, true)), "key"), korean);

    // One 20 MB line without a newline, with bytes that are not UTF-8.
    QByteArray line("[APP]\nkey=");
    line.append(QByteArray(20 * 1024 * 1024, '\xB0'));
    EXPECT_EQ(readApp(files.write(line), "key").size(), 511);
}
