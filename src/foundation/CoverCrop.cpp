#include "foundation/CoverCrop.h"

#include <algorithm>

QRectF CoverCrop::sourceRect(QSizeF picture, QSizeF frame)
{
    if (picture.isEmpty() || frame.isEmpty())
        return {};
    const qreal scale = std::max(frame.width() / picture.width(), frame.height() / picture.height());
    const QSizeF shown = frame / scale;
    return QRectF(QPointF((picture.width() - shown.width()) / 2, (picture.height() - shown.height()) / 2), shown);
}
