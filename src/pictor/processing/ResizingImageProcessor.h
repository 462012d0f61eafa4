#pragma once

#include "pictor/processing/ContentMode.h"
#include "pictor/processing/DrawingProcessor.h"

#include <QSizeF>

namespace pictor {

// Resizes to the reference size, or to the size of the image's aspect ratio that fits or fills it.
class ResizingImageProcessor : public DrawingProcessor {
public:
    explicit ResizingImageProcessor(QSizeF referenceSize, ContentMode mode = ContentMode::none);


protected:
    Image processImage(const Image& image, const PictorParsedOptionsInfo& options) const override;

private:
    QSizeF referenceSize_;
    ContentMode targetContentMode_;
};

} // namespace pictor
