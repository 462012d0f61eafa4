#pragma once

#include "pictor/FilterImageProcessor.h"

namespace pictor {

// Adjusts brightness, contrast, saturation and exposure.
class ColorControlsProcessor : public FilterImageProcessor {
public:
    ColorControlsProcessor(double brightness, double contrast, double saturation, double inputEV);

    QString identifier() const override { return identifier_; }
    Filter filter() const override { return Filter::colorControl(element_); }

protected:
    ColorControlsProcessor(QString identifier, Filter::ColorElement element) : identifier_(std::move(identifier)), element_(element) {}
    Image processImage(const Image& image, const PictorParsedOptionsInfo& options) const override;

private:
    QString identifier_;
    Filter::ColorElement element_;
};

} // namespace pictor
