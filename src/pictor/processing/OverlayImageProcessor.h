#pragma once

#include "pictor/processing/DrawingProcessor.h"

#include <QColor>

namespace pictor {

// Lays a colour over the image; fraction 0 hides nothing, 1 draws the colour fully transparent.
class OverlayImageProcessor : public DrawingProcessor {
public:
    explicit OverlayImageProcessor(QColor overlay, double fraction = 0.5);


protected:
    Image processImage(const Image& image, const PictorParsedOptionsInfo& options) const override;

private:
    QColor overlay_;
    double fraction_;
};

} // namespace pictor
