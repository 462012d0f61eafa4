#include "ui/Theme.h"

#include "ui/DarkAppearance.h"

#include <QApplication>

#include <algorithm>
#include <cmath>

QColor Theme::appBackgroundColor() { return QColor(29, 33, 35); }
QColor Theme::systemRed() { return QColor(255, 69, 58); }
QColor Theme::systemBlue() { return QColor(10, 132, 255); }
QColor Theme::systemGray() { return QColor(142, 142, 147); }

QColor Theme::withOpacity(QColor color, qreal opacity)
{
    color.setAlphaF(float(std::clamp(opacity, 0.0, 1.0) * color.alphaF()));
    return color;
}

QColor Theme::mix(const QColor& from, const QColor& to, qreal t)
{
    t = std::clamp(t, 0.0, 1.0);
    const auto channel = [t](float a, float b) { return a + (b - a) * float(t); };
    return QColor::fromRgbF(channel(from.redF(), to.redF()), channel(from.greenF(), to.greenF()),
        channel(from.blueF(), to.blueF()), channel(from.alphaF(), to.alphaF()));
}

QPalette Theme::palette()
{
    QPalette palette = DarkAppearance::palette();
    palette.setColor(QPalette::Window, appBackgroundColor());
    return palette;
}

int Theme::pixelSize(TextStyle style)
{
    switch (style) {
    case TextStyle::LargeTitle: return 26;
    case TextStyle::Title: return 22;
    case TextStyle::Title2: return 17;
    case TextStyle::Title3: return 15;
    case TextStyle::Headline: return 13;
    case TextStyle::Body: return 13;
    case TextStyle::Callout: return 12;
    case TextStyle::Subheadline: return 11;
    case TextStyle::Footnote: return 10;
    case TextStyle::Caption: return 10;
    case TextStyle::Caption2: return 10;
    }
    return 13;
}

QFont Theme::font(TextStyle style)
{
    return font(style, style == TextStyle::Headline ? QFont::Bold : QFont::Normal);
}

QFont Theme::font(TextStyle style, QFont::Weight weight) { return systemFont(pixelSize(style), weight); }

QFont Theme::systemFont(qreal pixelSize, QFont::Weight weight)
{
    QFont font = QApplication::font();
    font.setPixelSize(std::max(1, int(std::lround(pixelSize))));
    font.setWeight(weight);
    return font;
}
