#pragma once

#include "pictor/processing/ContentMode.h"
#include "pictor/processing/RectCorner.h"

#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QSizeF>

namespace pictor {
namespace pt {

// Width over height, 1.0 for a height of 0.
double aspectRatio(QSizeF size);
// The largest size of self's aspect ratio inside the target, in whole numbers.
QSizeF constrained(QSizeF self, QSizeF target);
// The smallest size of self's aspect ratio covering the target, in whole numbers.
QSizeF filling(QSizeF self, QSizeF target);
QSizeF resize(QSizeF self, QSizeF target, ContentMode mode);
// The crop of the given size placed by the anchor (each coordinate clamped to 0...1; 0.5 centres)
// and cut down to self; a null rectangle when nothing is left.
QRectF constrainedRect(QSizeF self, QSizeF cropSize, QPointF anchor);
// A rectangle with the given corners rounded (as seen on screen, y pointing down). A negative
// radius rounds nothing; a radius beyond half the shorter side is cut to it.
QPainterPath roundedRectPath(const QRectF& rect, RectCorners corners, double radius);

// Whether a size can be drawn at: both sides finite and above zero.
bool isDrawableSize(QSizeF size);

} // namespace pt
} // namespace pictor
