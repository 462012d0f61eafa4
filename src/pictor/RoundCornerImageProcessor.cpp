#include "pictor/RoundCornerImageProcessor.h"

#include "pictor/ImageDrawing.h"
#include "pictor/TextForms.h"

namespace pictor {

RoundCornerImageProcessor::RoundCornerImageProcessor(Radius radius, std::optional<QSizeF> targetSize, RectCorners roundingCorners,
                                                     std::optional<QColor> backgroundColor)
    : radius_(radius), roundingCorners_(roundingCorners), targetSize_(targetSize), backgroundColor_(backgroundColor)
{
    identifier_ = "com.quillmoth.Pictor.RoundCornerImageProcessor(" + radius.text();
    if (targetSize)
        identifier_ += "_" + TextForms::size(*targetSize);
    if (roundingCorners != RectCorner::all)
        identifier_ += "_corner(" + QString::number(roundingCorners) + ")";
    identifier_ += ")";
    if (backgroundColor)
        identifier_ += "_" + TextForms::colorDescription(*backgroundColor);
}

RoundCornerImageProcessor::RoundCornerImageProcessor(double cornerRadius, std::optional<QSizeF> targetSize, RectCorners roundingCorners,
                                                     std::optional<QColor> backgroundColor)
    : RoundCornerImageProcessor(Radius::point(cornerRadius), targetSize, roundingCorners, backgroundColor)
{
}

Image RoundCornerImageProcessor::processImage(const Image& image, const PictorParsedOptionsInfo& options) const
{
    const QSizeF fit = targetSize_.value_or(image.pixelSize());
    return pt::roundCorners(scaleStep(image, options), radius_, fit, roundingCorners_, backgroundColor_);
}

} // namespace pictor
