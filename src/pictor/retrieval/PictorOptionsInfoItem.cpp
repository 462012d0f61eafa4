#include "pictor/retrieval/PictorOptionsInfoItem.h"

namespace pictor {

using Info = PictorParsedOptionsInfo;

template <typename Field, typename Value>
PictorOptionsInfoItem PictorOptionsInfoItem::setting(Kind kind, Field Info::*field, Value value)
{
    return PictorOptionsInfoItem(kind, [field, value = std::move(value)](Info& options) { options.*field = value; });
}

PictorOptionsInfoItem PictorOptionsInfoItem::targetCache(std::shared_ptr<ImageCache> cache) { return setting(Kind::targetCache, &Info::targetCache, std::move(cache)); }
PictorOptionsInfoItem PictorOptionsInfoItem::originalCache(std::shared_ptr<ImageCache> cache) { return setting(Kind::originalCache, &Info::originalCache, std::move(cache)); }
PictorOptionsInfoItem PictorOptionsInfoItem::downloader(std::shared_ptr<ImageDownloader> downloader) { return setting(Kind::downloader, &Info::downloader, std::move(downloader)); }
PictorOptionsInfoItem PictorOptionsInfoItem::transition(ImageTransition transition) { return setting(Kind::transition, &Info::transition, transition); }
PictorOptionsInfoItem PictorOptionsInfoItem::downloadPriority(float priority) { return setting(Kind::downloadPriority, &Info::downloadPriority, priority); }
PictorOptionsInfoItem PictorOptionsInfoItem::callbackQueue(CallbackQueue queue) { return setting(Kind::callbackQueue, &Info::callbackQueue, std::move(queue)); }
PictorOptionsInfoItem PictorOptionsInfoItem::scaleFactor(double scale) { return setting(Kind::scaleFactor, &Info::scaleFactor, scale); }
PictorOptionsInfoItem PictorOptionsInfoItem::requestModifier(std::shared_ptr<const AsyncImageDownloadRequestModifier> modifier) { return setting(Kind::requestModifier, &Info::requestModifier, std::move(modifier)); }
PictorOptionsInfoItem PictorOptionsInfoItem::redirectHandler(std::shared_ptr<const ImageDownloadRedirectHandler> handler) { return setting(Kind::redirectHandler, &Info::redirectHandler, std::move(handler)); }
PictorOptionsInfoItem PictorOptionsInfoItem::processor(std::shared_ptr<const ImageProcessor> processor) { return setting(Kind::processor, &Info::processor, std::move(processor)); }
PictorOptionsInfoItem PictorOptionsInfoItem::cacheSerializer(std::shared_ptr<const CacheSerializer> serializer) { return setting(Kind::cacheSerializer, &Info::cacheSerializer, std::move(serializer)); }
PictorOptionsInfoItem PictorOptionsInfoItem::imageModifier(std::shared_ptr<const ImageModifier> modifier) { return setting(Kind::imageModifier, &Info::imageModifier, std::move(modifier)); }
PictorOptionsInfoItem PictorOptionsInfoItem::onFailureImage(std::optional<Image> image) { return setting(Kind::onFailureImage, &Info::onFailureImage, std::optional<std::optional<Image>>(std::move(image))); }
PictorOptionsInfoItem PictorOptionsInfoItem::diskStoreWriteOptions(DataWritingOptions options) { return setting(Kind::diskStoreWriteOptions, &Info::diskStoreWriteOptions, options); }
PictorOptionsInfoItem PictorOptionsInfoItem::memoryCacheExpiration(StorageExpiration expiration) { return setting(Kind::memoryCacheExpiration, &Info::memoryCacheExpiration, std::optional(expiration)); }
PictorOptionsInfoItem PictorOptionsInfoItem::memoryCacheAccessExtendingExpiration(ExpirationExtending extending) { return setting(Kind::memoryCacheAccessExtendingExpiration, &Info::memoryCacheAccessExtendingExpiration, extending); }
PictorOptionsInfoItem PictorOptionsInfoItem::diskCacheExpiration(StorageExpiration expiration) { return setting(Kind::diskCacheExpiration, &Info::diskCacheExpiration, std::optional(expiration)); }
PictorOptionsInfoItem PictorOptionsInfoItem::diskCacheAccessExtendingExpiration(ExpirationExtending extending) { return setting(Kind::diskCacheAccessExtendingExpiration, &Info::diskCacheAccessExtendingExpiration, extending); }
PictorOptionsInfoItem PictorOptionsInfoItem::processingQueue(CallbackQueue queue) { return setting(Kind::processingQueue, &Info::processingQueue, std::optional(queue)); }
PictorOptionsInfoItem PictorOptionsInfoItem::progressiveJPEG(std::shared_ptr<const ImageProgressive> progressive) { return setting(Kind::progressiveJPEG, &Info::progressiveJPEG, std::move(progressive)); }
PictorOptionsInfoItem PictorOptionsInfoItem::alternativeSources(QList<std::shared_ptr<const Source>> sources) { return setting(Kind::alternativeSources, &Info::alternativeSources, std::optional(std::move(sources))); }
PictorOptionsInfoItem PictorOptionsInfoItem::retryStrategy(std::shared_ptr<const RetryStrategy> strategy) { return setting(Kind::retryStrategy, &Info::retryStrategy, std::move(strategy)); }
PictorOptionsInfoItem PictorOptionsInfoItem::lowDataMode(std::shared_ptr<const Source> source) { return setting(Kind::lowDataMode, &Info::lowDataModeSource, std::move(source)); }
PictorOptionsInfoItem PictorOptionsInfoItem::forcedCacheFileExtension(std::optional<QString> extension) { return setting(Kind::forcedCacheFileExtension, &Info::forcedExtension, std::move(extension)); }

PictorOptionsInfoItem PictorOptionsInfoItem::forceRefresh() { return setting(Kind::forceRefresh, &Info::forceRefresh, true); }
PictorOptionsInfoItem PictorOptionsInfoItem::fromMemoryCacheOrRefresh() { return setting(Kind::fromMemoryCacheOrRefresh, &Info::fromMemoryCacheOrRefresh, true); }
PictorOptionsInfoItem PictorOptionsInfoItem::forceTransition() { return setting(Kind::forceTransition, &Info::forceTransition, true); }
PictorOptionsInfoItem PictorOptionsInfoItem::cacheMemoryOnly() { return setting(Kind::cacheMemoryOnly, &Info::cacheMemoryOnly, true); }
PictorOptionsInfoItem PictorOptionsInfoItem::waitForCache() { return setting(Kind::waitForCache, &Info::waitForCache, true); }
PictorOptionsInfoItem PictorOptionsInfoItem::onlyFromCache() { return setting(Kind::onlyFromCache, &Info::onlyFromCache, true); }
PictorOptionsInfoItem PictorOptionsInfoItem::backgroundDecode() { return setting(Kind::backgroundDecode, &Info::backgroundDecode, true); }
PictorOptionsInfoItem PictorOptionsInfoItem::preloadAllAnimationData() { return setting(Kind::preloadAllAnimationData, &Info::preloadAllAnimationData, true); }
PictorOptionsInfoItem PictorOptionsInfoItem::keepCurrentImageWhileLoading() { return setting(Kind::keepCurrentImageWhileLoading, &Info::keepCurrentImageWhileLoading, true); }
PictorOptionsInfoItem PictorOptionsInfoItem::onlyLoadFirstFrame() { return setting(Kind::onlyLoadFirstFrame, &Info::onlyLoadFirstFrame, true); }
PictorOptionsInfoItem PictorOptionsInfoItem::cacheOriginalImage() { return setting(Kind::cacheOriginalImage, &Info::cacheOriginalImage, true); }
PictorOptionsInfoItem PictorOptionsInfoItem::alsoPrefetchToMemory() { return setting(Kind::alsoPrefetchToMemory, &Info::alsoPrefetchToMemory, true); }
PictorOptionsInfoItem PictorOptionsInfoItem::loadDiskFileSynchronously() { return setting(Kind::loadDiskFileSynchronously, &Info::loadDiskFileSynchronously, true); }

} // namespace pictor
