#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>

// The one look of the application: it is always dark. Colours, the palette every window draws
// with, and the typography table (the system's text styles at their point sizes, one point being
// one device-independent pixel) on the platform's default sans-serif font.
class Theme {
public:
    enum class TextStyle { LargeTitle, Title, Title2, Title3, Headline, Body, Callout, Subheadline, Footnote, Caption, Caption2 };

    // The opaque window background, sRGB (29, 33, 35).
    static QColor appBackgroundColor();
    // The system colours as the dark appearance shows them.
    static QColor systemRed();
    static QColor systemBlue();
    static QColor systemGray();
    // `color` at the given opacity (0 to 1).
    static QColor withOpacity(QColor color, qreal opacity);
    // Straight-line mix of two colours, t = 0 gives `from`.
    static QColor mix(const QColor& from, const QColor& to, qreal t);

    // The dark palette with the application's background as its window colour.
    static QPalette palette();

    // The style's size in pixels and its own weight (only the headline is bold).
    static int pixelSize(TextStyle style);
    static QFont font(TextStyle style);
    static QFont font(TextStyle style, QFont::Weight weight);
    // The system font at an explicit size, as "system font at 18 points, bold" asks.
    static QFont systemFont(qreal pixelSize, QFont::Weight weight = QFont::Normal);
};
