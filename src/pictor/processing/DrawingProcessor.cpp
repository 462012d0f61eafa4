#include "pictor/processing/DrawingProcessor.h"

#include "pictor/processing/DefaultImageProcessor.h"
#include "pictor/processing/ImageDrawing.h"

namespace pictor {

std::optional<Image> DrawingProcessor::process(const ImageProcessItem& item, const PictorParsedOptionsInfo& options) const
{
    if (const Image* image = item.asImage())
        return processImage(*image, options);
    std::optional<Image> decoded = DefaultImageProcessor::shared()->process(item, options);
    if (!decoded)
        return std::nullopt;
    return processImage(*decoded, options);
}

Image DrawingProcessor::scaleStep(const Image& image, const PictorParsedOptionsInfo& options)
{
    return pt::scaled(image, options.scaleFactor);
}

} // namespace pictor
