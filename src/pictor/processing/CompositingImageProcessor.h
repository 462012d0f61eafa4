#pragma once

#include "pictor/processing/CompositingOperation.h"
#include "pictor/processing/DrawingProcessor.h"

#include <QColor>

namespace pictor {

// Draws the image with a compositing operation and alpha over an optional background colour.
class CompositingImageProcessor : public DrawingProcessor {
public:
    CompositingImageProcessor(CompositingOperation compositingOperation = CompositingOperation::copy, double alpha = 1.0,
                              std::optional<QColor> backgroundColor = std::nullopt);


protected:
    Image processImage(const Image& image, const PictorParsedOptionsInfo& options) const override;

private:
    CompositingOperation compositingOperation_;
    double alpha_;
    std::optional<QColor> backgroundColor_;
};

} // namespace pictor
