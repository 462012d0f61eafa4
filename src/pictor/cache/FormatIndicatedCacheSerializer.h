#pragma once

#include "pictor/cache/CacheSerializer.h"
#include "pictor/processing/ImageFormat.h"

namespace pictor {

// Stores one fixed format. When the image cannot be encoded in it (a still image as GIF), the
// original bytes' format is tried, then the original bytes themselves; without an original, PNG.
class FormatIndicatedCacheSerializer : public CacheSerializer {
public:
    explicit FormatIndicatedCacheSerializer(ImageFormat format, std::optional<double> jpegQuality = std::nullopt)
        : imageFormat(format), jpegCompressionQuality(jpegQuality)
    {
    }

    static std::shared_ptr<const CacheSerializer> png();
    // Quality 1.
    static std::shared_ptr<const CacheSerializer> jpeg();
    static std::shared_ptr<const CacheSerializer> jpeg(double compressionQuality);
    static std::shared_ptr<const CacheSerializer> gif();

    std::optional<QByteArray> data(const Image& image, const std::optional<QByteArray>& original) const override;
    QString description() const override;

    ImageFormat imageFormat;
    std::optional<double> jpegCompressionQuality;

private:
    std::optional<QByteArray> encoded(const Image& image, ImageFormat format) const;
};

} // namespace pictor
