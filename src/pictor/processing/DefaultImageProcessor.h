#pragma once

#include "pictor/processing/ImageProcessor.h"

namespace pictor {

// Decodes data (GIF as an animated image, with the options' scale, preload and first-frame
// settings) and brings images to the options' scale. Its identifier is empty.
class DefaultImageProcessor : public ImageProcessor {
public:
    static const std::shared_ptr<const DefaultImageProcessor>& shared();

    QString identifier() const override { return {}; }
    std::optional<Image> process(const ImageProcessItem& item, const PictorParsedOptionsInfo& options) const override;
};

} // namespace pictor
