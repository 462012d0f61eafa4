#pragma once

#include "pictor/cache/CacheSerializer.h"

namespace pictor {

// Follows the original's format: a JPEG original is stored as a new JPEG encoding of the image, a
// GIF original as the image's GIF bytes, anything else as PNG. A still image made from a GIF (a
// processed one) has no GIF bytes and is stored as PNG. With preferCacheOriginalData the original
// bytes are stored unchanged.
class DefaultCacheSerializer : public CacheSerializer {
public:
    DefaultCacheSerializer() = default;
    DefaultCacheSerializer(double quality, bool preferOriginal) : compressionQuality(quality), preferCacheOriginalData(preferOriginal)
    {
    }

    // Quality 1, original not preferred.
    static std::shared_ptr<const CacheSerializer> shared();

    std::optional<QByteArray> data(const Image& image, const std::optional<QByteArray>& original) const override;
    bool originalDataUsed() const override { return preferCacheOriginalData; }
    QString description() const override;

    double compressionQuality = 1.0;
    bool preferCacheOriginalData = false;
};

} // namespace pictor
