#include "ui/PaintCache.h"

#include <QPainter>
#include <QWidget>

void PaintCache::paint(QPainter& painter, const QWidget& widget, const QList<qreal>& state, const Painting& painting)
{
    const qreal ratio = widget.devicePixelRatioF();
    const QSize pixels = widget.size() * ratio;
    if (pixels.isEmpty())
        return;
    if (image_.size() != pixels || image_.devicePixelRatio() != ratio || state != state_) {
        image_ = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
        image_.setDevicePixelRatio(ratio);
        image_.fill(Qt::transparent);
        // As a painter on the widget itself starts.
        QPainter cached(&image_);
        cached.setPen(widget.palette().color(QPalette::WindowText));
        cached.setBrush(widget.palette().window());
        cached.setFont(widget.font());
        painting(cached);
        state_ = state;
        ++renders_;
    }
    painter.drawImage(QPointF(0, 0), image_);
}
