#pragma once

#include "pictor/processing/ImageProcessor.h"

namespace pictor {

// Keeps live-photo resources as they are: an image passes unchanged, data gives an empty image
// (the bytes themselves are what the caller stores).
class LivePhotoImageProcessor : public ImageProcessor {
public:
    QString identifier() const override { return QStringLiteral("com.quillmoth.Pictor.LivePhotoImageProcessor"); }
    std::optional<Image> process(const ImageProcessItem& item, const PictorParsedOptionsInfo&) const override
    {
        if (const Image* image = item.asImage())
            return *image;
        return Image();
    }
};

} // namespace pictor
