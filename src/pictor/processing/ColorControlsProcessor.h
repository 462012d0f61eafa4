#pragma once

#include "pictor/processing/FilterImageProcessor.h"

namespace pictor {

// Adjusts brightness, contrast, saturation and exposure.
class ColorControlsProcessor : public FilterImageProcessor {
public:
    ColorControlsProcessor(double brightness, double contrast, double saturation, double inputEV);
    Filter filter() const override { return Filter::colorControl(element_); }

protected:
    ColorControlsProcessor(QString identifier, Filter::ColorElement element) : FilterImageProcessor(std::move(identifier)), element_(element) {}
    Image processImage(const Image& image, const PictorParsedOptionsInfo& options) const override;

private:
    Filter::ColorElement element_;
};

} // namespace pictor
