#pragma once

#include "pictor/cache/CacheClock.h"
#include "pictor/cache/StorageExpiration.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

namespace pictor {

// Where and how a disk storage keeps its files.
struct DiskStorageConfig {
    using PathBlock = std::function<QString(const QString& baseDirectory, const QString& cacheName)>;

    // directory: the base folder; absent means the user's caches folder.
    DiskStorageConfig(QString cacheName, uint64_t limit, std::optional<QString> baseDirectory = std::nullopt)
        : sizeLimit(limit), name(std::move(cacheName)), directory(std::move(baseDirectory))
    {
    }

    // Bytes; 0 means no limit.
    uint64_t sizeLimit;
    StorageExpiration expiration = StorageExpiration::days(7);
    std::optional<QString> pathExtension;
    bool usesHashedFileName = true;
    // With hashed names, keep the key's own short extension.
    bool autoExtAfterHashedFileName = false;
    // The storage folder from the base folder and the cache's folder name; the default puts the
    // second inside the first.
    PathBlock cachePathBlock = [](const QString& base, const QString& cacheName) -> QString { return base + QLatin1Char('/') + cacheName; };
    QString name;
    std::optional<QString> directory;
    CacheClock clock = systemCacheClock();
};

} // namespace pictor
