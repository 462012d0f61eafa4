#pragma once

#include "pictor/cache/CacheClock.h"
#include "pictor/cache/StorageExpiration.h"

#include <cstdint>
#include <limits>

namespace pictor {

// Limits and policies of a memory storage.
struct MemoryStorageConfig {
    MemoryStorageConfig(int64_t costLimit, double interval) : totalCostLimit(costLimit), cleanInterval(interval)
    {
    }

    // 0 or less means no limit.
    int64_t totalCostLimit;
    // 0 or less means no limit.
    int64_t countLimit = std::numeric_limits<int64_t>::max();
    StorageExpiration expiration = StorageExpiration::seconds(300);
    // Seconds between two sweeps of expired entries.
    double cleanInterval;
    // Entries are made as background-keeping objects, whose content eviction discards.
    bool keepWhenEnteringBackground = false;
    CacheClock clock = systemCacheClock();
};

} // namespace pictor
