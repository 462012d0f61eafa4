#pragma once

#include <QHashFunctions>
#include <QUuid>

// An id as a hash key. Qt's own hash of a QUuid folds its fields together with XOR, so ids whose
// first and last fields carry the same number ("0000002A-0000-4000-8000-00000000002A") cancel
// out into a handful of buckets and indexing a large list of them takes quadratic time. This
// hashes all 16 bytes.
struct UuidKey {
    QUuid id;

    UuidKey(const QUuid& uuid = {}) : id(uuid) {}

    friend bool operator==(const UuidKey& a, const UuidKey& b) noexcept { return a.id == b.id; }
    friend size_t qHash(const UuidKey& key, size_t seed = 0) noexcept
    {
        static_assert(sizeof(QUuid) == 16, "a QUuid is its 16 bytes");
        return qHashBits(&key.id, sizeof(QUuid), seed);
    }
};
