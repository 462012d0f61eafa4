#include "pictor/retrieval/CacheCallbackCoordinator.h"

namespace pictor {

CacheCallbackCoordinator::Action CacheCallbackCoordinator::apply(Trigger trigger)
{
    // Read, decide and write in one step, so that triggers from different threads are not lost.
    std::lock_guard lock(mutex_);
    const auto finish = [this] {
        state_ = State::done;
        return Action::deliver;
    };
    switch (state_) {
    case State::idle:
        switch (trigger) {
        case Trigger::storeStarted:
            return shouldWaitForCache_ ? Action::none : finish();
        case Trigger::imageStored:
            if (!shouldCacheOriginal_)
                return finish();
            state_ = State::imageCached;
            return Action::none;
        case Trigger::originalStored:
            state_ = State::originalImageCached;
            return Action::none;
        }
        break;
    case State::imageCached:
        return trigger == Trigger::originalStored ? finish() : Action::none;
    case State::originalImageCached:
        return trigger == Trigger::imageStored ? finish() : Action::none;
    case State::done:
        break;
    }
    return Action::none;
}

CacheCallbackCoordinator::State CacheCallbackCoordinator::state() const
{
    std::lock_guard lock(mutex_);
    return state_;
}

} // namespace pictor
