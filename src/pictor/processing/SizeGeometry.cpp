#include "pictor/processing/SizeGeometry.h"

#include <algorithm>
#include <cmath>

namespace pictor {
namespace pt {

double aspectRatio(QSizeF size)
{
    return size.height() == 0 ? 1.0 : size.width() / size.height();
}

QSizeF constrained(QSizeF self, QSizeF target)
{
    const double ratio = aspectRatio(self);
    const double width = std::round(ratio * target.height());
    const double height = std::round(target.width() / ratio);
    return width > target.width() ? QSizeF(target.width(), height) : QSizeF(width, target.height());
}

QSizeF filling(QSizeF self, QSizeF target)
{
    const double ratio = aspectRatio(self);
    const double width = std::round(ratio * target.height());
    const double height = std::round(target.width() / ratio);
    return width < target.width() ? QSizeF(target.width(), height) : QSizeF(width, target.height());
}

QSizeF resize(QSizeF self, QSizeF target, ContentMode mode)
{
    switch (mode) {
    case ContentMode::none: return target;
    case ContentMode::aspectFit: return constrained(self, target);
    case ContentMode::aspectFill: return filling(self, target);
    }
    return target;
}

QRectF constrainedRect(QSizeF self, QSizeF cropSize, QPointF anchor)
{
    const double ax = std::clamp(anchor.x(), 0.0, 1.0);
    const double ay = std::clamp(anchor.y(), 0.0, 1.0);
    const QRectF crop(ax * self.width() - ax * cropSize.width(), ay * self.height() - ay * cropSize.height(), cropSize.width(),
                      cropSize.height());
    const QRectF cut = QRectF(QPointF(0, 0), self).intersected(crop);
    return cut.isEmpty() ? QRectF() : cut;
}

QPainterPath roundedRectPath(const QRectF& rect, RectCorners corners, double radius)
{
    QPainterPath path;
    if (rect.isEmpty())
        return path;
    const double largest = std::min(rect.width(), rect.height()) / 2;
    const auto cornerRadius = [&](int corner) {
        const double r = (corners & corner) && radius >= 0 ? radius : 0.0;
        return std::min(r, largest);
    };
    const double topLeft = cornerRadius(RectCorner::topLeft);
    const double topRight = cornerRadius(RectCorner::topRight);
    const double bottomRight = cornerRadius(RectCorner::bottomRight);
    const double bottomLeft = cornerRadius(RectCorner::bottomLeft);
    // Clockwise on screen from the middle of the top edge; each corner is an arc, or the corner
    // point itself when its radius is 0 (an arc in an empty box adds nothing).
    const auto corner = [&path](QPointF point, double r, QRectF box, double startAngle) {
        if (r > 0)
            path.arcTo(box, startAngle, -90);
        else
            path.lineTo(point);
    };
    path.moveTo(rect.center().x(), rect.top());
    corner(rect.topRight(), topRight, QRectF(rect.right() - 2 * topRight, rect.top(), 2 * topRight, 2 * topRight), 90);
    corner(rect.bottomRight(), bottomRight,
           QRectF(rect.right() - 2 * bottomRight, rect.bottom() - 2 * bottomRight, 2 * bottomRight, 2 * bottomRight), 0);
    corner(rect.bottomLeft(), bottomLeft, QRectF(rect.left(), rect.bottom() - 2 * bottomLeft, 2 * bottomLeft, 2 * bottomLeft), 270);
    corner(rect.topLeft(), topLeft, QRectF(rect.left(), rect.top(), 2 * topLeft, 2 * topLeft), 180);
    path.closeSubpath();
    return path;
}

bool isDrawableSize(QSizeF size)
{
    return std::isfinite(size.width()) && std::isfinite(size.height()) && size.width() > 0 && size.height() > 0;
}

} // namespace pt
} // namespace pictor
