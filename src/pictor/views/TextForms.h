#pragma once

#include <QColor>
#include <QPointF>
#include <QSizeF>
#include <QString>

namespace pictor {

// The text forms that processor identifiers are built from. They name cache files, so they are
// the same in every run, locale and machine.
namespace TextForms {

// The shortest decimal text that reads back as the same double, with a fractional part for whole
// numbers ("2.0", "0.25"); very small and very large magnitudes in exponent form ("1e-07", "1e+20").
QString number(double value);
// "(100.0, 50.0)".
QString size(QSizeF size);
QString point(QPointF point);
// The colour's sRGB components: "(1.00,0.50,0.00,1.00)".
QString colorComponents(const QColor& color);
// The colour as "#AARRGGBB" in sRGB.
QString colorDescription(const QColor& color);

} // namespace TextForms
} // namespace pictor
