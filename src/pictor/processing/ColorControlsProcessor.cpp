#include "pictor/processing/ColorControlsProcessor.h"

#include "pictor/views/TextForms.h"

namespace pictor {

ColorControlsProcessor::ColorControlsProcessor(double brightness, double contrast, double saturation, double inputEV)
    : ColorControlsProcessor("com.quillmoth.Pictor.ColorControlsProcessor(" + TextForms::number(brightness) + "_" +
                                 TextForms::number(contrast) + "_" + TextForms::number(saturation) + "_" + TextForms::number(inputEV) + ")",
                             {brightness, contrast, saturation, inputEV})
{
}

Image ColorControlsProcessor::processImage(const Image& image, const PictorParsedOptionsInfo& options) const
{
    return FilterImageProcessor::processImage(scaleStep(image, options), options);
}

} // namespace pictor
