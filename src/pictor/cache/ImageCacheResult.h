#pragma once

#include "pictor/cache/CacheType.h"
#include "pictor/core/Image.h"

#include <optional>

namespace pictor {

// The outcome of a combined lookup: the image and where it was, or nothing.
class ImageCacheResult {
public:
    static ImageCacheResult disk(Image image) { return ImageCacheResult(CacheType::disk, std::move(image)); }
    static ImageCacheResult memory(Image image) { return ImageCacheResult(CacheType::memory, std::move(image)); }
    static ImageCacheResult none() { return ImageCacheResult(CacheType::none, std::nullopt); }

    CacheType cacheType() const { return cacheType_; }
    const std::optional<Image>& image() const { return image_; }

private:
    ImageCacheResult(CacheType type, std::optional<Image> image) : cacheType_(type), image_(std::move(image)) {}

    CacheType cacheType_;
    std::optional<Image> image_;
};

} // namespace pictor
