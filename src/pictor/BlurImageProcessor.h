#pragma once

#include "pictor/DrawingProcessor.h"

namespace pictor {

// Blurs with the radius times the options' scale.
class BlurImageProcessor : public DrawingProcessor {
public:
    explicit BlurImageProcessor(double blurRadius);

    QString identifier() const override { return identifier_; }

protected:
    Image processImage(const Image& image, const PictorParsedOptionsInfo& options) const override;

private:
    QString identifier_;
    double blurRadius_;
};

} // namespace pictor
