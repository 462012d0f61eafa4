#include "pictor/processing/ImageProcessItem.h"

#include "pictor/processing/ImageFormat.h"

namespace pictor {

namespace {

QString formatName(ImageFormat format)
{
    switch (format) {
    case ImageFormat::PNG: return QStringLiteral("PNG");
    case ImageFormat::JPEG: return QStringLiteral("JPEG");
    case ImageFormat::GIF: return QStringLiteral("GIF");
    case ImageFormat::WebP: return QStringLiteral("WebP");
    case ImageFormat::HEIC: return QStringLiteral("HEIC");
    case ImageFormat::unknown: break;
    }
    return QStringLiteral("unknown format");
}

} // namespace

QString ImageProcessItem::description() const
{
    if (const Image* image = asImage())
        return "image(" + image->description() + ")";
    const QByteArray& bytes = *asData();
    return QStringLiteral("data(%1 bytes, %2)").arg(bytes.size()).arg(formatName(pt::imageFormat(bytes)));
}

} // namespace pictor
