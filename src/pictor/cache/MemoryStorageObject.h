#pragma once

#include "pictor/cache/ExpirationExtending.h"
#include "pictor/cache/StorageExpiration.h"

#include <QDateTime>

#include <atomic>
#include <mutex>
#include <optional>

namespace pictor {

// One entry of a memory storage: the value, its policy and when it expires. Readers extend the
// expiry without the storage's lock, so the expiry is an atomic and the value sits behind its own
// lock (a background-keeping object may drop it while a reader looks).
template <typename T>
class MemoryStorageObject {
public:
    MemoryStorageObject(T value, StorageExpiration expiration, const QDateTime& now)
        : value_(std::move(value)), expiration_(std::move(expiration)),
          estimatedExpiration_(expiration_.estimatedExpiration(now).toMSecsSinceEpoch())
    {
    }
    virtual ~MemoryStorageObject() = default;

    std::optional<T> value() const
    {
        std::lock_guard lock(mutex_);
        return value_;
    }
    const StorageExpiration& expiration() const { return expiration_; }
    QDateTime estimatedExpiration() const { return QDateTime::fromMSecsSinceEpoch(estimatedExpiration_.load(), Qt::UTC); }

    void extendOnAccess(const ExpirationExtending& extending, const QDateTime& now)
    {
        switch (extending.kind()) {
        case ExpirationExtending::Kind::none:
            return;
        case ExpirationExtending::Kind::cacheTime:
            estimatedExpiration_.store(expiration_.estimatedExpiration(now).toMSecsSinceEpoch());
            return;
        case ExpirationExtending::Kind::expirationTime:
            estimatedExpiration_.store(extending.expiration()->estimatedExpiration(now).toMSecsSinceEpoch());
            return;
        }
    }
    bool isExpired(const QDateTime& now) const { return estimatedExpiration_.load() <= now.toMSecsSinceEpoch(); }

    // What eviction does to the object; a plain entry keeps its value for readers still holding it.
    virtual void evicted() {}

protected:
    mutable std::mutex mutex_;
    std::optional<T> value_;

private:
    StorageExpiration expiration_;
    std::atomic<int64_t> estimatedExpiration_;
};

} // namespace pictor
