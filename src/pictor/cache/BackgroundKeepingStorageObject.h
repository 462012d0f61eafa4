#pragma once

#include "pictor/cache/MemoryStorageObject.h"

namespace pictor {

// An entry whose content may be discarded: eviction drops its value unless it is being accessed
// (as it is from its making until endContentAccess); once dropped the value never comes back.
template <typename T>
class BackgroundKeepingStorageObject : public MemoryStorageObject<T> {
public:
    using MemoryStorageObject<T>::MemoryStorageObject;

    bool beginContentAccess()
    {
        std::lock_guard lock(this->mutex_);
        accessing_ = this->value_.has_value();
        return accessing_;
    }
    void endContentAccess()
    {
        std::lock_guard lock(this->mutex_);
        accessing_ = false;
    }
    void discardContentIfPossible()
    {
        std::lock_guard lock(this->mutex_);
        if (!accessing_)
            this->value_.reset();
    }
    bool isContentDiscarded() const
    {
        std::lock_guard lock(this->mutex_);
        return !this->value_.has_value();
    }

    void evicted() override { discardContentIfPossible(); }

private:
    bool accessing_ = true;
};

} // namespace pictor
