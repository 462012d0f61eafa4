#pragma once

#include "pictor/DrawingProcessor.h"
#include "pictor/Filter.h"

namespace pictor {

// Adjusts brightness, contrast, saturation and exposure.
class ColorControlsProcessor : public DrawingProcessor {
public:
    ColorControlsProcessor(double brightness, double contrast, double saturation, double inputEV);

    QString identifier() const override { return identifier_; }

protected:
    ColorControlsProcessor(QString identifier, Filter::ColorElement element) : identifier_(std::move(identifier)), element_(element) {}
    Image processImage(const Image& image, const PictorParsedOptionsInfo& options) const override;

private:
    QString identifier_;
    Filter::ColorElement element_;
};

} // namespace pictor
