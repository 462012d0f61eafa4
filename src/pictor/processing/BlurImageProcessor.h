#pragma once

#include "pictor/processing/DrawingProcessor.h"

namespace pictor {

// Blurs with the radius times the options' scale.
class BlurImageProcessor : public DrawingProcessor {
public:
    explicit BlurImageProcessor(double blurRadius);


protected:
    Image processImage(const Image& image, const PictorParsedOptionsInfo& options) const override;

private:
    double blurRadius_;
};

} // namespace pictor
