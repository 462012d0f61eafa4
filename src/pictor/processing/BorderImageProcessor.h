#pragma once

#include "pictor/processing/Border.h"
#include "pictor/processing/DrawingProcessor.h"

namespace pictor {

// Strokes a border inside the image's edge, on the image as given (no scale step).
class BorderImageProcessor : public DrawingProcessor {
public:
    // The identifier opens a parenthesis that it never closes, as stored keys already name it.
    explicit BorderImageProcessor(Border border)
        : DrawingProcessor("com.quillmoth.Pictor.BorderImageProcessor(" + border.description()), border_(std::move(border))
    {
    }

protected:
    Image processImage(const Image& image, const PictorParsedOptionsInfo& options) const override;

private:
    Border border_;
};

} // namespace pictor
