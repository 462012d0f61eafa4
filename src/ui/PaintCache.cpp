#include "ui/PaintCache.h"

#include <QPainter>
#include <QWidget>

void PaintCache::paint(QPainter& painter, const QWidget& widget, const QList<qreal>& state, const Painting& painting,
    const QRectF& area)
{
    const qreal ratio = widget.devicePixelRatioF();
    const QRectF bounds = area.isNull() ? QRectF(widget.rect()) : area & QRectF(widget.rect());
    const QRect pixels = QRectF(bounds.topLeft() * ratio, bounds.size() * ratio).toAlignedRect();
    if (pixels.isEmpty())
        return;
    if (stale_ || pixels != pixels_ || image_.devicePixelRatio() != ratio || state != state_) {
        // Painted again into the same memory when the size holds: a fresh image of a window's
        // size is a fresh zero-filled mapping from the kernel each time.
        if (image_.size() != pixels.size() || !image_.isDetached())
            image_ = QImage(pixels.size(), QImage::Format_ARGB32_Premultiplied);
        image_.setDevicePixelRatio(ratio);
        image_.fill(Qt::transparent);
        {
            // As a painter on the widget itself starts.
            QPainter cached(&image_);
            cached.translate(-QPointF(pixels.topLeft()) / ratio);
            cached.setPen(widget.palette().color(QPalette::WindowText));
            cached.setBrush(widget.palette().window());
            cached.setFont(widget.font());
            painting(cached);
        }
        pixels_ = pixels;
        state_ = state;
        stale_ = false;
        ++renders_;
    }
    painter.drawImage(QPointF(pixels_.topLeft()) / ratio, image_);
}
