#pragma once

#include "pictor/cache/BackgroundKeepingStorageObject.h"
#include "pictor/cache/MemoryStorageConfig.h"
#include "pictor/cache/MemoryStorageObject.h"

#include <QCoreApplication>
#include <QHash>
#include <QString>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace pictor {

// Decoded values by key, bounded by a total cost and a count: storing past a limit evicts the
// least recently used entries (a value alone above the cost limit is not kept, and replaces no
// older entry). Every entry carries
// an expiry that reads may extend; expired entries answer nothing and go at the next sweep, which
// a timer on the creating thread runs every cleanInterval without keeping the storage alive.
// T needs a free function cacheCost(const T&) -> int64_t. All operations are thread-safe.
template <typename T>
class MemoryStorage : public std::enable_shared_from_this<MemoryStorage<T>> {
public:
    using Object = MemoryStorageObject<T>;

    static std::shared_ptr<MemoryStorage> create(MemoryStorageConfig config)
    {
        std::shared_ptr<MemoryStorage> storage(new MemoryStorage(std::move(config)));
        storage->startTimer();
        return storage;
    }

    ~MemoryStorage()
    {
        if (!timer_)
            return;
        if (QThread::currentThread() == timer_->thread() && !ticking())
            delete timer_;
        else
            timer_->deleteLater();
    }
    MemoryStorage(const MemoryStorage&) = delete;
    MemoryStorage& operator=(const MemoryStorage&) = delete;

    MemoryStorageConfig config() const
    {
        std::lock_guard lock(mutex_);
        return config_;
    }
    // New limits apply at once; the sweep restarts at the new interval.
    void setConfig(MemoryStorageConfig config)
    {
        std::vector<std::shared_ptr<Object>> evicted;
        {
            std::lock_guard lock(mutex_);
            config_ = std::move(config);
            evictOverLimits(evicted);
        }
        notifyEvicted(evicted);
        if (timer_)
            QMetaObject::invokeMethod(timer_, [timer = timer_, ms = intervalMs()] { timer->start(ms); });
    }

    // Nothing is stored under an already expired policy, and an older entry stays.
    void store(T value, const QString& key, std::optional<StorageExpiration> expiration = std::nullopt)
    {
        std::vector<std::shared_ptr<Object>> evicted;
        {
            std::lock_guard lock(mutex_);
            const QDateTime now = config_.clock();
            const StorageExpiration policy = expiration.value_or(config_.expiration);
            if (policy.isExpired(now))
                return;
            const int64_t cost = std::max<int64_t>(0, cacheCost(value));
            // Room for it would mean flushing everything else, and it would go next anyway; the
            // older entry under the key stays usable.
            if (config_.totalCostLimit > 0 && cost > config_.totalCostLimit)
                return;
            removeLocked(key);
            std::shared_ptr<Object> object;
            if (config_.keepWhenEnteringBackground)
                object = std::make_shared<BackgroundKeepingStorageObject<T>>(std::move(value), policy, now);
            else
                object = std::make_shared<Object>(std::move(value), policy, now);
            entries_.push_front(Entry {key, std::move(object), cost});
            index_.insert(key, entries_.begin());
            totalCost_ = addSaturating(totalCost_, cost);
            evictOverLimits(evicted);
        }
        notifyEvicted(evicted);
    }

    // Nothing for a missing, expired or discarded entry; a hit is extended as asked.
    std::optional<T> value(const QString& key, const ExpirationExtending& extending)
    {
        const auto [object, now] = live(key, true);
        if (!object)
            return std::nullopt;
        object->extendOnAccess(extending, now);
        return object->value();
    }

    // Neither extends the entry nor counts as a use: it keeps its place in the eviction order.
    bool isCached(const QString& key)
    {
        const std::shared_ptr<Object> object = live(key, false).first;
        return object && object->value().has_value();
    }

    void remove(const QString& key)
    {
        std::lock_guard lock(mutex_);
        removeLocked(key);
    }

    void removeAll()
    {
        std::lock_guard lock(mutex_);
        entries_.clear();
        index_.clear();
        totalCost_ = 0;
    }

    void removeExpired()
    {
        std::lock_guard lock(mutex_);
        const QDateTime now = config_.clock();
        for (auto it = entries_.begin(); it != entries_.end();) {
            if (it->object->isExpired(now)) {
                totalCost_ -= it->cost;
                index_.remove(it->key);
                it = entries_.erase(it);
            } else {
                ++it;
            }
        }
    }

    int64_t totalCost() const
    {
        std::lock_guard lock(mutex_);
        return totalCost_;
    }
    qsizetype count() const
    {
        std::lock_guard lock(mutex_);
        return index_.size();
    }
    // The entry itself, without touching its place or expiry (for inspection).
    std::shared_ptr<Object> object(const QString& key) const
    {
        std::lock_guard lock(mutex_);
        const auto found = index_.constFind(key);
        return found == index_.constEnd() ? nullptr : (*found)->object;
    }

private:
    // The unexpired entry under the key and the time it was judged at; a use moves it to the front.
    std::pair<std::shared_ptr<Object>, QDateTime> live(const QString& key, bool use)
    {
        std::shared_ptr<Object> object;
        QDateTime now;
        {
            std::lock_guard lock(mutex_);
            const auto found = index_.constFind(key);
            if (found == index_.constEnd())
                return {};
            if (use)
                entries_.splice(entries_.begin(), entries_, *found);
            object = (*found)->object;
            now = config_.clock();
        }
        if (object->isExpired(now))
            return {};
        return {object, now};
    }

    struct Entry {
        QString key;
        std::shared_ptr<Object> object;
        int64_t cost;
    };
    using Iterator = typename std::list<Entry>::iterator;

    explicit MemoryStorage(MemoryStorageConfig config) : config_(std::move(config)) {}

    static bool& ticking()
    {
        thread_local bool inTick = false;
        return inTick;
    }
    static int64_t addSaturating(int64_t a, int64_t b)
    {
        int64_t sum = 0;
        return __builtin_add_overflow(a, b, &sum) ? std::numeric_limits<int64_t>::max() : sum;
    }

    int intervalMs() const
    {
        const double ms = config().cleanInterval * 1000.0;
        return !(ms >= 1) ? 1 : ms >= double(std::numeric_limits<int>::max()) ? std::numeric_limits<int>::max() : int(ms);
    }

    // Without an application there is no event loop to run the timer; the sweep is then only run
    // by callers.
    void startTimer()
    {
        if (!QCoreApplication::instance())
            return;
        timer_ = new QTimer();
        std::weak_ptr<MemoryStorage> weak = this->weak_from_this();
        QObject::connect(timer_, &QTimer::timeout, [weak] {
            ticking() = true;
            if (const std::shared_ptr<MemoryStorage> storage = weak.lock())
                storage->removeExpired();
            ticking() = false;
        });
        timer_->start(intervalMs());
    }

    void removeLocked(const QString& key)
    {
        const auto found = index_.find(key);
        if (found == index_.end())
            return;
        totalCost_ -= (*found)->cost;
        entries_.erase(*found);
        index_.erase(found);
    }

    void evictOverLimits(std::vector<std::shared_ptr<Object>>& evicted)
    {
        const int64_t costLimit = config_.totalCostLimit;
        const int64_t countLimit = config_.countLimit;
        while (!entries_.empty() && ((costLimit > 0 && totalCost_ > costLimit) || (countLimit > 0 && index_.size() > countLimit))) {
            Entry& last = entries_.back();
            totalCost_ -= last.cost;
            evicted.push_back(std::move(last.object));
            index_.remove(last.key);
            entries_.pop_back();
        }
    }
    static void notifyEvicted(const std::vector<std::shared_ptr<Object>>& evicted)
    {
        for (const std::shared_ptr<Object>& object : evicted)
            object->evicted();
    }

    mutable std::mutex mutex_;
    MemoryStorageConfig config_;
    // Most recently used first.
    std::list<Entry> entries_;
    QHash<QString, Iterator> index_;
    int64_t totalCost_ = 0;
    QTimer* timer_ = nullptr;
};

} // namespace pictor
