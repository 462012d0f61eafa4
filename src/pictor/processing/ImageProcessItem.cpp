#include "pictor/processing/ImageProcessItem.h"

#include "pictor/processing/ImageFormat.h"

namespace pictor {

QString ImageProcessItem::description() const
{
    if (const Image* image = asImage())
        return "image(" + image->description() + ")";
    const QByteArray& bytes = *asData();
    return QStringLiteral("data(%1 bytes, %2)").arg(bytes.size()).arg(pt::formatName(pt::imageFormat(bytes)));
}

} // namespace pictor
