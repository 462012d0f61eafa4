#include "screens/library/PlaylistCardFrame.h"

#include "ui/GlassBackground.h"
#include "ui/Theme.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

QRectF PlaylistCardFrame::cardRect(const QRectF& bounds)
{
    const QRectF room = bounds.adjusted(kPadding, kPadding, -kPadding, -kPadding);
    if (room.isEmpty())
        return {};
    QSizeF size(room.width(), room.width() * 9.0 / 16.0);
    if (size.height() > room.height())
        size = QSizeF(room.height() * 16.0 / 9.0, room.height());
    return QRectF(room.center() - QPointF(size.width() / 2, size.height() / 2), size);
}

void PlaylistCardFrame::paintPlaceholder(QPainter& painter, const QRectF& card)
{
    QLinearGradient fill(card.topLeft(), card.bottomRight());
    fill.setColorAt(0, Theme::withOpacity(Qt::white, 0.1));
    fill.setColorAt(1, Theme::withOpacity(Qt::white, 0.05));
    painter.fillRect(card, fill);
}

PlaylistCardFrame::Clip PlaylistCardFrame::clip(const QRectF& card)
{
    const qreal radius = std::min({kCornerRadius, card.width() / 2, card.height() / 2});
    // Whole pixels inside the outline, so the rectangles need no smoothing.
    const QRect outer = card.toAlignedRect();
    const QRect wide = card.adjusted(0, radius, 0, -radius).toAlignedRect() & card.toRect();
    const QRect tall = card.adjusted(radius, 0, -radius, 0).toAlignedRect() & card.toRect();
    Clip clip{QRegion(wide).united(tall), {}};
    // The four corners the rectangles leave, each pixel painted once, clipped to the outline.
    const QPainterPath shape = GlassBackground::shape(card, kCornerRadius);
    const int lefts[] = {outer.left(), tall.right() + 1};
    const int rights[] = {tall.left() - 1, outer.right()};
    const int tops[] = {outer.top(), wide.bottom() + 1};
    const int bottoms[] = {wide.top() - 1, outer.bottom()};
    for (int column = 0; column < 2; ++column) {
        for (int row = 0; row < 2; ++row) {
            QPainterPath corner;
            corner.addRect(QRect(QPoint(lefts[column], tops[row]), QPoint(rights[column], bottoms[row])));
            clip.corners.at(2 * column + row) = shape.intersected(corner);
        }
    }
    return clip;
}

void PlaylistCardFrame::paintClipped(QPainter& painter, const Clip& clip, const std::function<void()>& paint)
{
    const auto inside = [&painter](const QRectF& part) {
        return !painter.hasClipping() || painter.clipBoundingRect().intersects(part);
    };
    if (inside(clip.rectangles.boundingRect())) {
        painter.save();
        painter.setClipRegion(clip.rectangles, Qt::IntersectClip);
        paint();
        painter.restore();
    }
    for (const QPainterPath& corner : clip.corners) {
        if (!inside(corner.boundingRect()))
            continue;
        painter.save();
        painter.setClipPath(corner, Qt::IntersectClip);
        paint();
        painter.restore();
    }
}

void PlaylistCardFrame::scaleAboutCentre(QPainter& painter, const QRectF& card, qreal factor)
{
    if (factor == 1.0)
        return;
    painter.translate(card.center());
    painter.scale(factor, factor);
    painter.translate(-card.center());
}
