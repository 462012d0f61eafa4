#include "pictor/cache/DefaultCacheSerializer.h"

#include "pictor/processing/ImageCoding.h"
#include "pictor/processing/ImageFormat.h"

namespace pictor {

std::shared_ptr<const CacheSerializer> DefaultCacheSerializer::shared()
{
    static const std::shared_ptr<const CacheSerializer> instance = std::make_shared<const DefaultCacheSerializer>();
    return instance;
}

std::optional<QByteArray> DefaultCacheSerializer::data(const Image& image, const std::optional<QByteArray>& original) const
{
    if (preferCacheOriginalData && original)
        return original;
    const ImageFormat format = original ? pt::imageFormat(*original) : ImageFormat::unknown;
    if (format == ImageFormat::GIF && !image.animatedSourceData())
        return pt::pngRepresentation(image);
    return pt::data(image, format, compressionQuality);
}

QString DefaultCacheSerializer::description() const
{
    return QStringLiteral("DefaultCacheSerializer(compressionQuality: %1, preferCacheOriginalData: %2)")
        .arg(compressionQuality)
        .arg(preferCacheOriginalData ? QStringLiteral("true") : QStringLiteral("false"));
}

} // namespace pictor
