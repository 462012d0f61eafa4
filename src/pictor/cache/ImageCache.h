#pragma once

#include "pictor/cache/CacheSerializer.h"
#include "pictor/cache/CacheStoreResult.h"
#include "pictor/cache/CacheType.h"
#include "pictor/core/CallbackQueue.h"
#include "pictor/cache/DiskStorage.h"
#include "pictor/core/DispatchQueue.h"
#include "pictor/core/Image.h"
#include "pictor/cache/ImageCacheResult.h"
#include "pictor/cache/ImageCost.h"
#include "pictor/cache/MemoryStorage.h"
#include "pictor/core/PictorError.h"
#include "pictor/retrieval/PictorOptionsInfoItem.h"
#include "pictor/retrieval/PictorParsedOptionsInfo.h"
#include "pictor/core/Result.h"

#include <QCoro/QCoroTask>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace pictor {

// The two-level image cache: decoded images in a memory storage in front of encoded data on disk,
// one file per key. Keys are extended by the processor's identifier ("key@identifier"). Memory work
// runs on the calling thread; every disk operation of the cache runs on its own serial I/O queue.
// Leaving the active application state cleans expired files. Shared between threads by pointer.
class ImageCache : public std::enable_shared_from_this<ImageCache> {
public:
    using OptionList = std::optional<QList<PictorOptionsInfoItem>>;
    using StoreCompletion = std::function<void(CacheStoreResult)>;
    using RetrieveCompletion = std::function<void(Result<ImageCacheResult, PictorError>)>;
    using DiskRetrieveCompletion = std::function<void(Result<std::optional<Image>, PictorError>)>;
    // Null on success; otherwise a PictorError or the file system's std::system_error.
    using RemoveCompletion = std::function<void(std::exception_ptr)>;

    // The process-wide cache named "default".
    static std::shared_ptr<ImageCache> defaultCache();
    // A cache whose folder is "com.quillmoth.Pictor.ImageCache." + name under the user's caches;
    // a folder that cannot be made leaves a cache that keeps images in memory only. An empty name
    // throws std::invalid_argument.
    static std::shared_ptr<ImageCache> create(const QString& name);
    // The same under another base folder and path rule; throws cannotCreateDirectory.
    static std::shared_ptr<ImageCache> create(const QString& name, const std::optional<QString>& cacheDirectory,
                                              DiskStorageConfig::PathBlock diskCachePath = nullptr);
    static std::shared_ptr<ImageCache> create(std::shared_ptr<MemoryStorage<Image>> memoryStorage,
                                              std::shared_ptr<DiskStorage> diskStorage);
    virtual ~ImageCache();
    ImageCache(const ImageCache&) = delete;
    ImageCache& operator=(const ImageCache&) = delete;

    static QString computedKey(const QString& key, const QString& processorIdentifier);

    const std::shared_ptr<MemoryStorage<Image>>& memoryStorage() const { return memoryStorage_; }
    const std::shared_ptr<DiskStorage>& diskStorage() const { return diskStorage_; }
    QString ioQueueLabel() const { return ioQueue_->label(); }

    // Storing. The completion gets the result through the options' callback queue.
    virtual void store(const Image& image, const std::optional<QByteArray>& original, const QString& key,
                       const PictorParsedOptionsInfo& options, bool toDisk = true, StoreCompletion completion = nullptr);
    virtual void store(const Image& image, const std::optional<QByteArray>& original, const QString& key,
                       const QString& processorIdentifier, const std::optional<QString>& forcedExtension,
                       std::shared_ptr<const CacheSerializer> serializer, bool toDisk, CallbackQueue callbackQueue,
                       StoreCompletion completion = nullptr);
    // Encoded data straight to disk; memory is left alone.
    virtual void storeToDisk(const QByteArray& data, const QString& key, const QString& processorIdentifier,
                             const std::optional<QString>& forcedExtension, const std::optional<StorageExpiration>& expiration,
                             CallbackQueue callbackQueue, StoreCompletion completion = nullptr);

    // Retrieval: memory first, then disk, a disk hit being put back into memory.
    virtual void retrieveImage(const QString& key, const PictorParsedOptionsInfo& options, CallbackQueue callbackQueue,
                               RetrieveCompletion completion);
    virtual void retrieveImage(const QString& key, const OptionList& options, CallbackQueue callbackQueue,
                               RetrieveCompletion completion);
    virtual std::optional<Image> retrieveImageInMemoryCache(const QString& key, const PictorParsedOptionsInfo& options);
    virtual std::optional<Image> retrieveImageInMemoryCache(const QString& key, const OptionList& options);
    // Data the serializer cannot decode is no error: success without an image.
    virtual void retrieveImageInDiskCache(const QString& key, const PictorParsedOptionsInfo& options,
                                          CallbackQueue callbackQueue, DiskRetrieveCompletion completion);
    virtual void retrieveImageInDiskCache(const QString& key, const OptionList& options, CallbackQueue callbackQueue,
                                          DiskRetrieveCompletion completion);

    // Removal, clearing and cleaning. Completions without a queue arrive on the main thread.
    virtual void removeImage(const QString& key, const QString& processorIdentifier = QString(),
                             const std::optional<QString>& forcedExtension = std::nullopt, bool fromMemory = true,
                             bool fromDisk = true, CallbackQueue callbackQueue = CallbackQueue::untouch(),
                             RemoveCompletion completion = nullptr);
    virtual void clearCache(std::function<void()> completion = nullptr);
    virtual void clearMemoryCache();
    virtual void clearDiskCache(std::function<void()> completion = nullptr);
    virtual void cleanExpiredCache(std::function<void()> completion = nullptr);
    virtual void cleanExpiredMemoryCache();
    // Removes expired files, then trims to the size limit; announces the removed files'
    // names (ImageCacheNotifications) before the completion runs. Failures end the clean silently.
    virtual void cleanExpiredDiskCache(std::function<void()> completion = nullptr);
    virtual void calculateDiskStorageSize(std::function<void(Result<uint64_t, PictorError>)> completion);

    // Synchronous queries.
    virtual CacheType imageCachedType(const QString& key, const QString& processorIdentifier = QString(),
                                      const std::optional<QString>& forcedExtension = std::nullopt);
    virtual bool isCached(const QString& key, const QString& processorIdentifier = QString(),
                          const std::optional<QString>& forcedExtension = std::nullopt);
    virtual QString hash(const QString& key, const QString& processorIdentifier = QString(),
                         const std::optional<QString>& forcedExtension = std::nullopt);
    virtual QString cachePath(const QString& key, const QString& processorIdentifier = QString(),
                              const std::optional<QString>& forcedExtension = std::nullopt);
    virtual std::optional<QString> cacheFileURLIfOnDisk(const QString& key, const QString& processorIdentifier = QString(),
                                                        const std::optional<QString>& forcedExtension = std::nullopt);

    // Awaitable forms: a failed disk store, a failed removal or lookup is thrown; the maintenance
    // forms return once their work is done and never throw.
    QCoro::Task<> storeAsync(Image image, std::optional<QByteArray> original, QString key, PictorParsedOptionsInfo options,
                             bool toDisk = true);
    QCoro::Task<> storeAsync(Image image, std::optional<QByteArray> original, QString key, QString processorIdentifier,
                             std::optional<QString> forcedExtension, std::shared_ptr<const CacheSerializer> serializer,
                             bool toDisk = true);
    QCoro::Task<> storeToDiskAsync(QByteArray data, QString key, QString processorIdentifier = QString(),
                                   std::optional<QString> forcedExtension = std::nullopt,
                                   std::optional<StorageExpiration> expiration = std::nullopt);
    QCoro::Task<> removeImageAsync(QString key, QString processorIdentifier = QString(),
                                   std::optional<QString> forcedExtension = std::nullopt, bool fromMemory = true,
                                   bool fromDisk = true);
    QCoro::Task<ImageCacheResult> retrieveImageAsync(QString key, PictorParsedOptionsInfo options);
    QCoro::Task<ImageCacheResult> retrieveImageAsync(QString key, OptionList options = std::nullopt);
    QCoro::Task<std::optional<Image>> retrieveImageInDiskCacheAsync(QString key, OptionList options = std::nullopt);
    QCoro::Task<> clearCacheAsync();
    QCoro::Task<> clearDiskCacheAsync();
    QCoro::Task<> cleanExpiredCacheAsync();
    QCoro::Task<> cleanExpiredDiskCacheAsync();
    QCoro::Task<uint64_t> diskStorageSize();

protected:
    ImageCache(std::shared_ptr<MemoryStorage<Image>> memoryStorage, std::shared_ptr<DiskStorage> diskStorage);

private:
    static std::shared_ptr<ImageCache> createNamed(const QString& name, const std::optional<QString>& cacheDirectory,
                                                   DiskStorageConfig::PathBlock diskCachePath, bool throwing);
    void observeApplicationState();
    CacheStoreResult::Part syncStoreToDisk(const QByteArray& data, const QString& computedKey,
                                           const std::optional<QString>& forcedExtension,
                                           const std::optional<StorageExpiration>& expiration, DataWritingOptions writeOptions);

    std::shared_ptr<MemoryStorage<Image>> memoryStorage_;
    std::shared_ptr<DiskStorage> diskStorage_;
    std::shared_ptr<DispatchQueue> ioQueue_;
    std::mutex observerMutex_;
    QPointer<QObject> stateObserver_;
};

} // namespace pictor
