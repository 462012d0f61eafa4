#include "foundation/Text.h"

#include <gtest/gtest.h>

#include <clocale>

namespace {

QString u8(const char* text) { return QString::fromUtf8(text); }

TEST(TextTest, CountsWhatTheUserSees)
{
    struct Case {
        const char* text;
        qsizetype graphemes;
    };
    const Case cases[] = {
        {"", 0},
        {"abc", 3},
        {"e\u0301te\u0301", 3},                       // combining accents
        {"\U0001F468\u200D\U0001F469\u200D\U0001F467", 1}, // family joined by ZWJ
        {"\U0001F44D\U0001F3FD", 1},                  // skin tone modifier
        {"\U0001F1EB\U0001F1F7\U0001F1E9\U0001F1EA", 2}, // two flags
        {"a\r\nb", 3},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Text::graphemeCount(u8(c.text)), c.graphemes) << c.text;
}

TEST(TextTest, TruncationNeverSplitsACharacter)
{
    struct Case {
        const char* text;
        qsizetype max;
        const char* expected;
    };
    const Case cases[] = {
        {"Ocean waves", 5, "Ocean…"},
        {"Ocean", 5, "Ocean"},
        {"Ocean", 6, "Ocean"},
        {"", 0, ""},
        {"abc", 0, "…"},
        {"ab\U0001F468\u200D\U0001F469\u200D\U0001F467cd", 3, "ab\U0001F468\u200D\U0001F469\u200D\U0001F467…"},
        {"\U0001F1EB\U0001F1F7\U0001F1E9\U0001F1EA", 1, "\U0001F1EB\U0001F1F7…"},
        {"cafe\u0301s", 4, "cafe\u0301…"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Text::truncated(u8(c.text), c.max, u8("…")), u8(c.expected)) << c.text;
    EXPECT_EQ(Text::truncated(u8("abcdef"), 3), "abc");
}

TEST(TextTest, TrimsWhiteSpaceAndLineBreaksOrOnlySpaces)
{
    const QString padded = u8("\u00A0\t  Ocean\u2003blue \r\n\u2028\u0085");
    EXPECT_EQ(Text::trimmed(padded), u8("Ocean\u2003blue"));
    EXPECT_EQ(Text::trimmedSpaces(padded), u8("Ocean\u2003blue \r\n\u2028\u0085"));
    EXPECT_EQ(Text::trimmedSpaces(u8(" \t\u3000 ")), "");
}

TEST(TextTest, FormatsNumbersWithTheCLibraryRounding)
{
    EXPECT_EQ(Text::format("%.1f", 2.25), "2.2");
    EXPECT_EQ(Text::format("%.0f", 2.5), "2");
    EXPECT_EQ(Text::format("%.0fMB", 4.76837158203125), "5MB");
    EXPECT_EQ(Text::format("%.2fms", 1.005), "1.00ms");
    EXPECT_EQ(Text::format("%d:%02ds", 3, 7), "3:07s");
    EXPECT_EQ(Text::format("%lld/50", 42LL), "42/50");
    EXPECT_EQ(Text::format("%s", std::string(300, 'x').c_str()).size(), 300);

    // A user locale with a decimal comma must not leak into formatted numbers.
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) {
        EXPECT_EQ(Text::format("%.1f", 1.5), "1.5");
        std::setlocale(LC_NUMERIC, "C");
    }
}

} // namespace
