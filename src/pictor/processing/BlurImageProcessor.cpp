#include "pictor/processing/BlurImageProcessor.h"

#include "pictor/processing/ImageDrawing.h"
#include "pictor/views/TextForms.h"

namespace pictor {

BlurImageProcessor::BlurImageProcessor(double blurRadius)
    : DrawingProcessor("com.quillmoth.Pictor.BlurImageProcessor(" + TextForms::number(blurRadius) + ")"), blurRadius_(blurRadius)
{
}

Image BlurImageProcessor::processImage(const Image& image, const PictorParsedOptionsInfo& options) const
{
    return pt::blurred(scaleStep(image, options), blurRadius_ * options.scaleFactor);
}

} // namespace pictor
