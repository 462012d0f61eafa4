#include "pictor/processing/FilterImageProcessor.h"

namespace pictor {

Image FilterImageProcessor::processImage(const Image& image, const PictorParsedOptionsInfo&) const
{
    return pt::apply(image, filter());
}

} // namespace pictor
