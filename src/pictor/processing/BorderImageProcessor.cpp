#include "pictor/processing/BorderImageProcessor.h"

#include "pictor/processing/ImageDrawing.h"

namespace pictor {

Image BorderImageProcessor::processImage(const Image& image, const PictorParsedOptionsInfo&) const
{
    return pt::addingBorder(image, border_);
}

} // namespace pictor
