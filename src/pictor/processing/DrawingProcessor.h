#pragma once

#include "pictor/processing/ImageProcessor.h"

namespace pictor {

// The common shape of the drawing processors: data is decoded by the default processor first,
// then the processor's own image step runs, usually after bringing the image to the options' scale.
class DrawingProcessor : public ImageProcessor {
public:
    QString identifier() const final { return identifier_; }
    std::optional<Image> process(const ImageProcessItem& item, const PictorParsedOptionsInfo& options) const final;

protected:
    explicit DrawingProcessor(QString identifier) : identifier_(std::move(identifier)) {}
    virtual Image processImage(const Image& image, const PictorParsedOptionsInfo& options) const = 0;
    static Image scaleStep(const Image& image, const PictorParsedOptionsInfo& options);

private:
    QString identifier_;
};

} // namespace pictor
