#include "pictor/CompositingImageProcessor.h"

#include "pictor/ImageDrawing.h"
#include "pictor/TextForms.h"

namespace pictor {

CompositingImageProcessor::CompositingImageProcessor(CompositingOperation compositingOperation, double alpha,
                                                     std::optional<QColor> backgroundColor)
    : compositingOperation_(compositingOperation), alpha_(alpha), backgroundColor_(backgroundColor)
{
    identifier_ = "com.quillmoth.Pictor.CompositingImageProcessor(" + QString::number(int(compositingOperation)) + "," +
                  TextForms::number(alpha) + ")";
    if (backgroundColor)
        identifier_ += "_" + TextForms::colorComponents(*backgroundColor);
}

Image CompositingImageProcessor::processImage(const Image& image, const PictorParsedOptionsInfo& options) const
{
    return pt::compositing(scaleStep(image, options), compositingOperation_, alpha_, backgroundColor_);
}

} // namespace pictor
