#include "menubar/ThumbnailMenuItemView.h"

#include <QPainter>

ThumbnailMenuItemView::ThumbnailMenuItemView(QWidget* parent) : QWidget(parent)
{
    setFixedHeight(kSize.height());
    setMinimumWidth(kSize.width());
}

void ThumbnailMenuItemView::setThumbnailImage(QImage image)
{
    thumbnailImage_ = std::move(image);
    update();
}

QRectF ThumbnailMenuItemView::pictureRect(const QSizeF& bounds, const QSizeF& picture)
{
    if (picture.isEmpty())
        return {};
    const qreal width = bounds.width();
    const qreal height = width * picture.height() / picture.width();
    // Shorter: centred. Taller: its bottom on the row's bottom edge, the top cut off.
    const qreal top = height <= bounds.height() ? (bounds.height() - height) * 0.5 : bounds.height() - height;
    return {0, top, width, height};
}

void ThumbnailMenuItemView::paintEvent(QPaintEvent*)
{
    if (thumbnailImage_.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setClipRect(rect());
    const QSizeF picture = thumbnailImage_.deviceIndependentSize();
    painter.drawImage(pictureRect(size(), picture), thumbnailImage_);
}
