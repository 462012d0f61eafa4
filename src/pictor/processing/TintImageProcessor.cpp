#include "pictor/processing/TintImageProcessor.h"

#include "pictor/views/TextForms.h"

namespace pictor {

TintImageProcessor::TintImageProcessor(QColor tint)
    : FilterImageProcessor("com.quillmoth.Pictor.TintImageProcessor(" + TextForms::colorComponents(tint) + ")"), tint_(tint)
{
}

Image TintImageProcessor::processImage(const Image& image, const PictorParsedOptionsInfo& options) const
{
    return FilterImageProcessor::processImage(scaleStep(image, options), options);
}

} // namespace pictor
