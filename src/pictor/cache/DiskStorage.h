#pragma once

#include "pictor/cache/DataWritingOptions.h"
#include "pictor/cache/DiskFileMeta.h"
#include "pictor/cache/DiskStorageConfig.h"
#include "pictor/core/DispatchQueue.h"
#include "pictor/cache/ExpirationExtending.h"

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace pictor {

// One file per key in a folder of its own, each file's last access and estimated expiry kept with
// the file (DiskFileMeta); no index file. Files are written through a hidden temporary
// file renamed into place, so a reader never sees half a file. Errors are PictorError cache
// errors, except deletions, which throw the file system's std::system_error.
// The storage does not serialise its own operations; the image cache runs them on its I/O queue.
class DiskStorage : public std::enable_shared_from_this<DiskStorage> {
public:
    // A failed folder creation leaves a storage that refuses to store and read.
    static std::shared_ptr<DiskStorage> create(DiskStorageConfig config, bool createsDirectory);
    // Throws cannotCreateDirectory when the folder cannot be made.
    static std::shared_ptr<DiskStorage> createPreparingDirectory(DiskStorageConfig config);

    // The folder name of a cache: "com.quillmoth.Pictor.ImageCache." + name.
    static QString cacheName(const QString& name);
    // $XDG_CACHE_HOME, else ~/.cache.
    static QString userCachesDirectory();

    DiskStorageConfig config() const;
    // Changes the settings of later operations; the folder stays where it is.
    void setConfig(DiskStorageConfig config);
    const QString& directoryPath() const { return directoryPath_; }
    bool isStorageReady() const { return storageReady_.load(); }

    void ensureDirectory();

    QString fileName(const QString& key, const std::optional<QString>& forcedExtension = std::nullopt) const;
    std::optional<QString> fileNameExtension(const QString& key, const std::optional<QString>& forcedExtension) const;
    QString cacheFilePath(const QString& key, const std::optional<QString>& forcedExtension = std::nullopt) const;

    // An already expired policy writes nothing and is no error.
    void store(const QByteArray& data, const QString& key, const std::optional<StorageExpiration>& expiration = std::nullopt,
               DataWritingOptions writeOptions = {}, const std::optional<QString>& forcedExtension = std::nullopt);
    // Nothing for a missing or expired file; a hit's dates are renewed afterwards on a queue.
    std::optional<QByteArray> value(const QString& key, const std::optional<QString>& forcedExtension,
                                    const ExpirationExtending& extending);
    std::optional<QByteArray> load(const QString& key, const QDateTime& referenceDate, bool loadingData,
                                   const ExpirationExtending& extending, const std::optional<QString>& forcedExtension);
    // Never throws and never moves a file's dates.
    bool isCached(const QString& key, const std::optional<QString>& forcedExtension = std::nullopt);
    bool isCached(const QString& key, const QDateTime& referenceDate, const std::optional<QString>& forcedExtension);

    void remove(const QString& key, const std::optional<QString>& forcedExtension = std::nullopt);
    // Removes the folder and makes it again. A folder that is its base folder (or holds it) is
    // never deleted: that is someone else's.
    void removeAll(bool recreatingDirectory = true);
    // The removed files' paths, in folder order. Temporary files of writes that died midway go too.
    QStringList removeExpiredValues();
    QStringList removeExpiredValues(const QDateTime& referenceDate);
    // At or above the size limit, removes the least recently accessed files until at most half of
    // it remains.
    QStringList removeSizeExceededValues();
    uint64_t totalSize();
    // A folder goes with its contents.
    void deleteFile(const QString& path);

    // Names that may be in the folder: absent until the start-up listing arrives, or for good when
    // it failed (every read then looks at the disk).
    std::optional<QSet<QString>> maybeCached() const;
    bool isScanFinished() const;

private:
    struct Entry {
        QString path;
        std::optional<DiskFileMeta> meta;
    };

    explicit DiskStorage(DiskStorageConfig config);
    void startScan();
    void scanFinished(std::optional<QSet<QString>> names);
    // Every path below the folder, hidden names skipped.
    std::vector<QString> paths() const;
    // The same with their dates; meta absent when it cannot be read.
    std::vector<Entry> entries() const;
    bool mayBeCached(const QString& name) const;
    void noteStored(const QString& name);
    void writeFile(const QString& path, const QString& key, const QByteArray& data, DataWritingOptions options,
                   const StorageExpiration& expiration);
    void deleteIfPresent(const QString& path);
    // Removes the temporary files of writes that died midway.
    void removeAbandonedTemporaries();

    mutable std::mutex configMutex_;
    DiskStorageConfig config_;
    QString baseDirectory_;
    QString directoryPath_;
    std::shared_ptr<DispatchQueue> metaChangingQueue_;
    std::atomic<bool> storageReady_ {true};

    mutable std::mutex maybeCachedMutex_;
    std::optional<QSet<QString>> maybeCached_;
    // Names stored while the start-up listing runs, merged into its result.
    QSet<QString> storedDuringScan_;
    bool scanFinished_ = false;
};

} // namespace pictor
