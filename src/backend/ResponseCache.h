#pragma once

#include "backend/CacheEntry.h"

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QString>

#include <optional>
#include <shared_mutex>

class Clock;
class QUrl;

// The backend client's one-hour cache of successful GET replies, in memory and in one JSON file
// ({cache key: {"data": Base64, "timestamp": seconds since 2001}}) read once at construction and
// rewritten whole, atomically, after every store. Lookups share a reader lock, changes take it
// exclusively. Owned by APIService; used from the GUI thread.
class ResponseCache {
public:
    static constexpr qint64 kLifetimeMs = 3'600'000;

    // `filePath` empty: the cache lives in memory only. Loads the file, if any.
    ResponseCache(QString filePath, const Clock& clock);

    // GETs only, and only addresses whose replies may be reused: not the endpoints whose answers
    // change between calls or have effects (statuses, searches, statistics, counters, ...), and
    // not randomly ordered lists.
    static bool isCacheable(const QByteArray& method, const QUrl& url);

    // Method, "_", the address with its query items sorted (so their order does not matter),
    // and "_" plus the body when there is one in UTF-8.
    static QString cacheKey(const QByteArray& method, const QUrl& url, const std::optional<QByteArray>& body);

    // The bytes stored under `key` within the last hour; an older entry is dropped from memory.
    std::optional<QByteArray> cachedResponse(const QString& key);
    // Stores the bytes with the current time and rewrites the file.
    void store(const QByteArray& data, const QString& key);
    // Forgets an entry whose bytes turned out to be unusable, and rewrites the file.
    void remove(const QString& key);

    qsizetype size() const;

private:
    void load();
    bool isFresh(const CacheEntry& entry) const;
    // Callers hold the lock exclusively.
    void save() const;

    const QString filePath_;
    const Clock& clock_;
    mutable std::shared_mutex mutex_;
    QHash<QString, CacheEntry> entries_;
    // The file's content, kept beside the entries so that a store encodes only its own entry
    // instead of the whole map again.
    QJsonObject stored_;
};
