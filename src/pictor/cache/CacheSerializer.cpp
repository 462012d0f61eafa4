#include "pictor/cache/CacheSerializer.h"

#include "pictor/cache/DefaultCacheSerializer.h"
#include "pictor/processing/ImageCoding.h"

namespace pictor {

std::optional<Image> CacheSerializer::image(const QByteArray& data, const PictorParsedOptionsInfo& options) const
{
    ImageCreatingOptions creating;
    creating.scale = options.scaleFactor;
    creating.preloadAll = options.preloadAllAnimationData;
    creating.onlyFirstFrame = options.onlyLoadFirstFrame;
    return pt::image(data, creating);
}

std::shared_ptr<const CacheSerializer> CacheSerializer::of(const PictorParsedOptionsInfo& options)
{
    return options.cacheSerializer ? options.cacheSerializer : DefaultCacheSerializer::shared();
}

} // namespace pictor
