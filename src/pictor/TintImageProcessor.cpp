#include "pictor/TintImageProcessor.h"

#include "pictor/Filter.h"
#include "pictor/TextForms.h"

namespace pictor {

TintImageProcessor::TintImageProcessor(QColor tint)
    : identifier_("com.quillmoth.Pictor.TintImageProcessor(" + TextForms::colorComponents(tint) + ")"), tint_(tint)
{
}

Image TintImageProcessor::processImage(const Image& image, const PictorParsedOptionsInfo& options) const
{
    return pt::tinted(scaleStep(image, options), tint_);
}

} // namespace pictor
