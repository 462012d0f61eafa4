#pragma once

#include "pictor/views/PTBuilder.h"

#include <QUrl>

namespace pictor {

// The builder's entry points: a source, a resource, a URL (a file URL reads the file), a data
// provider, or bytes under a cache key. An absent argument gives a builder without source, whose
// loads show the placeholder and fail with emptySource.
struct PT {
    static std::shared_ptr<PTBuilder> source(std::optional<Source> source);
    static std::shared_ptr<PTBuilder> resource(std::shared_ptr<const Resource> resource);
    static std::shared_ptr<PTBuilder> url(std::optional<QUrl> url, std::optional<QString> cacheKey = std::nullopt);
    static std::shared_ptr<PTBuilder> dataProvider(std::shared_ptr<const ImageDataProvider> provider);
    static std::shared_ptr<PTBuilder> data(std::optional<QByteArray> data, const QString& cacheKey);
};

} // namespace pictor
