#include "pictor/processing/RoundCornerImageProcessor.h"

#include "pictor/processing/ImageDrawing.h"
#include "pictor/views/TextForms.h"

namespace pictor {

namespace {

QString identifierFor(Radius radius, std::optional<QSizeF> targetSize, RectCorners roundingCorners, std::optional<QColor> backgroundColor)
{
    QString identifier = "com.quillmoth.Pictor.RoundCornerImageProcessor(" + radius.text();
    if (targetSize)
        identifier += "_" + TextForms::size(*targetSize);
    if (roundingCorners != RectCorner::all)
        identifier += "_corner(" + QString::number(roundingCorners) + ")";
    identifier += ")";
    if (backgroundColor)
        identifier += "_" + TextForms::colorDescription(*backgroundColor);
    return identifier;
}

} // namespace

RoundCornerImageProcessor::RoundCornerImageProcessor(Radius radius, std::optional<QSizeF> targetSize, RectCorners roundingCorners,
                                                     std::optional<QColor> backgroundColor)
    : DrawingProcessor(identifierFor(radius, targetSize, roundingCorners, backgroundColor)), radius_(radius),
      roundingCorners_(roundingCorners), targetSize_(targetSize), backgroundColor_(backgroundColor)
{
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
