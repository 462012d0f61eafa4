#pragma once

#include "pictor/cache/CacheType.h"
#include "pictor/core/Image.h"
#include "pictor/networking/NetworkMetrics.h"
#include "pictor/retrieval/Source.h"

#include <QByteArray>

#include <functional>
#include <optional>

namespace pictor {

// A retrieved image: where it came from (a cache or its source), the source that produced it and
// the one first asked for, its data on demand and the download's timing when there was one.
struct RetrieveImageResult {
    Image image;
    CacheType cacheType = CacheType::none;
    Source source;
    Source originalSource;
    std::function<std::optional<QByteArray>()> data;
    std::optional<NetworkMetrics> metrics;
};

} // namespace pictor
