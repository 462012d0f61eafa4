#include "pictor/ResizingImageProcessor.h"

#include "pictor/ImageDrawing.h"
#include "pictor/TextForms.h"

namespace pictor {

ResizingImageProcessor::ResizingImageProcessor(QSizeF referenceSize, ContentMode mode)
    : referenceSize_(referenceSize), targetContentMode_(mode)
{
    identifier_ = "com.quillmoth.Pictor.ResizingImageProcessor(" + TextForms::size(referenceSize);
    if (mode == ContentMode::aspectFit)
        identifier_ += QStringLiteral(", aspectFit");
    else if (mode == ContentMode::aspectFill)
        identifier_ += QStringLiteral(", aspectFill");
    identifier_ += ")";
}

Image ResizingImageProcessor::processImage(const Image& image, const PictorParsedOptionsInfo& options) const
{
    return pt::resize(scaleStep(image, options), referenceSize_, targetContentMode_);
}

} // namespace pictor
