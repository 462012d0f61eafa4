#pragma once

#include "pictor/core/Image.h"
#include "pictor/retrieval/PictorParsedOptionsInfo.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

namespace pictor {

// Turns an image into the bytes the disk cache keeps, and those bytes back into an image.
// Serializers are immutable and used from any thread.
class CacheSerializer {
public:
    virtual ~CacheSerializer() = default;

    // The bytes to store for the image, given the bytes it was loaded from; nothing when the image
    // cannot be encoded.
    virtual std::optional<QByteArray> data(const Image& image, const std::optional<QByteArray>& original) const = 0;
    // Decodes with the options' scale, animation preloading and first-frame settings.
    virtual std::optional<Image> image(const QByteArray& data, const PictorParsedOptionsInfo& options) const;
    // Whether the original bytes are kept rather than an encoding of the image.
    virtual bool originalDataUsed() const { return false; }
    // For error texts.
    virtual QString description() const = 0;

    // The options' serializer, or the default one when they name none.
    static std::shared_ptr<const CacheSerializer> of(const PictorParsedOptionsInfo& options);
};

} // namespace pictor
