#pragma once

#include "pictor/core/DispatchQueue.h"
#include "pictor/networking/DownloadTask.h"
#include "pictor/cache/ImageCache.h"
#include "pictor/networking/ImageDownloader.h"
#include "pictor/networking/ImageLoadingResult.h"
#include "pictor/retrieval/LivePhotoLoadingInfoResult.h"
#include "pictor/retrieval/LivePhotoSource.h"
#include "pictor/core/PictorError.h"
#include "pictor/retrieval/PictorOptionsInfoItem.h"
#include "pictor/retrieval/PictorParsedOptionsInfo.h"
#include "pictor/core/Result.h"
#include "pictor/retrieval/RetrieveImageResult.h"
#include "pictor/retrieval/RetrievingContext.h"
#include "pictor/retrieval/Source.h"

#include <QCoro/QCoroTask>
#include <QList>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>

namespace pictor {

class RetryContext;

// Turns a source into an image: looks in the cache (the processed image, then its original),
// else downloads it or asks its data provider, processes and stores it, and reports one result.
// A failure goes to the retry strategy, then to the low-data source (constrained network only),
// then to the alternative sources in turn. Every public retrieval calls its completion exactly
// once, on the options' callback queue. Methods may be called from any thread.
class PictorManager : public std::enable_shared_from_this<PictorManager> {
public:
    using RetrieveResult = Result<RetrieveImageResult, PictorError>;
    using Completion = std::function<void(RetrieveResult)>;
    using ProgressBlock = std::function<void(qint64 received, qint64 expected)>;
    // Told of the download of every attempt after the first (a retry, the low-data source, an
    // alternative); null when that attempt started no download.
    using DownloadTaskUpdated = std::function<void(std::shared_ptr<DownloadTask>)>;
    using OptionList = std::optional<QList<PictorOptionsInfoItem>>;
    // Shows an intermediate image of a progressive download; nothing clears the current one.
    using ProgressiveImageSetter = std::function<void(std::optional<Image>)>;
    // Whether the caller still wants the data-received effects (progress, progressive images).
    using ReferenceTaskChecker = std::function<bool()>;

    // The process-wide manager, over the default downloader and the default cache.
    static const std::shared_ptr<PictorManager>& shared();
    static std::shared_ptr<PictorManager> create(std::shared_ptr<ImageDownloader> downloader, std::shared_ptr<ImageCache> cache);
    PictorManager(const PictorManager&) = delete;
    PictorManager& operator=(const PictorManager&) = delete;

    std::shared_ptr<ImageCache> cache() const;
    void setCache(std::shared_ptr<ImageCache> cache);
    std::shared_ptr<ImageDownloader> downloader() const;
    void setDownloader(std::shared_ptr<ImageDownloader> downloader);
    // Applied before the caller's items of every retrieval.
    QList<PictorOptionsInfoItem> defaultOptions() const;
    void setDefaultOptions(QList<PictorOptionsInfoItem> options);
    // The manager's downloader and cache as items, then the default options.
    QList<PictorOptionsInfoItem> effectiveDefaultOptions() const;
    // The effective default options followed by the caller's items, parsed once.
    PictorParsedOptionsInfo parsedOptions(const OptionList& options) const;

    // Returns the download of the first attempt, or null when it started none (a cache hit, a
    // data provider, a download that failed at once).
    std::shared_ptr<DownloadTask> retrieveImage(const Resource& resource, const OptionList& options = std::nullopt,
                                                ProgressBlock progressBlock = {}, DownloadTaskUpdated downloadTaskUpdated = {},
                                                Completion completion = {});
    std::shared_ptr<DownloadTask> retrieveImage(const Source& source, const OptionList& options = std::nullopt,
                                                ProgressBlock progressBlock = {}, DownloadTaskUpdated downloadTaskUpdated = {},
                                                Completion completion = {});
    // The same for callers that parsed their options and made the context themselves (the
    // source is the context's original source).
    std::shared_ptr<DownloadTask> retrieveImage(std::shared_ptr<RetrievingContext> context, DownloadTaskUpdated downloadTaskUpdated,
                                                Completion completion);

    // Awaited forms: return the result or throw the PictorError. Stopping the token cancels the
    // running download (the retrieval then fails with its cancellation); a cache read finishes
    // normally. A token stopped before the call throws std::system_error(operation_canceled).
    QCoro::Task<RetrieveImageResult> retrieveImageAsync(Source source, OptionList options = std::nullopt,
                                                        ProgressBlock progressBlock = {}, std::stop_token stop = {});
    QCoro::Task<RetrieveImageResult> retrieveImageAsync(Source source, PictorParsedOptionsInfo options,
                                                        ProgressiveImageSetter progressiveImageSetter,
                                                        ReferenceTaskChecker referenceTaskChecker, std::stop_token stop = {});

    // Finds the files of a live photo in the disk cache and fetches the missing ones (every one
    // with forceRefresh), storing their bytes as they are under the live-photo processor's
    // identifier; nothing is decoded or kept in memory. Throws the first fetch or store failure,
    // or missingLivePhotoResourceOnDisk; a stopped token cancels the downloads and throws
    // std::system_error(operation_canceled). The progress block is not used.
    QCoro::Task<LivePhotoLoadingInfoResult> retrieveLivePhoto(LivePhotoSource source, OptionList options = std::nullopt,
                                                              ProgressBlock progressBlock = {}, ReferenceTaskChecker referenceTaskChecker = {},
                                                              std::stop_token stop = {});
    // The cached file of a live-photo resource, looked up under the extension its type gives (for
    // an unknown type: heic, mov, then none).
    static std::optional<QUrl> livePhotoResourceFileURL(const LivePhotoResource& resource, const PictorParsedOptionsInfo& options,
                                                        ImageCache& cache);

    // One attempt, without retries or other sources; the completion runs once.
    std::shared_ptr<DownloadTask> retrieveImageWithContext(const Source& source, const std::shared_ptr<RetrievingContext>& context,
                                                           Completion completion);
    // Starts reading the cached image and answers true (the completion will run once), or
    // answers false when nothing usable is cached.
    bool retrieveFromCache(const Source& source, const std::shared_ptr<RetrievingContext>& context, Completion completion);
    // Loads, processes and stores; the completion runs once. Returns the started download, null
    // for a data provider or a download that did not start.
    std::shared_ptr<DownloadTask> downloadAndCacheImage(const Source& source, const std::shared_ptr<RetrievingContext>& context,
                                                        Completion completion);
    // Stores a loaded image (and its original when asked) and completes as the options say.
    void cacheRetrievedImage(const Source& source, const PictorParsedOptionsInfo& options,
                             const std::shared_ptr<RetrievingContext>& context, Result<ImageLoadingResult, PictorError> result,
                             Completion completion);

private:
    PictorManager(std::shared_ptr<ImageDownloader> downloader, std::shared_ptr<ImageCache> cache);

    struct Retrieval;
    std::shared_ptr<DownloadTask> startAttempt(const std::shared_ptr<Retrieval>& retrieval, const Source& source);
    void handleRetrievalResult(const std::shared_ptr<Retrieval>& retrieval, const Source& current, RetrieveResult result);
    void fallBack(const std::shared_ptr<Retrieval>& retrieval, const Source& current, const PictorError& error);
    void restart(const std::shared_ptr<Retrieval>& retrieval, const Source& source);
    std::shared_ptr<ImageCache> targetCache(const PictorParsedOptionsInfo& options) const;
    CallbackQueue processingQueue(const PictorParsedOptionsInfo& options) const;
    void deliverCacheHit(const Source& source, const std::shared_ptr<RetrievingContext>& context,
                         const PictorParsedOptionsInfo& options, Result<ImageCacheResult, PictorError> result, Completion completion);
    void processOriginal(const Source& source, const std::shared_ptr<RetrievingContext>& context,
                         const PictorParsedOptionsInfo& options, Result<ImageCacheResult, PictorError> result, Completion completion);
    void loadFromProvider(const Source& source, const std::shared_ptr<RetrievingContext>& context,
                          const PictorParsedOptionsInfo& options, Completion completion);

    mutable std::mutex mutex_;
    std::shared_ptr<ImageCache> cache_;
    std::shared_ptr<ImageDownloader> downloader_;
    QList<PictorOptionsInfoItem> defaultOptions_;
    const CallbackQueue processingQueue_;
};

} // namespace pictor
