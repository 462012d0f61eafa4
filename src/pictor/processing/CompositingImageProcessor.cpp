#include "pictor/processing/CompositingImageProcessor.h"

#include "pictor/processing/ImageDrawing.h"
#include "pictor/views/TextForms.h"

namespace pictor {

CompositingImageProcessor::CompositingImageProcessor(CompositingOperation compositingOperation, double alpha,
                                                     std::optional<QColor> backgroundColor)
    : DrawingProcessor("com.quillmoth.Pictor.CompositingImageProcessor(" + QString::number(int(compositingOperation)) + "," +
                       TextForms::number(alpha) + ")" + (backgroundColor ? "_" + TextForms::colorComponents(*backgroundColor) : QString())),
      compositingOperation_(compositingOperation), alpha_(alpha), backgroundColor_(backgroundColor)
{
}

Image CompositingImageProcessor::processImage(const Image& image, const PictorParsedOptionsInfo& options) const
{
    return pt::compositing(scaleStep(image, options), compositingOperation_, alpha_, backgroundColor_);
}

} // namespace pictor
