#include "pictor/processing/CroppingImageProcessor.h"

#include "pictor/processing/ImageDrawing.h"
#include "pictor/views/TextForms.h"

namespace pictor {

CroppingImageProcessor::CroppingImageProcessor(QSizeF size, QPointF anchor)
    : DrawingProcessor("com.quillmoth.Pictor.CroppingImageProcessor(" + TextForms::size(size) + "_" + TextForms::point(anchor) + ")"),
      size_(size), anchor_(anchor)
{
}

Image CroppingImageProcessor::processImage(const Image& image, const PictorParsedOptionsInfo& options) const
{
    return pt::crop(scaleStep(image, options), size_, anchor_);
}

} // namespace pictor
