#include "pictor/processing/ResizingImageProcessor.h"

#include "pictor/processing/ImageDrawing.h"
#include "pictor/views/TextForms.h"

namespace pictor {

namespace {

QString modeText(ContentMode mode)
{
    switch (mode) {
    case ContentMode::aspectFit: return QStringLiteral(", aspectFit");
    case ContentMode::aspectFill: return QStringLiteral(", aspectFill");
    case ContentMode::none: break;
    }
    return {};
}

} // namespace

ResizingImageProcessor::ResizingImageProcessor(QSizeF referenceSize, ContentMode mode)
    : DrawingProcessor("com.quillmoth.Pictor.ResizingImageProcessor(" + TextForms::size(referenceSize) + modeText(mode) + ")"),
      referenceSize_(referenceSize), targetContentMode_(mode)
{
}

Image ResizingImageProcessor::processImage(const Image& image, const PictorParsedOptionsInfo& options) const
{
    return pt::resize(scaleStep(image, options), referenceSize_, targetContentMode_);
}

} // namespace pictor
