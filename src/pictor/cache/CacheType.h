#pragma once

namespace pictor {

// Where the cache found an image.
enum class CacheType { none, memory, disk };

inline bool isCached(CacheType type) { return type != CacheType::none; }

} // namespace pictor
