#pragma once

#include "pictor/processing/ImageProcessor.h"

#include <QSizeF>

namespace pictor {

// Decodes data straight to the size (times the options' scale) without a full-size decode; an image
// is encoded as PNG first and then downsampled the same way.
class DownsamplingImageProcessor : public ImageProcessor {
public:
    explicit DownsamplingImageProcessor(QSizeF size);

    QString identifier() const override { return identifier_; }
    std::optional<Image> process(const ImageProcessItem& item, const PictorParsedOptionsInfo& options) const override;

private:
    QSizeF size_;
    QString identifier_;
};

} // namespace pictor
