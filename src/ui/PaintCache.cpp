#include "ui/PaintCache.h"

#include <QPainter>
#include <QWidget>

namespace {
// The part of a premultiplied image that is not fully transparent, in pixels.
QRect paintedBounds(const QImage& image)
{
    int top = image.height(), bottom = -1, left = image.width(), right = -1;
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(row[x]) == 0)
                continue;
            top = std::min(top, y);
            bottom = y;
            left = std::min(left, x);
            right = std::max(right, x);
        }
    }
    return bottom < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}
} // namespace

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
        {
            // As a painter on the widget itself starts.
            QPainter cached(&image_);
            cached.setPen(widget.palette().color(QPalette::WindowText));
            cached.setBrush(widget.palette().window());
            cached.setFont(widget.font());
            painting(cached);
        }
        // Blending transparent pixels is work too: a row with one thumbnail blits only that.
        painted_ = paintedBounds(image_);
        state_ = state;
        ++renders_;
    }
    if (!painted_.isEmpty())
        painter.drawImage(QRectF(QPointF(painted_.topLeft()) / ratio, QSizeF(painted_.size()) / ratio), image_, painted_);
}
