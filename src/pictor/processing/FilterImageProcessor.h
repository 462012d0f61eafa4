#pragma once

#include "pictor/processing/DrawingProcessor.h"
#include "pictor/processing/Filter.h"

namespace pictor {

// A processor defined by a filter: an image is filtered as it is, data is decoded first.
// Subclasses may add steps of their own around the filter.
class FilterImageProcessor : public DrawingProcessor {
public:
    virtual Filter filter() const = 0;

protected:
    using DrawingProcessor::DrawingProcessor;
    Image processImage(const Image& image, const PictorParsedOptionsInfo& options) const override;
};

} // namespace pictor
