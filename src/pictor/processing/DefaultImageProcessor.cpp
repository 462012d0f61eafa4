#include "pictor/processing/DefaultImageProcessor.h"

#include "pictor/processing/ImageCoding.h"
#include "pictor/processing/ImageDrawing.h"

namespace pictor {

const std::shared_ptr<const DefaultImageProcessor>& DefaultImageProcessor::shared()
{
    static const auto instance = std::make_shared<const DefaultImageProcessor>();
    return instance;
}

std::optional<Image> DefaultImageProcessor::process(const ImageProcessItem& item, const PictorParsedOptionsInfo& options) const
{
    if (const Image* image = item.asImage())
        return pt::scaled(*image, options.scaleFactor);
    return pt::image(*item.asData(), ImageCreatingOptions {.scale = options.scaleFactor,
                                                           .duration = 0.0,
                                                           .preloadAll = options.preloadAllAnimationData,
                                                           .onlyFirstFrame = options.onlyLoadFirstFrame});
}

} // namespace pictor
