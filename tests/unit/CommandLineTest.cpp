// Splitting a program's argument text by the Windows command-line rules.
#include <gtest/gtest.h>

#include "platform/process.h"

namespace {

TEST(CommandLineToArgs, FollowsTheWindowsRules) {
    const std::pair<QString, QStringList> cases[] = {
        {"", {}},
        {"   \t ", {}},
        {"a b", {"a", "b"}},
        {"  a\t b  ", {"a", "b"}},
        {R"("a b" c)", {"a b", "c"}},
        {R"(x"a b"y)", {"xa by"}},
        {R"("")", {""}},
        {R"(a "" b)", {"a", "", "b"}},
        {R"("a""b")", {"a\"b"}},
        {R"("unterminated a)", {"unterminated a"}},
        // Backslashes are literal unless they stand before a double quote.
        {R"(C:\dir\file)", {R"(C:\dir\file)"}},
        {R"(a\\"b c")", {R"(a\b c)"}},
        {R"(a\"b)", {R"(a"b)"}},
        {R"(a\\\"b)", {R"(a\"b)"}},
        {R"("end\\")", {R"(end\)"}},
        // Shell syntax is text.
        {"b;touch /tmp/x", {"b;touch", "/tmp/x"}},
        {"$(id) `id` a|b >f &", {"$(id)", "`id`", "a|b", ">f", "&"}},
        {QString::fromUtf8("한글 \"인자 둘\""),
         {QString::fromUtf8("한글"), QString::fromUtf8("인자 둘")}},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(CommandLineToArgs(text), expected) << text.toStdString();
}

}  // namespace
