#include "pictor/retrieval/LivePhotoResourceFetcher.h"

#include "pictor/processing/ImageProcessor.h"

namespace pictor {

std::shared_ptr<LivePhotoResourceFetcher> LivePhotoResourceFetcher::start(QList<LivePhotoResource> resources, PictorParsedOptionsInfo options,
                                                                          std::shared_ptr<ImageDownloader> downloader,
                                                                          std::shared_ptr<ImageCache> cache, Completion completion)
{
    std::shared_ptr<LivePhotoResourceFetcher> fetcher(
        new LivePhotoResourceFetcher(std::move(resources), std::move(options), std::move(downloader), std::move(cache), std::move(completion)));
    if (fetcher->resources_.isEmpty()) {
        fetcher->completion_(Result<QList<LivePhotoResourceDownloadingResult>, PictorError>::success({}));
        return fetcher;
    }
    for (qsizetype index = 0; index < fetcher->resources_.size(); ++index)
        fetcher->fetch(index);
    return fetcher;
}

LivePhotoResourceFetcher::LivePhotoResourceFetcher(QList<LivePhotoResource> resources, PictorParsedOptionsInfo options,
                                                   std::shared_ptr<ImageDownloader> downloader, std::shared_ptr<ImageCache> cache,
                                                   Completion completion)
    : resources_(std::move(resources)), options_(std::move(options)), downloader_(std::move(downloader)), cache_(std::move(cache)),
      completion_(std::move(completion)), results_(resources_.size()), tasks_(resources_.size()), remaining_(resources_.size())
{
}

void LivePhotoResourceFetcher::fetch(qsizetype index)
{
    const Source& source = resources_[index].dataSource();
    if (source.isNetwork()) {
        std::shared_ptr<DownloadTask> task = downloader_->downloadLivePhotoResource(
            source.resource()->downloadURL(), options_, [self = shared_from_this(), index](ImageDownloader::LivePhotoResult result) {
                if (result.isFailure())
                    return self->finished(index, Fetched::failure(result.error()));
                self->store(index, result.value());
            });
        bool cancelled = false;
        {
            std::lock_guard lock(mutex_);
            tasks_[index] = task;
            cancelled = error_.has_value();
        }
        // A sibling failed while this download was being started.
        if (cancelled)
            task->cancel();
        return;
    }
    const std::shared_ptr<const ImageDataProvider> provider = source.dataProvider();
    provider->data([self = shared_from_this(), index, provider](ImageDataProvider::DataResult data) {
        if (data.isFailure())
            return self->finished(index, Fetched::failure(PictorError::dataProviderError(provider->description(), data.error().description())));
        self->store(index, {provider->contentURL().value_or(QUrl()), data.value()});
    });
}

void LivePhotoResourceFetcher::store(qsizetype index, LivePhotoResourceDownloadingResult result)
{
    const LivePhotoResource& resource = resources_[index];
    const std::optional<QString> extension = resource.referenceFileType().determinedFileExtension(result.originalData);
    cache_->storeToDisk(result.originalData, resource.dataSource().cacheKey(), options_.processor->identifier(), extension,
                        options_.diskCacheExpiration, CallbackQueue::untouch(),
                        [self = shared_from_this(), index, result](CacheStoreResult stored) {
                            if (stored.diskCacheResult.isFailure())
                                return self->finished(index, Fetched::failure(stored.diskCacheResult.error()));
                            self->finished(index, Fetched::success(result));
                        });
}

void LivePhotoResourceFetcher::finished(qsizetype index, Fetched result)
{
    QList<std::shared_ptr<DownloadTask>> toCancel;
    bool last = false;
    {
        std::lock_guard lock(mutex_);
        tasks_[index].reset();
        if (result.isSuccess()) {
            results_[index] = result.value();
        } else if (!error_) {
            error_ = result.error();
            toCancel = tasks_;
        }
        last = --remaining_ == 0;
    }
    for (const std::shared_ptr<DownloadTask>& task : toCancel) {
        if (task)
            task->cancel();
    }
    if (!last)
        return;
    if (error_)
        return completion_(Result<QList<LivePhotoResourceDownloadingResult>, PictorError>::failure(*error_));
    QList<LivePhotoResourceDownloadingResult> ordered;
    for (const std::optional<LivePhotoResourceDownloadingResult>& fetched : results_)
        ordered.append(*fetched);
    completion_(Result<QList<LivePhotoResourceDownloadingResult>, PictorError>::success(ordered));
}

void LivePhotoResourceFetcher::cancel()
{
    QList<std::shared_ptr<DownloadTask>> running;
    {
        std::lock_guard lock(mutex_);
        running = tasks_;
    }
    for (const std::shared_ptr<DownloadTask>& task : running) {
        if (task)
            task->cancel();
    }
}

} // namespace pictor
