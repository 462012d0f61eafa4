#include "pictor/processing/OverlayImageProcessor.h"

#include "pictor/processing/ImageDrawing.h"
#include "pictor/views/TextForms.h"

namespace pictor {

OverlayImageProcessor::OverlayImageProcessor(QColor overlay, double fraction)
    : DrawingProcessor("com.quillmoth.Pictor.OverlayImageProcessor(" + TextForms::colorComponents(overlay) + "_" + TextForms::number(fraction) + ")"),
      overlay_(overlay), fraction_(fraction)
{
}

Image OverlayImageProcessor::processImage(const Image& image, const PictorParsedOptionsInfo& options) const
{
    return pt::overlaying(scaleStep(image, options), overlay_, fraction_);
}

} // namespace pictor
