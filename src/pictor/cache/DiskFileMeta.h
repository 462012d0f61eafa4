#pragma once

#include "pictor/cache/ExpirationExtending.h"

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>

struct stat;

namespace pictor {

// What the disk storage knows of one file from its dates: the last access and the estimated expiry,
// kept in an extended attribute only the cache writes and mirrored in the file's access and
// modification times (read where the file system keeps no attribute).
struct DiskFileMeta {
    QString path;
    std::optional<QDateTime> lastAccessDate;
    std::optional<QDateTime> estimatedExpirationDate;
    bool isDirectory = false;
    int64_t fileSize = 0;

    static DiskFileMeta fromStat(const QString& path, const struct stat& status);

    // True without an expiry, or when the expiry is at or before the date.
    bool hasExpired(const QDateTime& referenceDate) const;
    // Moves the file's dates after a read: last access now, expiry from now by the extending
    // policy (cacheTime: the span the file was last given). Failures are ignored.
    void renewExpiration(const ExpirationExtending& extending, const QDateTime& now) const;

    // Sets both dates, each rounded up to a whole second; an open descriptor is used when given.
    // False with errno set on failure.
    static bool setDates(const QString& path, int fd, const QDateTime& lastAccess, const QDateTime& expiration);
};

} // namespace pictor
