#pragma once

#include "pictor/retrieval/Resource.h"

namespace pictor {

// The plain resource: a download URL and its cache key (by default the key the URL itself gives).
class ImageResource : public Resource {
public:
    explicit ImageResource(QUrl downloadURL, const std::optional<QString>& cacheKey = std::nullopt)
        : cacheKey_(cacheKey ? *cacheKey : urlCacheKey(downloadURL)), downloadURL_(std::move(downloadURL)) {}

    QString cacheKey() const override { return cacheKey_; }
    QUrl downloadURL() const override { return downloadURL_; }

private:
    QString cacheKey_;
    QUrl downloadURL_;
};

} // namespace pictor
