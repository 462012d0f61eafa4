#pragma once

#include "pictor/core/PictorError.h"
#include "pictor/core/Result.h"

#include <variant>

namespace pictor {

// The outcome of a store: the memory part never fails; the disk part succeeds also when no disk
// store was asked for.
struct CacheStoreResult {
    using Part = Result<std::monostate, PictorError>;

    Part memoryCacheResult = Part::success({});
    Part diskCacheResult = Part::success({});
};

} // namespace pictor
