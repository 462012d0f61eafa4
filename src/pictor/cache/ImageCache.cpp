#include "pictor/cache/ImageCache.h"

#include "pictor/core/CallbackAwaiter.h"
#include "pictor/cache/ImageCacheNotifications.h"
#include "pictor/cache/ImageCost.h"
#include "pictor/processing/ImageDrawing.h"
#include "pictor/processing/ImageProcessor.h"
#include "pictor/retrieval/PictorOptionsInfoItem.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QUuid>

#include <stdexcept>
#include <unistd.h>

namespace pictor {

namespace {

// Carries a bare processor identifier through a set of options; it processes nothing.
class TempProcessor : public ImageProcessor {
public:
    explicit TempProcessor(QString identifier) : identifier_(std::move(identifier)) {}
    QString identifier() const override { return identifier_; }
    std::optional<Image> process(const ImageProcessItem&, const PictorParsedOptionsInfo&) const override { return std::nullopt; }

private:
    QString identifier_;
};

QString identifierOf(const PictorParsedOptionsInfo& options)
{
    return options.processor ? options.processor->identifier() : QString();
}

int64_t physicalMemory()
{
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGE_SIZE);
    return pages > 0 && pageSize > 0 ? int64_t(pages) * pageSize : int64_t(4) << 30;
}

} // namespace

ImageCache::ImageCache(std::shared_ptr<MemoryStorage<Image>> memoryStorage, std::shared_ptr<DiskStorage> diskStorage)
    : memoryStorage_(std::move(memoryStorage)), diskStorage_(std::move(diskStorage)),
      ioQueue_(DispatchQueue::create(QStringLiteral("com.quillmoth.Pictor.ImageCache.ioQueue.") + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper()))
{
}

ImageCache::~ImageCache()
{
    std::lock_guard lock(observerMutex_);
    if (stateObserver_)
        stateObserver_->deleteLater();
}

std::shared_ptr<ImageCache> ImageCache::create(std::shared_ptr<MemoryStorage<Image>> memoryStorage, std::shared_ptr<DiskStorage> diskStorage)
{
    std::shared_ptr<ImageCache> cache(new ImageCache(std::move(memoryStorage), std::move(diskStorage)));
    cache->observeApplicationState();
    return cache;
}

std::shared_ptr<ImageCache> ImageCache::createNamed(const QString& name, const std::optional<QString>& cacheDirectory,
                                                    DiskStorageConfig::PathBlock diskCachePath, bool throwing)
{
    if (name.isEmpty())
        throw std::invalid_argument("[Pictor] You should specify a name for the cache. A cache with empty name is not permitted.");
    MemoryStorageConfig memoryConfig(physicalMemory() >> 2, 120.0);
    DiskStorageConfig diskConfig(name, 0, cacheDirectory);
    if (diskCachePath)
        diskConfig.cachePathBlock = std::move(diskCachePath);
    std::shared_ptr<DiskStorage> disk = throwing ? DiskStorage::createPreparingDirectory(std::move(diskConfig))
                                                 : DiskStorage::create(std::move(diskConfig), true);
    return create(MemoryStorage<Image>::create(memoryConfig), std::move(disk));
}

std::shared_ptr<ImageCache> ImageCache::create(const QString& name) { return createNamed(name, std::nullopt, nullptr, false); }

std::shared_ptr<ImageCache> ImageCache::create(const QString& name, const std::optional<QString>& cacheDirectory,
                                               DiskStorageConfig::PathBlock diskCachePath)
{
    return createNamed(name, cacheDirectory, std::move(diskCachePath), true);
}

std::shared_ptr<ImageCache> ImageCache::defaultCache()
{
    static const std::shared_ptr<ImageCache> instance = create(QStringLiteral("default"));
    return instance;
}

void ImageCache::observeApplicationState()
{
    // Registered on the main thread, later; the observer holds the cache weakly and goes with it.
    std::weak_ptr<ImageCache> weak = weak_from_this();
    CallbackQueue::runMainAsync([weak] {
        auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
        const std::shared_ptr<ImageCache> cache = weak.lock();
        if (!app || !cache)
            return;
        // A child of the application, so that it goes at the latest with it: a cache that lives
        // until the end of the process (the default one) has no event loop left to delete it.
        auto* observer = new QObject(app);
        QObject::connect(app, &QGuiApplication::applicationStateChanged, observer,
                         [weak, previous = QGuiApplication::applicationState()](Qt::ApplicationState state) mutable {
                             const bool resigned = previous == Qt::ApplicationActive && state != Qt::ApplicationActive;
                             previous = state;
                             if (const std::shared_ptr<ImageCache> strong = weak.lock(); strong && resigned)
                                 strong->cleanExpiredDiskCache();
                         });
        std::lock_guard lock(cache->observerMutex_);
        cache->stateObserver_ = observer;
    });
}

QString ImageCache::computedKey(const QString& key, const QString& processorIdentifier)
{
    return processorIdentifier.isEmpty() ? key : key + QLatin1Char('@') + processorIdentifier;
}

// ---- storing

void ImageCache::store(const Image& image, const std::optional<QByteArray>& original, const QString& key,
                       const PictorParsedOptionsInfo& options, bool toDisk, StoreCompletion completion)
{
    const QString computed = computedKey(key, identifierOf(options));
    memoryStorage_->store(image, computed, options.memoryCacheExpiration);
    if (!toDisk) {
        if (completion)
            options.callbackQueue.execute([completion] { completion(CacheStoreResult()); });
        return;
    }
    ioQueue_->async([self = shared_from_this(), image, original, computed, options, completion] {
        const std::shared_ptr<const CacheSerializer> serializer = CacheSerializer::of(options);
        CacheStoreResult result;
        if (const std::optional<QByteArray> data = serializer->data(image, original)) {
            result.diskCacheResult = self->syncStoreToDisk(*data, computed, options.forcedExtension, options.diskCacheExpiration,
                                                           options.diskStoreWriteOptions);
        } else {
            const QString originalText = original ? QStringLiteral("%1 bytes").arg(original->size()) : QStringLiteral("nil");
            result.diskCacheResult = CacheStoreResult::Part::failure(
                PictorError::cannotSerializeImage(image.description(), originalText, serializer->description()));
        }
        if (completion)
            options.callbackQueue.execute([completion, result] { completion(result); });
    });
}

void ImageCache::store(const Image& image, const std::optional<QByteArray>& original, const QString& key,
                       const QString& processorIdentifier, const std::optional<QString>& forcedExtension,
                       std::shared_ptr<const CacheSerializer> serializer, bool toDisk, CallbackQueue callbackQueue,
                       StoreCompletion completion)
{
    const PictorParsedOptionsInfo options(QList<PictorOptionsInfoItem> {
        PictorOptionsInfoItem::processor(std::make_shared<const TempProcessor>(processorIdentifier)),
        PictorOptionsInfoItem::cacheSerializer(std::move(serializer)),
        PictorOptionsInfoItem::callbackQueue(std::move(callbackQueue)),
        PictorOptionsInfoItem::forcedCacheFileExtension(forcedExtension),
    });
    store(image, original, key, options, toDisk, std::move(completion));
}

void ImageCache::storeToDisk(const QByteArray& data, const QString& key, const QString& processorIdentifier,
                             const std::optional<QString>& forcedExtension, const std::optional<StorageExpiration>& expiration,
                             CallbackQueue callbackQueue, StoreCompletion completion)
{
    ioQueue_->async([self = shared_from_this(), data, computed = computedKey(key, processorIdentifier), forcedExtension,
                     expiration, callbackQueue, completion] {
        CacheStoreResult result;
        result.diskCacheResult = self->syncStoreToDisk(data, computed, forcedExtension, expiration, {});
        if (completion)
            callbackQueue.execute([completion, result] { completion(result); });
    });
}

CacheStoreResult::Part ImageCache::syncStoreToDisk(const QByteArray& data, const QString& computedKey,
                                                   const std::optional<QString>& forcedExtension,
                                                   const std::optional<StorageExpiration>& expiration, DataWritingOptions writeOptions)
{
    try {
        diskStorage_->store(data, computedKey, expiration, writeOptions, forcedExtension);
        return CacheStoreResult::Part::success({});
    } catch (const PictorError& error) {
        return CacheStoreResult::Part::failure(error);
    } catch (const std::exception& error) {
        return CacheStoreResult::Part::failure(
            PictorError::cannotConvertToData(QStringLiteral("%1 bytes").arg(data.size()), QString::fromUtf8(error.what())));
    }
}

// ---- retrieval

std::optional<Image> ImageCache::retrieveImageInMemoryCache(const QString& key, const PictorParsedOptionsInfo& options)
{
    return memoryStorage_->value(computedKey(key, identifierOf(options)), options.memoryCacheAccessExtendingExpiration);
}

std::optional<Image> ImageCache::retrieveImageInMemoryCache(const QString& key, const OptionList& options)
{
    return retrieveImageInMemoryCache(key, PictorParsedOptionsInfo(options));
}

void ImageCache::retrieveImage(const QString& key, const PictorParsedOptionsInfo& options, CallbackQueue callbackQueue,
                               RetrieveCompletion completion)
{
    if (!completion)
        return;
    if (std::optional<Image> image = retrieveImageInMemoryCache(key, options)) {
        callbackQueue.execute([completion, image = *image] { completion(Result<ImageCacheResult, PictorError>::success(ImageCacheResult::memory(image))); });
        return;
    }
    if (options.fromMemoryCacheOrRefresh) {
        callbackQueue.execute([completion] { completion(Result<ImageCacheResult, PictorError>::success(ImageCacheResult::none())); });
        return;
    }
    std::weak_ptr<ImageCache> weak = weak_from_this();
    retrieveImageInDiskCache(key, options, callbackQueue, [weak, key, options, callbackQueue, completion](Result<std::optional<Image>, PictorError> result) {
        using Outcome = Result<ImageCacheResult, PictorError>;
        if (result.isFailure()) {
            callbackQueue.execute([completion, error = result.error()] { completion(Outcome::failure(error)); });
            return;
        }
        const std::optional<Image>& image = result.value();
        const std::shared_ptr<ImageCache> self = weak.lock();
        if (!image || !self) {
            callbackQueue.execute([completion] { completion(Outcome::success(ImageCacheResult::none())); });
            return;
        }
        PictorParsedOptionsInfo memoryOptions = options;
        memoryOptions.callbackQueue = CallbackQueue::untouch();
        self->store(*image, std::nullopt, key, memoryOptions, false, [completion, callbackQueue, image = *image](CacheStoreResult) {
            callbackQueue.execute([completion, image] { completion(Outcome::success(ImageCacheResult::disk(image))); });
        });
    });
}

void ImageCache::retrieveImage(const QString& key, const OptionList& options, CallbackQueue callbackQueue, RetrieveCompletion completion)
{
    retrieveImage(key, PictorParsedOptionsInfo(options), std::move(callbackQueue), std::move(completion));
}

void ImageCache::retrieveImageInDiskCache(const QString& key, const PictorParsedOptionsInfo& options, CallbackQueue callbackQueue,
                                          DiskRetrieveCompletion completion)
{
    auto load = [disk = diskStorage_, computed = computedKey(key, identifierOf(options)), options, callbackQueue, completion] {
        using Outcome = Result<std::optional<Image>, PictorError>;
        std::optional<QByteArray> data;
        try {
            data = disk->value(computed, options.forcedExtension, options.diskCacheAccessExtendingExpiration);
        } catch (const PictorError& error) {
            callbackQueue.execute([completion, error] { completion(Outcome::failure(error)); });
            return;
        }
        std::optional<Image> image;
        if (data) {
            image = CacheSerializer::of(options)->image(*data, options);
            if (image && options.backgroundDecode)
                image = pt::decoded(*image, options.scaleFactor);
        }
        callbackQueue.execute([completion, image] { completion(Outcome::success(image)); });
    };
    if (options.loadDiskFileSynchronously)
        load();
    else
        ioQueue_->async(std::move(load));
}

void ImageCache::retrieveImageInDiskCache(const QString& key, const OptionList& options, CallbackQueue callbackQueue,
                                          DiskRetrieveCompletion completion)
{
    retrieveImageInDiskCache(key, PictorParsedOptionsInfo(options), std::move(callbackQueue), std::move(completion));
}

// ---- removal, clearing, cleaning

void ImageCache::removeImage(const QString& key, const QString& processorIdentifier, const std::optional<QString>& forcedExtension,
                             bool fromMemory, bool fromDisk, CallbackQueue callbackQueue, RemoveCompletion completion)
{
    const QString computed = computedKey(key, processorIdentifier);
    if (fromMemory)
        memoryStorage_->remove(computed);
    if (!fromDisk) {
        if (completion)
            callbackQueue.execute([completion] { completion(nullptr); });
        return;
    }
    ioQueue_->async([disk = diskStorage_, path = diskStorage_->cacheFilePath(computed, forcedExtension), callbackQueue, completion] {
        std::exception_ptr error;
        try {
            disk->deleteFile(path);
        } catch (...) {
            error = std::current_exception();
        }
        if (completion)
            callbackQueue.execute([completion, error] { completion(error); });
    });
}

void ImageCache::clearMemoryCache() { memoryStorage_->removeAll(); }

void ImageCache::clearDiskCache(std::function<void()> completion)
{
    ioQueue_->async([disk = diskStorage_, completion] {
        try {
            disk->removeAll();
        } catch (const std::exception&) {
            // Clearing reports nothing; a refused or failed removal leaves the files.
        }
        if (completion)
            CallbackQueue::runMainAsync(completion);
    });
}

void ImageCache::clearCache(std::function<void()> completion)
{
    memoryStorage_->removeAll();
    clearDiskCache(std::move(completion));
}

void ImageCache::cleanExpiredMemoryCache() { memoryStorage_->removeExpired(); }

void ImageCache::cleanExpiredDiskCache(std::function<void()> completion)
{
    ioQueue_->async([self = shared_from_this(), completion] {
        QStringList removed;
        try {
            removed = self->diskStorage_->removeExpiredValues();
            removed += self->diskStorage_->removeSizeExceededValues();
        } catch (const std::exception&) {
            removed.clear();
        }
        if (!removed.isEmpty()) {
            QStringList names;
            for (const QString& path : std::as_const(removed))
                names.append(QFileInfo(path).fileName());
            CallbackQueue::runMainAsync([self, names] {
                const QVariantMap userInfo {{ImageCacheNotifications::cleanedHashKey(), names}};
                emit ImageCacheNotifications::shared().didCleanDiskCache(self.get(), userInfo);
            });
        }
        if (completion)
            CallbackQueue::runMainAsync(completion);
    });
}

void ImageCache::cleanExpiredCache(std::function<void()> completion)
{
    cleanExpiredMemoryCache();
    cleanExpiredDiskCache(std::move(completion));
}

void ImageCache::calculateDiskStorageSize(std::function<void(Result<uint64_t, PictorError>)> completion)
{
    ioQueue_->async([disk = diskStorage_, completion] {
        try {
            const uint64_t size = disk->totalSize();
            CallbackQueue::runMainAsync([completion, size] { completion(Result<uint64_t, PictorError>::success(size)); });
        } catch (const PictorError& error) {
            CallbackQueue::runMainAsync([completion, error] { completion(Result<uint64_t, PictorError>::failure(error)); });
        }
    });
}

// ---- queries

CacheType ImageCache::imageCachedType(const QString& key, const QString& processorIdentifier, const std::optional<QString>& forcedExtension)
{
    const QString computed = computedKey(key, processorIdentifier);
    if (memoryStorage_->value(computed, ExpirationExtending::none()))
        return CacheType::memory;
    return diskStorage_->isCached(computed, forcedExtension) ? CacheType::disk : CacheType::none;
}

bool ImageCache::isCached(const QString& key, const QString& processorIdentifier, const std::optional<QString>& forcedExtension)
{
    return pictor::isCached(imageCachedType(key, processorIdentifier, forcedExtension));
}

QString ImageCache::hash(const QString& key, const QString& processorIdentifier, const std::optional<QString>& forcedExtension)
{
    return diskStorage_->fileName(computedKey(key, processorIdentifier), forcedExtension);
}

QString ImageCache::cachePath(const QString& key, const QString& processorIdentifier, const std::optional<QString>& forcedExtension)
{
    return diskStorage_->cacheFilePath(computedKey(key, processorIdentifier), forcedExtension);
}

std::optional<QString> ImageCache::cacheFileURLIfOnDisk(const QString& key, const QString& processorIdentifier,
                                                        const std::optional<QString>& forcedExtension)
{
    const QString computed = computedKey(key, processorIdentifier);
    if (!diskStorage_->isCached(computed, forcedExtension))
        return std::nullopt;
    return diskStorage_->cacheFilePath(computed, forcedExtension);
}

// ---- awaitable forms

namespace {

void throwIfFailed(const CacheStoreResult& result)
{
    if (result.diskCacheResult.isFailure())
        throw result.diskCacheResult.error();
}

// Awaits a maintenance operation whose completion takes no argument.
QCoro::Task<> awaitDone(std::function<void(std::function<void()>)> start)
{
    co_await CallbackAwaiter<bool>([&](CallbackAwaiter<bool>::Deliver deliver) { start([deliver] { deliver(true); }); });
}

} // namespace

QCoro::Task<> ImageCache::storeAsync(Image image, std::optional<QByteArray> original, QString key, PictorParsedOptionsInfo options, bool toDisk)
{
    throwIfFailed(co_await CallbackAwaiter<CacheStoreResult>([&](auto deliver) { store(image, original, key, options, toDisk, deliver); }));
}

QCoro::Task<> ImageCache::storeAsync(Image image, std::optional<QByteArray> original, QString key, QString processorIdentifier,
                                     std::optional<QString> forcedExtension, std::shared_ptr<const CacheSerializer> serializer, bool toDisk)
{
    throwIfFailed(co_await CallbackAwaiter<CacheStoreResult>([&](auto deliver) {
        store(image, original, key, processorIdentifier, forcedExtension, serializer, toDisk, CallbackQueue::untouch(), deliver);
    }));
}

QCoro::Task<> ImageCache::storeToDiskAsync(QByteArray data, QString key, QString processorIdentifier,
                                           std::optional<QString> forcedExtension, std::optional<StorageExpiration> expiration)
{
    throwIfFailed(co_await CallbackAwaiter<CacheStoreResult>([&](auto deliver) {
        storeToDisk(data, key, processorIdentifier, forcedExtension, expiration, CallbackQueue::untouch(), deliver);
    }));
}

QCoro::Task<> ImageCache::removeImageAsync(QString key, QString processorIdentifier, std::optional<QString> forcedExtension,
                                           bool fromMemory, bool fromDisk)
{
    const std::exception_ptr error = co_await CallbackAwaiter<std::exception_ptr>([&](auto deliver) {
        removeImage(key, processorIdentifier, forcedExtension, fromMemory, fromDisk, CallbackQueue::untouch(), deliver);
    });
    if (error)
        std::rethrow_exception(error);
}

QCoro::Task<ImageCacheResult> ImageCache::retrieveImageAsync(QString key, PictorParsedOptionsInfo options)
{
    using Outcome = Result<ImageCacheResult, PictorError>;
    Outcome result = co_await CallbackAwaiter<Outcome>(
        [&](auto deliver) { retrieveImage(key, options, CallbackQueue::mainCurrentOrAsync(), deliver); });
    if (result.isFailure())
        throw result.error();
    co_return std::move(result).value();
}

QCoro::Task<ImageCacheResult> ImageCache::retrieveImageAsync(QString key, OptionList options)
{
    co_return co_await retrieveImageAsync(std::move(key), PictorParsedOptionsInfo(options));
}

QCoro::Task<std::optional<Image>> ImageCache::retrieveImageInDiskCacheAsync(QString key, OptionList options)
{
    using Outcome = Result<std::optional<Image>, PictorError>;
    Outcome result = co_await CallbackAwaiter<Outcome>(
        [&](auto deliver) { retrieveImageInDiskCache(key, options, CallbackQueue::untouch(), deliver); });
    if (result.isFailure())
        throw result.error();
    co_return std::move(result).value();
}

QCoro::Task<> ImageCache::clearCacheAsync()
{
    co_await awaitDone([this](auto done) { clearCache(done); });
}

QCoro::Task<> ImageCache::clearDiskCacheAsync()
{
    co_await awaitDone([this](auto done) { clearDiskCache(done); });
}

QCoro::Task<> ImageCache::cleanExpiredCacheAsync()
{
    co_await awaitDone([this](auto done) { cleanExpiredCache(done); });
}

QCoro::Task<> ImageCache::cleanExpiredDiskCacheAsync()
{
    co_await awaitDone([this](auto done) { cleanExpiredDiskCache(done); });
}

QCoro::Task<uint64_t> ImageCache::diskStorageSize()
{
    using Outcome = Result<uint64_t, PictorError>;
    Outcome result = co_await CallbackAwaiter<Outcome>([&](auto deliver) { calculateDiskStorageSize(deliver); });
    if (result.isFailure())
        throw result.error();
    co_return result.value();
}

} // namespace pictor
