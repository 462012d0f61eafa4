#pragma once

#include <mutex>

namespace pictor {

// Decides when a retrieval that stores its image may call its completion: at once when the
// stores are issued, or, when waiting for the cache, once the processed image and (when kept too)
// the original data are stored, in either order. Says "deliver" at most once. Triggers may arrive
// on any thread.
class CacheCallbackCoordinator {
public:
    enum class State { idle, imageCached, originalImageCached, done };
    enum class Trigger { storeStarted, imageStored, originalStored };
    enum class Action { none, deliver };

    CacheCallbackCoordinator(bool shouldWaitForCache, bool shouldCacheOriginal)
        : shouldWaitForCache_(shouldWaitForCache), shouldCacheOriginal_(shouldCacheOriginal) {}

    Action apply(Trigger trigger);
    State state() const;

private:
    const bool shouldWaitForCache_;
    const bool shouldCacheOriginal_;
    mutable std::mutex mutex_;
    State state_ = State::idle;
};

} // namespace pictor
