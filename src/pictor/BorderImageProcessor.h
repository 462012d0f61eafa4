#pragma once

#include "pictor/Border.h"
#include "pictor/DrawingProcessor.h"

namespace pictor {

// Strokes a border inside the image's edge, on the image as given (no scale step).
class BorderImageProcessor : public DrawingProcessor {
public:
    explicit BorderImageProcessor(Border border) : border_(std::move(border)) {}

    // Opens a parenthesis that it never closes, as stored keys already name it.
    QString identifier() const override { return "com.quillmoth.Pictor.BorderImageProcessor(" + border_.description(); }

protected:
    Image processImage(const Image& image, const PictorParsedOptionsInfo& options) const override;

private:
    Border border_;
};

} // namespace pictor
