#pragma once

#include <QString>

class QFont;
class QFontMetricsF;

// Texts from the catalogue (titles, category names, section titles) can be any length, and laying
// out or measuring a text costs in proportion to it. Every box that shows one holds at most a
// few hundred characters, so the text is cut to a bound first, then elided to the box's width:
// a 10 KB title costs what a long sentence costs.
class ElidedText {
public:
    // More characters than the widest box of any screen shows on one line.
    static constexpr int kMaxCharacters = 400;

    // `text` cut to at most `maxCharacters` (never inside a surrogate pair), ending in an
    // ellipsis when it was cut, as one line: line breaks and tabs become spaces, and the other
    // control characters (C0, DEL, C1), which fonts draw as boxes, are left out.
    static QString bounded(const QString& text, int maxCharacters = kMaxCharacters);
    // One line of `text` that fits `width`, ending in an ellipsis when it does not fit whole.
    static QString toWidth(const QString& text, const QFontMetricsF& metrics, qreal width);
    // `text` broken into at most `maxLines` lines of `width` (at word boundaries, inside a word
    // only when one word is wider than the box), joined by newlines; the last line is elided when
    // text is left over. Draw it without word wrap.
    static QString wrapped(const QString& text, const QFont& font, qreal width, int maxLines);
};
