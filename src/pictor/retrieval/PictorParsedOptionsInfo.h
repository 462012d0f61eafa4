#pragma once

#include "pictor/core/CallbackQueue.h"
#include "pictor/cache/DataWritingOptions.h"
#include "pictor/cache/ExpirationExtending.h"
#include "pictor/core/Image.h"
#include "pictor/views/ImageTransition.h"
#include "pictor/cache/StorageExpiration.h"

#include <QList>
#include <QString>

#include <memory>
#include <optional>

namespace pictor {

class ImageCache;
class ImageDownloader;
class AsyncImageDownloadRequestModifier;
class ImageDownloadRedirectHandler;
class ImageProcessor;
class CacheSerializer;
class ImageModifier;
class ImageProgressive;
class Source;
class RetryStrategy;
class DataReceivingSideEffect;
class PictorOptionsInfoItem;

// The loading options every operation reads, parsed once from an item list. A plain value:
// copies travel with each request and nothing locks it. The objects it points to guard themselves;
// sources, serializers and the progressive settings are shared immutable values.
struct PictorParsedOptionsInfo {
    // Every field at its default; a list's items are applied in order, the last of a case winning,
    // and without an originalCache item the original cache is the final target cache.
    PictorParsedOptionsInfo();
    explicit PictorParsedOptionsInfo(const std::optional<QList<PictorOptionsInfoItem>>& items);

    std::shared_ptr<ImageCache> targetCache;
    std::shared_ptr<ImageCache> originalCache;
    std::shared_ptr<ImageDownloader> downloader;
    ImageTransition transition;
    float downloadPriority = 0.5f;
    bool forceRefresh = false;
    bool fromMemoryCacheOrRefresh = false;
    bool forceTransition = false;
    bool cacheMemoryOnly = false;
    bool waitForCache = false;
    bool onlyFromCache = false;
    bool backgroundDecode = false;
    bool preloadAllAnimationData = false;
    CallbackQueue callbackQueue = CallbackQueue::mainCurrentOrAsync();
    double scaleFactor = 1.0;
    std::shared_ptr<const AsyncImageDownloadRequestModifier> requestModifier;
    std::shared_ptr<const ImageDownloadRedirectHandler> redirectHandler;
    // Never empty: the default processor unless an item names another.
    std::shared_ptr<const ImageProcessor> processor;
    std::shared_ptr<const ImageModifier> imageModifier;
    // Empty stands for the default serializer (compression quality 1, original data not preferred).
    std::shared_ptr<const CacheSerializer> cacheSerializer;
    bool keepCurrentImageWhileLoading = false;
    bool onlyLoadFirstFrame = false;
    bool cacheOriginalImage = false;
    // Absent without an item; present but empty for an item without an image.
    std::optional<std::optional<Image>> onFailureImage;
    bool alsoPrefetchToMemory = false;
    bool loadDiskFileSynchronously = false;
    DataWritingOptions diskStoreWriteOptions;
    std::optional<StorageExpiration> memoryCacheExpiration;
    ExpirationExtending memoryCacheAccessExtendingExpiration = ExpirationExtending::cacheTime();
    std::optional<StorageExpiration> diskCacheExpiration;
    ExpirationExtending diskCacheAccessExtendingExpiration = ExpirationExtending::cacheTime();
    std::optional<CallbackQueue> processingQueue;
    std::shared_ptr<const ImageProgressive> progressiveJPEG;
    std::optional<QList<std::shared_ptr<const Source>>> alternativeSources;
    std::shared_ptr<const RetryStrategy> retryStrategy;
    std::shared_ptr<const Source> lowDataModeSource;
    std::optional<QString> forcedExtension;
    // Never set by parsing: entry points with progress or progressive display append to it.
    std::optional<QList<std::shared_ptr<DataReceivingSideEffect>>> onDataReceived;

    // The shared empty option list of entry points that are given none.
    static const QList<PictorOptionsInfoItem>& emptyOptions();
};

} // namespace pictor
