#include "ui/ElidedText.h"
#include "ui/FilterChip.h"
#include "ui/LabelButton.h"
#include "ui/NameGradient.h"
#include "ui/TextLabel.h"
#include "ui/Theme.h"

#include <QFontMetricsF>

#include <gtest/gtest.h>

namespace {

// Catalogue texts as a hostile or careless catalogue may send them.
struct HostileText {
    const char* name;
    QString text;
};

QList<HostileText> hostileTexts()
{
    return {
        {"10 KB without a space", QString(10'240, u'W')},
        {"10 KB of words", QStringLiteral("Evening rain on glass ").repeated(470)},
        {"10 KB of emoji", QStringLiteral("🌊").repeated(5'120)},
        {"a newline inside", QStringLiteral("Rain\n").repeated(2'000)},
    };
}

TEST(ElidedText, BoundedCutsLongTextsAndLeavesShortOnesAlone)
{
    EXPECT_EQ(ElidedText::bounded(QStringLiteral("Rain on Glass")), QStringLiteral("Rain on Glass"));
    const QString exact(ElidedText::kMaxCharacters, u'x');
    EXPECT_EQ(ElidedText::bounded(exact), exact);
    for (const HostileText& c : hostileTexts()) {
        SCOPED_TRACE(c.name);
        const QString bounded = ElidedText::bounded(c.text);
        EXPECT_LE(bounded.size(), ElidedText::kMaxCharacters);
        EXPECT_TRUE(bounded.endsWith(QChar(0x2026)));
        // A surrogate pair is never cut in two.
        const QString beforeEllipsis = bounded.chopped(1);
        EXPECT_FALSE(beforeEllipsis.back().isHighSurrogate());
    }
}

TEST(ElidedText, EveryHostileTextFitsItsBoxOnOneLineOrInTheLinesAllowed)
{
    const QFont font = Theme::systemFont(30, QFont::Bold);
    const QFontMetricsF metrics(font);
    for (const HostileText& c : hostileTexts()) {
        for (const qreal width : {120.0, 600.0, 2'400.0}) {
            SCOPED_TRACE(std::string(c.name) + " in " + std::to_string(int(width)));
            const QString line = ElidedText::toWidth(c.text, metrics, width);
            EXPECT_LE(metrics.horizontalAdvance(line), width + 1);
            for (const int maxLines : {1, 2}) {
                const QStringList lines = ElidedText::wrapped(c.text, font, width, maxLines).split(u'\n');
                EXPECT_LE(lines.size(), maxLines);
                for (const QString& wrapped : lines)
                    EXPECT_LE(metrics.horizontalAdvance(wrapped), width + 1) << wrapped.left(40).toStdString();
            }
        }
    }
    // A title that fits is left whole.
    EXPECT_EQ(ElidedText::wrapped(QStringLiteral("Rain on Glass"), font, 600, 2), QStringLiteral("Rain on Glass"));
}

TEST(ElidedText, ControlCharactersNeverReachTheScreen)
{
    const QFont font = Theme::systemFont(13);
    const struct {
        const char* name;
        QString text;
        QString shown;
    } cases[] = {
        {"a NUL name", QString(QChar(0)) + QStringLiteral("Nature"), QStringLiteral("Nature")},
        {"BEL and an escape sequence in a chip", QStringLiteral("Ci\atyscape\x1b[1m"), QStringLiteral("Cityscape")},
        {"DEL and C1 controls", QStringLiteral("Sea") + QChar(0x7f) + QChar(0x80) + QChar(0x9b) + QStringLiteral("4mside"),
            QStringLiteral("Seaside")},
        {"line breaks and tabs", QStringLiteral("Rain\ton\r\nGlass") + QChar(0x85), QStringLiteral("Rain on  Glass ")},
        {"letters beyond C1 stay", QStringLiteral("Café ÿ"), QStringLiteral("Café ÿ")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ElidedText::bounded(c.text), c.shown);
        EXPECT_EQ(ElidedText::toWidth(c.text, QFontMetricsF(font), 2'000), c.shown);
        EXPECT_EQ(ElidedText::wrapped(c.text, font, 2'000, 1), c.shown.trimmed());
        // A button's label (the upload form's category list, its chosen category).
        LabelButton button(c.text, LabelButton::Look());
        EXPECT_EQ(button.text(), c.shown);
        button.setText(QStringLiteral("Abs") + c.text);
        EXPECT_EQ(button.text(), QStringLiteral("Abs") + c.shown);
    }
    // Cut at the bound, the part kept is cleaned as well.
    const QString bounded = ElidedText::bounded(QStringLiteral("\a").repeated(ElidedText::kMaxCharacters * 2));
    EXPECT_EQ(bounded, QString(QChar(0x2026)));
}

TEST(ElidedText, WidgetsAskForNoMoreRoomForALongerText)
{
    const QString normal = QStringLiteral("Nature");
    for (const HostileText& c : hostileTexts()) {
        SCOPED_TRACE(c.name);
        // A chip in a row of chips never grows past the width of a long name.
        EXPECT_LE(FilterChip(c.text).sizeHint().width(), FilterChip(QString(60, u'W')).sizeHint().width());
        EXPECT_EQ(FilterChip(c.text).sizeHint().height(), FilterChip(normal).sizeHint().height());
        EXPECT_LE(FilterChip(c.text).title().size(), ElidedText::kMaxCharacters);

        // An eliding label takes any width it is given, and its text is cut before it is laid out.
        TextLabel label(c.text, Theme::systemFont(36, QFont::Bold), Qt::white);
        label.elided();
        EXPECT_EQ(label.minimumSizeHint().width(), 0);
        EXPECT_LE(label.text().size(), ElidedText::kMaxCharacters);
        label.setText(c.text);
        EXPECT_LE(label.text().size(), ElidedText::kMaxCharacters) << "a new text keeps the bound";
        EXPECT_EQ(label.sizeHint().height(), QFontMetrics(label.font()).height());
    }
}

TEST(NameGradient, EachNameHasItsOwnStableColoursDarkEnoughForWhiteText)
{
    const QStringList names{QStringLiteral("Gaming"), QStringLiteral("Nature"), QStringLiteral("Space"), QString()};
    for (const QString& name : names) {
        const auto [start, end] = NameGradient::colours(name);
        EXPECT_EQ(NameGradient::colours(name), std::make_pair(start, end)) << "the same on every call";
        EXPECT_LE(std::max(start.value(), end.value()), 160) << name.toStdString();
    }
    EXPECT_NE(NameGradient::colours(QStringLiteral("Gaming")), NameGradient::colours(QStringLiteral("Nature")));
}

} // namespace
