#include "pictor/cache/FormatIndicatedCacheSerializer.h"

#include "pictor/processing/ImageCoding.h"

namespace pictor {

std::shared_ptr<const CacheSerializer> FormatIndicatedCacheSerializer::png()
{
    static const auto instance = std::make_shared<const FormatIndicatedCacheSerializer>(ImageFormat::PNG);
    return instance;
}

std::shared_ptr<const CacheSerializer> FormatIndicatedCacheSerializer::jpeg()
{
    static const auto instance = std::make_shared<const FormatIndicatedCacheSerializer>(ImageFormat::JPEG, 1.0);
    return instance;
}

std::shared_ptr<const CacheSerializer> FormatIndicatedCacheSerializer::jpeg(double compressionQuality)
{
    return std::make_shared<const FormatIndicatedCacheSerializer>(ImageFormat::JPEG, compressionQuality);
}

std::shared_ptr<const CacheSerializer> FormatIndicatedCacheSerializer::gif()
{
    static const auto instance = std::make_shared<const FormatIndicatedCacheSerializer>(ImageFormat::GIF);
    return instance;
}

std::optional<QByteArray> FormatIndicatedCacheSerializer::encoded(const Image& image, ImageFormat format) const
{
    switch (format) {
    case ImageFormat::PNG:
        return pt::pngRepresentation(image);
    case ImageFormat::JPEG:
        return pt::jpegRepresentation(image, jpegCompressionQuality.value_or(1.0));
    case ImageFormat::GIF:
        return pt::gifRepresentation(image);
    default:
        return std::nullopt;
    }
}

std::optional<QByteArray> FormatIndicatedCacheSerializer::data(const Image& image, const std::optional<QByteArray>& original) const
{
    if (auto bytes = encoded(image, imageFormat))
        return bytes;
    if (!original)
        return pt::pngRepresentation(image);
    const ImageFormat originalFormat = pt::imageFormat(*original);
    if (originalFormat == imageFormat)
        return original;
    if (auto bytes = encoded(image, originalFormat))
        return bytes;
    return original;
}

QString FormatIndicatedCacheSerializer::description() const
{
    static const char* const names[] = {"unknown", "PNG", "JPEG", "GIF", "WebP", "HEIC"};
    return QStringLiteral("FormatIndicatedCacheSerializer(%1)").arg(QLatin1String(names[int(imageFormat)]));
}

} // namespace pictor
