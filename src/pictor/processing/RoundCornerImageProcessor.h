#pragma once

#include "pictor/processing/DrawingProcessor.h"
#include "pictor/processing/Radius.h"
#include "pictor/processing/RectCorner.h"

#include <QColor>
#include <QSizeF>

namespace pictor {

// Rounds the image's corners at the target size (the image's own pixel size without one).
class RoundCornerImageProcessor : public DrawingProcessor {
public:
    RoundCornerImageProcessor(Radius radius, std::optional<QSizeF> targetSize = std::nullopt,
                              RectCorners roundingCorners = RectCorner::all, std::optional<QColor> backgroundColor = std::nullopt);
    // A radius in points.
    RoundCornerImageProcessor(double cornerRadius, std::optional<QSizeF> targetSize = std::nullopt,
                              RectCorners roundingCorners = RectCorner::all, std::optional<QColor> backgroundColor = std::nullopt);


protected:
    Image processImage(const Image& image, const PictorParsedOptionsInfo& options) const override;

private:
    Radius radius_;
    RectCorners roundingCorners_;
    std::optional<QSizeF> targetSize_;
    std::optional<QColor> backgroundColor_;
};

} // namespace pictor
