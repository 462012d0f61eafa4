#pragma once

#include "pictor/cache/CacheType.h"
#include "pictor/retrieval/LivePhotoSource.h"

#include <QByteArray>
#include <QList>
#include <QUrl>

#include <functional>

namespace pictor {

// A retrieved live photo: the cached file of every resource in source order, whether anything had
// to be fetched (none) or all was on disk, and the bytes fetched by this retrieval.
struct LivePhotoLoadingInfoResult {
    QList<QUrl> fileURLs;
    CacheType cacheType = CacheType::none;
    LivePhotoSource source;
    LivePhotoSource originalSource;
    // The fetched resources' bytes, in source order; empty when nothing was fetched.
    std::function<QList<QByteArray>()> data;
    // The cached file of each entry of data(), in the same order.
    QList<QUrl> fetchedFileURLs;
};

} // namespace pictor
