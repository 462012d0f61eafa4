#pragma once

#include "backend/CacheEntry.h"

#include <QByteArray>
#include <QFuture>
#include <QHash>
#include <QJsonObject>
#include <QString>

#include <mutex>
#include <optional>
#include <shared_mutex>

class Clock;
class QUrl;

// The backend client's one-hour cache of successful GET replies, in memory and in one JSON file
// ({cache key: {"data": Base64, "timestamp": seconds since 2001}}) read once at construction and
// rewritten whole, atomically, after changes: on a worker of the shared thread pool, one write
// at a time, so changes that come while a write is queued or running make one write after it.
// A file that cannot be read whole is moved aside ("api_cache.json.damaged-<time>") and the
// entries that still decode are kept; one that fails to read for a passing reason is left alone.
// Lookups share a reader lock, changes take it exclusively.
// Owned by APIService; used from the GUI thread.
class ResponseCache {
public:
    static constexpr qint64 kLifetimeMs = 3'600'000;
    // An hour of replies takes a few MB; a larger file is moved aside unread.
    static constexpr qint64 kMaximumFileBytes = 256 << 20;

    // `filePath` empty: the cache lives in memory only. Loads the file, if any.
    ResponseCache(QString filePath, const Clock& clock);
    // Waits for the write of the last change.
    ~ResponseCache();

    // GETs only, and only addresses whose replies may be reused: not the endpoints whose answers
    // change between calls or have effects (statuses, searches, statistics, counters, ...), and
    // not randomly ordered lists.
    static bool isCacheable(const QByteArray& method, const QUrl& url);

    // Method, "_", the address with its query items sorted (so their order does not matter),
    // and "_" plus the body when there is one in UTF-8.
    static QString cacheKey(const QByteArray& method, const QUrl& url, const std::optional<QByteArray>& body);

    // The bytes stored under `key` within the last hour; an older entry is dropped from memory.
    std::optional<QByteArray> cachedResponse(const QString& key);
    // Stores the bytes with the current time; the file follows.
    void store(const QByteArray& data, const QString& key);
    // Forgets an entry whose bytes turned out to be unusable; the file follows.
    void remove(const QString& key);

    qsizetype size() const;

private:
    void load();
    // Moves a damaged file aside, and writes what was kept of it in its place.
    void keepAside(qsizetype kept);
    bool isFresh(const CacheEntry& entry) const;
    // Asks for a write of the current content.
    void save();
    // On the worker: writes the latest content until no change is left unwritten.
    void writeWhileChanged();

    const QString filePath_;
    const Clock& clock_;
    mutable std::shared_mutex mutex_;
    QHash<QString, CacheEntry> entries_;
    // The file's content, kept beside the entries so that a store encodes only its own entry
    // instead of the whole map again.
    QJsonObject stored_;

    std::mutex writeMutex_;
    // Guarded by writeMutex_: a change is not written yet; a write job is queued or running.
    bool changed_ = false;
    bool writing_ = false;
    // The current write job. GUI thread only.
    QFuture<void> writer_;
};
