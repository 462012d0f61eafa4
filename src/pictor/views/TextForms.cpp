#include "pictor/views/TextForms.h"

#include <charconv>
#include <cmath>

namespace pictor {
namespace TextForms {

QString number(double value)
{
    if (std::isnan(value))
        return QStringLiteral("nan");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("inf") : QStringLiteral("-inf");
    const double magnitude = std::fabs(value);
    const bool exponent = magnitude != 0.0 && (magnitude < 1e-4 || magnitude >= 1e16);
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                      exponent ? std::chars_format::scientific : std::chars_format::fixed);
    QString text = QString::fromLatin1(buffer, int(result.ptr - buffer));
    if (!exponent && !text.contains(QLatin1Char('.')))
        text += QStringLiteral(".0");
    return text;
}

QString size(QSizeF size)
{
    return "(" + number(size.width()) + ", " + number(size.height()) + ")";
}

QString point(QPointF point)
{
    return "(" + number(point.x()) + ", " + number(point.y()) + ")";
}

QString colorComponents(const QColor& color)
{
    const QColor rgb = color.toRgb();
    return QString::asprintf("(%.2f,%.2f,%.2f,%.2f)", rgb.redF(), rgb.greenF(), rgb.blueF(), rgb.alphaF());
}

QString colorDescription(const QColor& color)
{
    return color.toRgb().name(QColor::HexArgb);
}

} // namespace TextForms
} // namespace pictor
