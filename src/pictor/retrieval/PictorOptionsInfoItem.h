#pragma once

#include "pictor/retrieval/PictorParsedOptionsInfo.h"

#include <functional>

namespace pictor {

// One loading option. Each sets exactly one field of the parsed record: a valued item replaces
// the field, a flag item turns it on (no item turns a flag off).
class PictorOptionsInfoItem {
public:
    enum class Kind {
        targetCache, originalCache, downloader, transition, downloadPriority, callbackQueue, scaleFactor,
        requestModifier, redirectHandler, processor, cacheSerializer, imageModifier, onFailureImage,
        diskStoreWriteOptions, memoryCacheExpiration, memoryCacheAccessExtendingExpiration, diskCacheExpiration,
        diskCacheAccessExtendingExpiration, processingQueue, progressiveJPEG, alternativeSources, retryStrategy,
        lowDataMode, forcedCacheFileExtension,
        forceRefresh, fromMemoryCacheOrRefresh, forceTransition, cacheMemoryOnly, waitForCache, onlyFromCache,
        backgroundDecode, preloadAllAnimationData, keepCurrentImageWhileLoading, onlyLoadFirstFrame,
        cacheOriginalImage, alsoPrefetchToMemory, loadDiskFileSynchronously,
    };

    static PictorOptionsInfoItem targetCache(std::shared_ptr<ImageCache> cache);
    static PictorOptionsInfoItem originalCache(std::shared_ptr<ImageCache> cache);
    static PictorOptionsInfoItem downloader(std::shared_ptr<ImageDownloader> downloader);
    static PictorOptionsInfoItem transition(ImageTransition transition);
    static PictorOptionsInfoItem downloadPriority(float priority);
    static PictorOptionsInfoItem callbackQueue(CallbackQueue queue);
    static PictorOptionsInfoItem scaleFactor(double scale);
    static PictorOptionsInfoItem requestModifier(std::shared_ptr<const AsyncImageDownloadRequestModifier> modifier);
    static PictorOptionsInfoItem redirectHandler(std::shared_ptr<const ImageDownloadRedirectHandler> handler);
    static PictorOptionsInfoItem processor(std::shared_ptr<const ImageProcessor> processor);
    static PictorOptionsInfoItem cacheSerializer(std::shared_ptr<const CacheSerializer> serializer);
    static PictorOptionsInfoItem imageModifier(std::shared_ptr<const ImageModifier> modifier);
    static PictorOptionsInfoItem onFailureImage(std::optional<Image> image);
    static PictorOptionsInfoItem diskStoreWriteOptions(DataWritingOptions options);
    static PictorOptionsInfoItem memoryCacheExpiration(StorageExpiration expiration);
    static PictorOptionsInfoItem memoryCacheAccessExtendingExpiration(ExpirationExtending extending);
    static PictorOptionsInfoItem diskCacheExpiration(StorageExpiration expiration);
    static PictorOptionsInfoItem diskCacheAccessExtendingExpiration(ExpirationExtending extending);
    static PictorOptionsInfoItem processingQueue(CallbackQueue queue);
    static PictorOptionsInfoItem progressiveJPEG(std::shared_ptr<const ImageProgressive> progressive);
    static PictorOptionsInfoItem alternativeSources(QList<std::shared_ptr<const Source>> sources);
    static PictorOptionsInfoItem retryStrategy(std::shared_ptr<const RetryStrategy> strategy);
    static PictorOptionsInfoItem lowDataMode(std::shared_ptr<const Source> source);
    static PictorOptionsInfoItem forcedCacheFileExtension(std::optional<QString> extension);
    static PictorOptionsInfoItem forceRefresh();
    static PictorOptionsInfoItem fromMemoryCacheOrRefresh();
    static PictorOptionsInfoItem forceTransition();
    static PictorOptionsInfoItem cacheMemoryOnly();
    static PictorOptionsInfoItem waitForCache();
    static PictorOptionsInfoItem onlyFromCache();
    static PictorOptionsInfoItem backgroundDecode();
    static PictorOptionsInfoItem preloadAllAnimationData();
    static PictorOptionsInfoItem keepCurrentImageWhileLoading();
    static PictorOptionsInfoItem onlyLoadFirstFrame();
    static PictorOptionsInfoItem cacheOriginalImage();
    static PictorOptionsInfoItem alsoPrefetchToMemory();
    static PictorOptionsInfoItem loadDiskFileSynchronously();

    Kind kind() const { return kind_; }
    void applyTo(PictorParsedOptionsInfo& options) const { apply_(options); }

private:
    using Apply = std::function<void(PictorParsedOptionsInfo&)>;
    PictorOptionsInfoItem(Kind kind, Apply apply) : kind_(kind), apply_(std::move(apply)) {}

    template <typename Field, typename Value>
    static PictorOptionsInfoItem setting(Kind kind, Field PictorParsedOptionsInfo::*field, Value value);

    Kind kind_;
    Apply apply_;
};

} // namespace pictor
