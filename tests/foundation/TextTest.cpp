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

// What a terminal would take as one escape or control sequence goes whole, never leaving a tail
// such as "[0m" on screen; the text around it stays.
TEST(TextTest, OneLineRemovesEscapeAndControlSequencesWhole)
{
    const QString esc(QChar(0x1b));
    const auto c1 = [](char16_t unit) { return QString(QChar(unit)); };
    const struct {
        const char* name;
        QString text;
        QString shown;
    } cases[] = {
        {"reset after the title", QStringLiteral("Neon City") + esc + QStringLiteral("[0m"), QStringLiteral("Neon City")},
        {"colour around a word", esc + QStringLiteral("[1;31mRed") + esc + QStringLiteral("[m Dunes"), QStringLiteral("Red Dunes")},
        {"private parameters and intermediates", QStringLiteral("A") + esc + QStringLiteral("[?25l") + esc + QStringLiteral("[1 qB"),
            QStringLiteral("AB")},
        {"C1 control sequence introducer", QStringLiteral("Sea") + c1(0x9b) + QStringLiteral("4mside"), QStringLiteral("Seaside")},
        {"window title ended by BEL", esc + QStringLiteral("]0;owned\aForest"), QStringLiteral("Forest")},
        {"hyperlink ended by ST", esc + QStringLiteral("]8;;https://x.example/") + esc + QStringLiteral("\\Link") + esc
                + QStringLiteral("]8;;") + esc + QStringLiteral("\\"),
            QStringLiteral("Link")},
        {"C1 command strings and their terminator", c1(0x9d) + QStringLiteral("2;t") + c1(0x9c) + QStringLiteral("Ice") + c1(0x90)
                + QStringLiteral("q#1") + c1(0x9c) + QStringLiteral(" Cave"),
            QStringLiteral("Ice Cave")},
        {"device control and application strings", esc + QStringLiteral("Pdata") + esc + QStringLiteral("\\Moon")
                + esc + QStringLiteral("_app") + esc + QStringLiteral("\\"),
            QStringLiteral("Moon")},
        {"a string cut by the next escape", esc + QStringLiteral("]title") + esc + QStringLiteral("[0mRain"), QStringLiteral("Rain")},
        {"a string cancelled", esc + QStringLiteral("]junk\x18Snow"), QStringLiteral("Snow")},
        {"an unterminated string runs to the end", QStringLiteral("Dusk") + esc + QStringLiteral("]0;never ended"),
            QStringLiteral("Dusk")},
        {"a cut control sequence", QStringLiteral("Dawn") + esc + QStringLiteral("[38;5"), QStringLiteral("Dawn")},
        {"two-character escapes", esc + QStringLiteral("(BSky") + esc + QStringLiteral("7 Line") + esc + QStringLiteral("c"),
            QStringLiteral("Sky Line")},
        {"a lone escape before a letter beyond ASCII", esc + QStringLiteral("Été"), QStringLiteral("Été")},
        {"C0, DEL and C1 controls", QStringLiteral("Ri\ave") + QChar(0x7f) + c1(0x80) + QStringLiteral("r") + c1(0x9c),
            QStringLiteral("River")},
        {"line breaks and tabs become spaces", QStringLiteral("Rain\ton\r\nGlass") + c1(0x85), QStringLiteral("Rain on  Glass ")},
        {"brackets without an escape stay", QStringLiteral("Loop [0m] ]8;;"), QStringLiteral("Loop [0m] ]8;;")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Text::oneLine(c.text), c.shown) << c.name;
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
