#include "packet/Fields.h"
#include "packet/Packet.h"
#include "packet/Vocabulary.h"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QStringList>
#include <atomic>
#include <chrono>
#include <climits>
#include <functional>
#include <future>
#include <latch>
#include <memory>
#include <ostream>
#include <thread>
#include <vector>

// Readable failure messages for texts.
static void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace {

QString U(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// Runs `work` on a thread of its own and says whether it came to an end. A run that deadlocks
// is left behind, detached, so that the test fails instead of hanging. The limit only keeps a
// deadlock from stalling the suite; it measures nothing.
bool FinishesWithoutDeadlock(std::function<void()> work) {
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> finished = done->get_future();
    std::thread([work = std::move(work), done] {
        work();
        done->set_value();
    }).detach();
    return finished.wait_for(std::chrono::seconds(60)) == std::future_status::ready;
}

// ---------------------------------------------------------------------------------------------

TEST(PacketBuild, KindConstructorWritesTheKindField) {
    struct Case {
        int kind;
        const char* text;
    };
    const Case cases[] = {
        {0, "<PKT><GBN>0</GBN></PKT>"},
        {GBN_COMMAND, "<PKT><GBN>9000</GBN></PKT>"},
        {GBN_LOADING_STATE, "<PKT><GBN>9013</GBN></PKT>"},
        {-7, "<PKT><GBN>-7</GBN></PKT>"},
        {INT_MIN, "<PKT><GBN>-2147483648</GBN></PKT>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        CPacket p(c.kind);
        EXPECT_EQ(p.GetText(), U(c.text));
        EXPECT_EQ(p.GetInt("GBN", -1), c.kind);
    }
}

TEST(PacketBuild, WholeTextsTurnPercentSignsFullwidthButFieldsKeepThem) {
    struct Case {
        const char* given;
        const char* stored;
    };
    const Case cases[] = {
        {"<PKT><MSG>50%</MSG></PKT>", "<PKT><MSG>50％</MSG></PKT>"},
        {"%%a%", "％％a％"},
        {"<PKT><URL>a%20b</URL></PKT>", "<PKT><URL>a％20b</URL></PKT>"},
        {"no percent", "no percent"},
        {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.given);
        CPacket built(U(c.given));
        EXPECT_EQ(built.GetText(), U(c.stored));
        CPacket set(1);
        set.SetText(U(c.given));
        EXPECT_EQ(set.GetText(), U(c.stored));
    }

    // Field by field, the sign stays, and reading does not undo an earlier replacement.
    CPacket p(U("<PKT><A>1%</A></PKT>"));
    p.AddString("MSG", "50%");
    EXPECT_EQ(p.GetText(), U("<PKT><A>1％</A><MSG>50%</MSG></PKT>"));
    EXPECT_EQ(p.GetString("MSG", ""), U("50%"));
    EXPECT_EQ(p.GetString("A", ""), U("1％"));
}

// ---------------------------------------------------------------------------------------------

TEST(PacketAdd, InsertsFieldsBeforeTheFirstRootEnd) {
    struct Case {
        const char* name;
        const char* start;  // nullptr: a packet of kind 9013
        std::function<void(CPacket&)> edit;
        const char* result;
    };
    const Case cases[] = {
        {"loading state in order", nullptr,
         [](CPacket& p) {
             p.AddInt("LOADING", 1);
             p.AddInt("BACK", 0);
             p.AddInt("FORWARD", 0);
         },
         "<PKT><GBN>9013</GBN><LOADING>1</LOADING><BACK>0</BACK><FORWARD>0</FORWARD></PKT>"},
        {"no root", "abc", [](CPacket& p) { p.AddString("A", "1"); }, "abc"},
        {"no root for numbers", "<PKT>", [](CPacket& p) { p.AddInt("A", 1); }, "<PKT>"},
        {"empty text", "", [](CPacket& p) { p.AddString("A", "1"); }, ""},
        {"first of two root ends", "<PKT></PKT>x</PKT>", [](CPacket& p) { p.AddInt("N", -42); },
         "<PKT><N>-42</N></PKT>x</PKT>"},
        {"root end without root start", "</PKT>", [](CPacket& p) { p.AddString("A", "v"); },
         "<A>v</A></PKT>"},
        {"duplicates are allowed", "<PKT></PKT>",
         [](CPacket& p) {
             p.AddString("A", "1");
             p.AddString("A", "1");
         },
         "<PKT><A>1</A><A>1</A></PKT>"},
        {"values are not escaped", "<PKT></PKT>",
         [](CPacket& p) { p.AddString("V", "a<b>&\"c\""); }, "<PKT><V>a<b>&\"c\"</V></PKT>"},
        {"extreme numbers", "<PKT></PKT>",
         [](CPacket& p) {
             p.AddInt("MIN", INT_MIN);
             p.AddInt("MAX", INT_MAX);
         },
         "<PKT><MIN>-2147483648</MIN><MAX>2147483647</MAX></PKT>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CPacket p = c.start ? CPacket(U(c.start)) : CPacket(GBN_LOADING_STATE);
        c.edit(p);
        EXPECT_EQ(p.GetText(), U(c.result));
    }
}

// ---------------------------------------------------------------------------------------------

TEST(PacketRead, GetStringFindsTheFirstFieldBySubstringSearch) {
    struct Case {
        const char* text;
        const char* tag;
        const char* def;
        const char* expected;
    };
    const Case cases[] = {
        {"<PKT><GBN>0</GBN></PKT>", "URL", "x", "x"},
        {"<PKT><URL></URL></PKT>", "URL", "x", ""},
        {"<PKT><URL>http://a/b?c=d</URL></PKT>", "URL", "x", "http://a/b?c=d"},
        {"<PKT><A>1</A><A>2</A></PKT>", "A", "", "1"},
        // Nesting is not interpreted: the first opening tag counts, wherever it stands.
        {"<PKT><MSG><URL>u</URL></MSG><URL>v</URL></PKT>", "URL", "", "u"},
        // The closing tag is searched from the start: one before the opening tag gives "".
        {"<PKT></A><A>1</A></PKT>", "A", "d", ""},
        {"<PKT><A>1</PKT>", "A", "d", "d"},
        {"<PKT>1</A></PKT>", "A", "d", "d"},
        {"", "A", "d", "d"},
        {"no root <A>v</A>", "A", "d", "v"},
        // Names are compared exactly.
        {"<PKT><url>v</url></PKT>", "URL", "d", "d"},
        {"<PKT><AB>v</AB></PKT>", "A", "d", "d"},
        // A value runs up to the closing tag, '<' and '>' included.
        {"<PKT><A>x<b>y</b>></A></PKT>", "A", "", "x<b>y</b>>"},
        // The value starts after the first '>' from the opening tag, also inside the tag.
        {"<PKT><a>b>v</a>b></PKT>", "a>b", "", "b>v"},
        {"<PKT><>v</></PKT>", "", "d", "v"},
        {"<PKT><한>값</한></PKT>", "한", "d", "값"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " / " + c.tag);
        CPacket p(U(c.text));
        EXPECT_EQ(p.GetString(U(c.tag), U(c.def)), U(c.expected));
    }
}

TEST(PacketRead, GetIntConvertsLikeWideStringToLong) {
    struct Case {
        const char* text;
        int def;
        int expected;
    };
    const Case cases[] = {
        {"<PKT></PKT>", 7, 7},
        {"<PKT></PKT>", INT_MIN, INT_MIN},
        {"<PKT><CODE></CODE></PKT>", 7, 0},
        {"<PKT><CODE>abc</CODE></PKT>", 7, 0},
        {"<PKT><CODE>1,234</CODE></PKT>", 7, 1234},
        {"<PKT><CODE> -5</CODE></PKT>", 7, -5},
        {"<PKT><CODE>\t\r\n\v\f 42</CODE></PKT>", 7, 42},
        {"<PKT><CODE>+12</CODE></PKT>", 7, 12},
        {"<PKT><CODE>12abc</CODE></PKT>", 7, 12},
        {"<PKT><CODE>3.9</CODE></PKT>", 7, 3},
        {"<PKT><CODE>0x1A</CODE></PKT>", 7, 0},
        {"<PKT><CODE>007</CODE></PKT>", 7, 7},
        {"<PKT><CODE>- 5</CODE></PKT>", 7, 0},
        {"<PKT><CODE>-</CODE></PKT>", 7, 0},
        {"<PKT><CODE>--5</CODE></PKT>", 7, 0},
        {"<PKT><CODE>1,2,3</CODE></PKT>", 7, 123},
        {"<PKT><CODE>,-,5</CODE></PKT>", 7, -5},
        {"<PKT><CODE>2147483647</CODE></PKT>", 7, INT_MAX},
        {"<PKT><CODE>2147483648</CODE></PKT>", 7, INT_MAX},
        {"<PKT><CODE>-2147483648</CODE></PKT>", 7, INT_MIN},
        {"<PKT><CODE>-2147483649</CODE></PKT>", 7, INT_MIN},
        {"<PKT><CODE>4294967296</CODE></PKT>", 7, INT_MAX},
        {"<PKT><CODE>99999999999999999999999999</CODE></PKT>", 7, INT_MAX},
        {"<PKT><CODE>-99999999999999999999999999</CODE></PKT>", 7, INT_MIN},
        {"<PKT><CODE>1</CODE><CODE>2</CODE></PKT>", 7, 1},
        {"<PKT></CODE><CODE>5</CODE></PKT>", 7, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        CPacket p(U(c.text));
        EXPECT_EQ(p.GetInt("CODE", c.def), c.expected);
    }
}

TEST(PacketRead, KindAndCommandAreTheirFieldsOrZero) {
    struct Case {
        const char* text;
        int kind;
        int command;
    };
    const Case cases[] = {
        {"<PKT><GBN>9000</GBN><CMD>20</CMD></PKT>", GBN_COMMAND, CMD_OPEN_CHAT_FRAME},
        {"<PKT><GBN>9010</GBN><CODE>404</CODE></PKT>", GBN_LOAD_END, 0},
        {"<PKT><CMD>1</CMD></PKT>", 0, CMD_HIDE_OR_CLOSE},
        {"<PKT></PKT>", 0, 0},
        {"", 0, 0},
        // Read as any number field: commas dropped, the first field counts.
        {"<PKT><GBN>9,000</GBN><CMD>2</CMD><CMD>3</CMD></PKT>", GBN_COMMAND, CMD_MINIMIZE},
        {"<PKT><GBN>x</GBN><CMD></CMD></PKT>", 0, 0},
        // Names are case-sensitive.
        {"<PKT><gbn>9000</gbn><cmd>20</cmd></PKT>", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        CPacket p(U(c.text));
        EXPECT_EQ(PacketKind(p), c.kind);
        EXPECT_EQ(PacketCommand(p), c.command);
    }
}

TEST(PacketRead, ContainsIsAPlainSubstringTest) {
    struct Case {
        const char* text;
        const char* str;  // nullptr: a null string
        bool expected;
    };
    const Case cases[] = {
        {"<PKT><URL>a</URL></PKT>", "URL", true},
        {"<PKT><MSG>see URL</MSG></PKT>", "URL", true},
        {"<PKT><MSG>see url</MSG></PKT>", "URL", false},
        {"<PKT></PKT>", "MUTEX", false},
        {"<PKT></PKT>", nullptr, false},
        {"", nullptr, false},
        {"<PKT></PKT>", "", true},
        {"", "a", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " / " + (c.str ? c.str : "(null)"));
        CPacket p(U(c.text));
        EXPECT_EQ(p.Contains(c.str ? U(c.str) : QString()), c.expected);
    }
}

TEST(PacketRead, ScriptTextIsAStringLiteralOfExactlyTheText) {
    struct Case {
        QString text;
        QString script;
    };
    const Case cases[] = {
        // Line feeds and double quotes.
        {QStringLiteral("<PKT><MSG>a\nb</MSG></PKT>"),
         QStringLiteral("<PKT><MSG>a\\nb</MSG></PKT>")},
        {QStringLiteral("say \"hi\""), QStringLiteral("say \\\"hi\\\"")},
        {QStringLiteral("\n\n\""), QStringLiteral("\\n\\n\\\"")},
        // Backslashes are doubled, so an escaped quote in the text cannot end the literal.
        {QStringLiteral("a \\ b\\"), QStringLiteral("a \\\\ b\\\\")},
        {QStringLiteral("\\\");JSMarker();//"), QStringLiteral("\\\\\\\");JSMarker();//")},
        // Carriage returns and the other control characters.
        {QStringLiteral("a\r\nb"), QStringLiteral("a\\r\\nb")},
        {QStringLiteral("\0|\t|\b|\f|\v|\x1b|\x1f|\x7f"),
         QStringLiteral("\\u0000|\\u0009|\\u0008|\\u000C|\\u000B|\\u001B|\\u001F|\\u007F")},
        // The line and paragraph separators.
        {QStringLiteral("a\u2028b\u2029c"), QStringLiteral("a\\u2028b\\u2029c")},
        // Surrogates outside a pair, at the end, before another unit, reversed, doubled.
        {QStringLiteral("a\xD800"), QStringLiteral("a\\uD800")},
        {QStringLiteral("\xD800 b"), QStringLiteral("\\uD800 b")},
        {QStringLiteral("\xDC00"), QStringLiteral("\\uDC00")},
        {QStringLiteral("\xDC00\xD800"), QStringLiteral("\\uDC00\\uD800")},
        {QStringLiteral("\xD800\xD83D\xDE00"), QStringLiteral("\\uD800\U0001F600")},
        // Everything else stays, pairs and characters beyond the controls included.
        {QStringLiteral("it's <PKT> \U0001F600 \uD55C\uAE00 \uFF05 \u0080 \uFFFF"),
         QStringLiteral("it's <PKT> \U0001F600 \uD55C\uAE00 \uFF05 \u0080 \uFFFF")},
        {QStringLiteral(""), QStringLiteral("")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        CPacket p(c.text);
        EXPECT_EQ(p.GetScriptText(), c.script);
        EXPECT_EQ(p.GetText(), c.text);
    }
}

// ---------------------------------------------------------------------------------------------

TEST(PacketEdit, RemoveAndSetReplaceTheFirstValuesFields) {
    struct Case {
        const char* name;
        const char* start;
        std::function<void(CPacket&)> edit;
        const char* result;
    };
    const Case cases[] = {
        {"remove the first value's field", "<PKT><A>1</A><A>2</A></PKT>",
         [](CPacket& p) { p.Remove("A"); }, "<PKT><A>2</A></PKT>"},
        {"remove every copy of that field", "<PKT><A>1</A><B>x</B><A>1</A></PKT>",
         [](CPacket& p) { p.Remove("A"); }, "<PKT><B>x</B></PKT>"},
        {"absent tag removes only its empty fields", "<PKT><B></B><A>1</A></PKT>",
         [](CPacket& p) {
             p.Remove("B");
             p.Remove("C");
         },
         "<PKT><A>1</A></PKT>"},
        {"one pass, left to right", "<PKT><<A>1</A>A>1</A></PKT>",
         [](CPacket& p) { p.Remove("A"); }, "<PKT><A>1</A></PKT>"},
        {"a field inside a value is the one removed", "<PKT><MSG><URL>u</URL></MSG></PKT>",
         [](CPacket& p) { p.Remove("URL"); }, "<PKT><MSG></MSG></PKT>"},
        {"set keeps other values", "<PKT><A>1</A><A>2</A></PKT>",
         [](CPacket& p) { p.SetString("A", "3"); }, "<PKT><A>2</A><A>3</A></PKT>"},
        {"set moves the field to the end", "<PKT><GBN>0</GBN><X>5</X><Y>6</Y></PKT>",
         [](CPacket& p) { p.SetInt("X", 7); }, "<PKT><GBN>0</GBN><Y>6</Y><X>7</X></PKT>"},
        {"set adds a new field", "<PKT><GBN>0</GBN></PKT>",
         [](CPacket& p) {
             p.SetString("URL", "a%b");
             p.SetInt("N", -1);
         },
         "<PKT><GBN>0</GBN><URL>a%b</URL><N>-1</N></PKT>"},
        {"set to the same value twice leaves one field", "<PKT></PKT>",
         [](CPacket& p) {
             p.SetString("A", "v");
             p.SetString("A", "v");
         },
         "<PKT><A>v</A></PKT>"},
        {"set without a root only removes", "<A>1</A>", [](CPacket& p) { p.SetString("A", "2"); },
         ""},
        {"set of an int without a root only removes", "x<A>1</A>y",
         [](CPacket& p) { p.SetInt("A", 2); }, "xy"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CPacket p(U(c.start));
        c.edit(p);
        EXPECT_EQ(p.GetText(), U(c.result));
    }
}

TEST(PacketEdit, CopyUrlTakesTheUrlOverWhenTheOtherMentionsIt) {
    struct Case {
        const char* name;
        const char* mine;
        const char* other;
        const char* result;
    };
    const Case cases[] = {
        {"a URL field", "<PKT><GBN>9000</GBN></PKT>", "<PKT><URL>http://a/</URL></PKT>",
         "<PKT><GBN>9000</GBN><URL>http://a/</URL></PKT>"},
        {"replaces and moves mine", "<PKT><URL>old</URL><CMD>20</CMD></PKT>",
         "<PKT><URL>new</URL></PKT>", "<PKT><CMD>20</CMD><URL>new</URL></PKT>"},
        {"URL only inside a value", "<PKT><URL>old</URL></PKT>",
         "<PKT><MSG>no URL here</MSG></PKT>", "<PKT><URL></URL></PKT>"},
        {"no mention at all", "<PKT><URL>old</URL></PKT>", "<PKT><MSG>none</MSG></PKT>",
         "<PKT><URL>old</URL></PKT>"},
        {"the first of two", "<PKT></PKT>", "<PKT><URL>1</URL><URL>2</URL></PKT>",
         "<PKT><URL>1</URL></PKT>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CPacket mine(U(c.mine));
        CPacket other(U(c.other));
        mine.CopyUrl(other);
        EXPECT_EQ(mine.GetText(), U(c.result));
        EXPECT_EQ(other.GetText(), U(c.other));
    }
}

// ---------------------------------------------------------------------------------------------

TEST(PacketRobustness, HugeTextsAreHandledWhole) {
    constexpr qsizetype kSize = 10 * 1024 * 1024;
    const QString big(kSize, u'x');

    struct Case {
        const char* name;
        std::function<void()> check;
    };
    const Case cases[] = {
        {"a huge value reads back whole",
         [&] {
             CPacket p(QStringLiteral("<PKT><V>") + big + QStringLiteral("</V></PKT>"));
             EXPECT_EQ(p.GetString("V", "d").size(), kSize);
             EXPECT_TRUE(p.Contains("</V>"));
             p.SetString("V", "small");
             EXPECT_EQ(p.GetText(), U("<PKT><V>small</V></PKT>"));
         }},
        {"a huge text without root stays as it is",
         [&] {
             CPacket p(big);
             p.AddString("A", "1");
             p.SetInt("B", 2);
             EXPECT_EQ(p.GetText().size(), kSize);
             EXPECT_EQ(p.GetString("A", "d"), U("d"));
         }},
        {"huge numbers saturate",
         [&] {
             CPacket p(QStringLiteral("<PKT><N>-") + QString(kSize, u'9') +
                       QStringLiteral("</N><C>") + QString(kSize, u',') +
                       QStringLiteral("</C></PKT>"));
             EXPECT_EQ(p.GetInt("N", 7), INT_MIN);
             EXPECT_EQ(p.GetInt("C", 7), 0);
         }},
        {"many fields are removed in one call",
         [&] {
             const QString field = QStringLiteral("<A>1</A>");
             CPacket p(QStringLiteral("<PKT>") + field.repeated(kSize / field.size()) +
                       QStringLiteral("<B>2</B></PKT>"));
             p.Remove("A");
             EXPECT_EQ(p.GetText(), U("<PKT><B>2</B></PKT>"));
         }},
        {"huge percent and script texts",
         [&] {
             CPacket p(QString(kSize, u'%'));
             EXPECT_EQ(p.GetText(), QString(kSize, QChar(0xFF05)));
             p.SetText(QString(kSize, u'\n'));
             EXPECT_EQ(p.GetScriptText(), QStringLiteral("\\n").repeated(kSize));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.check();
    }
}

TEST(PacketRobustness, BinaryCharactersAreOrdinaryText) {
    const QChar nul(u'\0');
    const QChar noncharacter(0xFFFF);
    const QChar loneHigh(0xD800);
    const QChar loneLow(0xDC00);
    const QString value = QString(nul) + noncharacter + loneHigh + u'<' + loneLow + nul;
    const QString tag = QString(u'T') + nul + loneLow;

    CPacket p(QStringLiteral("<PKT>") + nul + QStringLiteral("</PKT>"));
    p.AddString(tag, value);
    p.AddString("B", value);
    EXPECT_EQ(p.GetString(tag, "d"), value);
    EXPECT_EQ(p.GetString("B", "d"), value);
    EXPECT_EQ(p.GetInt(tag, 5), 0);
    EXPECT_TRUE(p.Contains(value));
    p.Remove(tag);
    EXPECT_EQ(p.GetText(), QStringLiteral("<PKT>") + nul + QStringLiteral("<B>") + value +
                               QStringLiteral("</B></PKT>"));
    EXPECT_EQ(p.GetScriptText(), QStringLiteral("<PKT>\\u0000<B>\\u0000\uFFFF\\uD800<\\uDC00\\u0000"
                                                "</B></PKT>"));

    CPacket raw(value);
    raw.SetString("A", "1");
    EXPECT_EQ(raw.GetText(), value);
}

// ---------------------------------------------------------------------------------------------

TEST(PacketLock, IsReEnteredByOperationsThatCallOneAnother) {
    // Each of these calls other tag operations while it holds the lock; with a lock that the
    // owning thread cannot enter again they would deadlock.
    struct Case {
        const char* name;
        std::function<void(CPacket&)> edit;
        const char* result;
    };
    const Case cases[] = {
        {"SetString", [](CPacket& p) { p.SetString("A", "2"); },
         "<PKT><URL>u</URL><N>1,5</N><A>2</A></PKT>"},
        {"SetInt", [](CPacket& p) { p.SetInt("A", 3); },
         "<PKT><URL>u</URL><N>1,5</N><A>3</A></PKT>"},
        {"GetInt", [](CPacket& p) { p.SetInt("M", p.GetInt("N", 0)); },
         "<PKT><A>1</A><URL>u</URL><N>1,5</N><M>15</M></PKT>"},
        {"Remove", [](CPacket& p) { p.Remove("A"); }, "<PKT><URL>u</URL><N>1,5</N></PKT>"},
        {"CopyUrl from itself", [](CPacket& p) { p.CopyUrl(p); },
         "<PKT><A>1</A><N>1,5</N><URL>u</URL></PKT>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto p = std::make_shared<CPacket>(U("<PKT><A>1</A><URL>u</URL><N>1,5</N></PKT>"));
        ASSERT_TRUE(FinishesWithoutDeadlock([p, edit = c.edit] { edit(*p); }));
        EXPECT_EQ(p->GetText(), U(c.result));
    }
}

TEST(PacketLock, ConcurrentEditsOfOnePacketLoseNothing) {
    constexpr int kRounds = 3000;
    CPacket p(GBN_COMMAND);
    p.AddInt("C", 0);

    // Two writers append fields of their own; a third replaces C over and over while a reader
    // checks that C is never seen missing, which it would be between the removal and the
    // insertion of a replacement that did not hold the lock across both.
    std::latch start(4);
    bool readerSawGap = false;
    bool readerSawDecrease = false;
    std::atomic<bool> writersDone{false};
    std::vector<std::thread> threads;
    for (const char* tag : {"A", "B"}) {
        threads.emplace_back([&, tag] {
            start.arrive_and_wait();
            for (int i = 0; i < kRounds; ++i) {
                p.AddInt(tag, i);
            }
        });
    }
    threads.emplace_back([&] {
        start.arrive_and_wait();
        for (int i = 1; i <= kRounds; ++i) {
            p.SetInt("C", i);
        }
        writersDone = true;
    });
    threads.emplace_back([&] {
        start.arrive_and_wait();
        int last = 0;
        while (!writersDone) {
            const int now = p.GetInt("C", -1);
            readerSawGap = readerSawGap || now == -1;
            readerSawDecrease = readerSawDecrease || now < last;
            last = now;
        }
    });
    for (std::thread& t : threads) {
        t.join();
    }
    EXPECT_FALSE(readerSawGap);
    EXPECT_FALSE(readerSawDecrease);

    const QString text = p.GetText();
    ASSERT_TRUE(text.startsWith(U("<PKT><GBN>9000</GBN>")));
    ASSERT_TRUE(text.endsWith(U("</PKT>")));
    std::vector<int> seen[3];  // A, B, C
    qsizetype covered = QStringLiteral("<PKT><GBN>9000</GBN></PKT>").size();
    static const QRegularExpression field(QStringLiteral("<([ABC])>(\\d+)</\\1>"));
    for (const QRegularExpressionMatch& m : field.globalMatch(text)) {
        seen[m.captured(1).at(0).unicode() - u'A'].push_back(m.captured(2).toInt());
        covered += m.capturedLength();
    }
    EXPECT_EQ(covered, text.size());  // nothing but these fields
    EXPECT_EQ(seen[2], std::vector<int>{kRounds});
    for (int t = 0; t < 2; ++t) {
        SCOPED_TRACE(t == 0 ? "A" : "B");
        ASSERT_EQ(seen[t].size(), std::size_t{kRounds});
        for (int i = 0; i < kRounds; ++i) {
            ASSERT_EQ(seen[t][i], i);  // every field, in the order its thread added it
        }
    }
}

}  // namespace
