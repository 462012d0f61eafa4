#include "ui/CoverPicture.h"

#include "foundation/CoverCrop.h"

#include <QPainter>

#include <cmath>

bool CoverPicture::paint(QPainter& painter, const QRectF& target, const QImage& picture) const
{
    if (picture.isNull() || target.isEmpty())
        return false;
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QSize pixels(int(std::ceil(target.width() * ratio)), int(std::ceil(target.height() * ratio)));
    if (scaledFrom_ != picture.cacheKey() || scaled_.size() != pixels) {
        const QRect source = CoverCrop::sourceRect(picture.size(), pixels).toAlignedRect() & picture.rect();
        scaled_ = picture.copy(source).scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        scaledFrom_ = picture.cacheKey();
    }
    painter.drawImage(target, scaled_);
    return true;
}

bool CoverPicture::paintKept(QPainter& painter, const QRectF& target) const
{
    if (scaled_.isNull() || target.isEmpty())
        return false;
    // Made for the last target; one of another shape is filled and cropped all the same.
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    painter.drawImage(target, scaled_, CoverCrop::sourceRect(scaled_.size(), target.size() * ratio));
    return true;
}

void CoverPicture::clear()
{
    scaled_ = QImage();
    scaledFrom_ = 0;
}
