#include "pictor/retrieval/ImagePrefetcher.h"

#include "pictor/processing/ImageProcessor.h"
#include "pictor/retrieval/ImageResource.h"

namespace pictor {

namespace {

// Retrievals of every prefetcher are started one at a time.
std::mutex& requestingLock()
{
    static std::mutex lock;
    return lock;
}

QList<Source> sourcesOf(const ImagePrefetcher::ResourceList& resources)
{
    QList<Source> sources;
    for (const std::shared_ptr<const Resource>& resource : resources)
        sources.append(resource->convertToSource());
    return sources;
}

// The network sources' resources, in order.
ImagePrefetcher::ResourceList resourcesOf(const QList<Source>& sources)
{
    ImagePrefetcher::ResourceList resources;
    for (const Source& source : sources) {
        if (source.isNetwork())
            resources.append(source.resource());
    }
    return resources;
}

} // namespace

std::shared_ptr<ImagePrefetcher> ImagePrefetcher::create(const QList<QUrl>& urls, const OptionList& options, ResourceBlock progressBlock,
                                                         ResourceBlock completionHandler)
{
    ResourceList resources;
    for (const QUrl& url : urls)
        resources.append(std::make_shared<ImageResource>(url));
    return create(resources, options, std::move(progressBlock), std::move(completionHandler));
}

std::shared_ptr<ImagePrefetcher> ImagePrefetcher::create(const ResourceList& resources, const OptionList& options, ResourceBlock progressBlock,
                                                         ResourceBlock completionHandler)
{
    std::shared_ptr<ImagePrefetcher> prefetcher(new ImagePrefetcher(sourcesOf(resources), options));
    prefetcher->progressBlock_ = std::move(progressBlock);
    prefetcher->completionHandler_ = std::move(completionHandler);
    return prefetcher;
}

std::shared_ptr<ImagePrefetcher> ImagePrefetcher::create(QList<Source> sources, const OptionList& options, SourceBlock progressBlock,
                                                         SourceBlock completionHandler)
{
    std::shared_ptr<ImagePrefetcher> prefetcher(new ImagePrefetcher(std::move(sources), options));
    prefetcher->progressSourceBlock_ = std::move(progressBlock);
    prefetcher->completionSourceHandler_ = std::move(completionHandler);
    return prefetcher;
}

ImagePrefetcher::ImagePrefetcher(QList<Source> sources, const OptionList& options)
    : sources_(std::move(sources)), prefetchQueue_(DispatchQueue::create(QStringLiteral("com.quillmoth.Pictor.ImagePrefetcher.prefetchQueue"))),
      options_(options)
{
    // Every completion of the manager arrives on the prefetch queue.
    options_.callbackQueue = CallbackQueue::dispatch(prefetchQueue_);
    manager_ = PictorManager::create(options_.downloader ? options_.downloader : ImageDownloader::defaultDownloader(),
                                     options_.targetCache ? options_.targetCache : ImageCache::defaultCache());
    for (qsizetype index = 0; index < sources_.size(); ++index)
        pending_.append(index);
}

int ImagePrefetcher::maxConcurrentDownloads() const
{
    std::lock_guard lock(mutex_);
    return maxConcurrentDownloads_;
}

void ImagePrefetcher::setMaxConcurrentDownloads(int count)
{
    std::lock_guard lock(mutex_);
    maxConcurrentDownloads_ = count;
}

bool ImagePrefetcher::finished() const
{
    std::lock_guard lock(mutex_);
    return finishedLocked();
}

bool ImagePrefetcher::finishedLocked() const
{
    return skipped_.size() + failed_.size() + completed_.size() == sources_.size() && inFlight_.isEmpty();
}

QString ImagePrefetcher::description() const
{
    return QStringLiteral("0x") + QString::number(quintptr(this), 16);
}

void ImagePrefetcher::start()
{
    prefetchQueue_->async([self = shared_from_this()] { self->startStep(); });
}

void ImagePrefetcher::stop()
{
    prefetchQueue_->async([self = shared_from_this()] { self->stopStep(); });
}

void ImagePrefetcher::startStep()
{
    QList<qsizetype> first;
    {
        std::lock_guard lock(mutex_);
        if (!stopped_ && maxConcurrentDownloads_ >= 1) {
            const qsizetype count = std::min<qsizetype>(maxConcurrentDownloads_, pending_.size());
            first = pending_.mid(0, count);
            pending_.remove(0, count);
        }
    }
    if (first.isEmpty())
        return reportCompletion();
    for (const qsizetype index : first)
        startPrefetching(index);
}

void ImagePrefetcher::stopStep()
{
    QList<std::shared_ptr<DownloadTask>> running;
    {
        std::lock_guard lock(mutex_);
        if (stopped_ || finishedLocked())
            return;
        stopped_ = true;
        for (const std::shared_ptr<DownloadTask>& task : std::as_const(inFlight_)) {
            if (task)
                running.append(task);
        }
    }
    // The cancelled downloads come back as failures; the last one ends the prefetch.
    for (const std::shared_ptr<DownloadTask>& task : running)
        task->cancel();
    completeIfStoppedAndIdle();
}

void ImagePrefetcher::startPrefetching(qsizetype index)
{
    const Source& source = sources_[index];
    if (options_.forceRefresh)
        return downloadAndCache(index);
    const CacheType cached = manager_->cache()->imageCachedType(source.cacheKey(), options_.processor->identifier());
    if (cached == CacheType::none)
        return downloadAndCache(index);
    if (cached == CacheType::memory || !options_.alsoPrefetchToMemory) {
        {
            std::lock_guard lock(mutex_);
            skipped_.append(index);
        }
        reportProgress();
        return reportCompletionOrStartNext();
    }
    {
        std::lock_guard lock(mutex_);
        inFlight_.insert(index, nullptr);
    }
    auto context = std::make_shared<RetrievingContext>(options_, source);
    const bool reading = manager_->retrieveFromCache(source, context, [self = shared_from_this(), index](PictorManager::RetrieveResult) {
        {
            std::lock_guard lock(self->mutex_);
            self->inFlight_.remove(index);
            self->skipped_.append(index);
        }
        self->reportProgress();
        self->reportCompletionOrStartNext();
    });
    // The file went away since the lookup: load it like any other miss.
    if (!reading) {
        {
            std::lock_guard lock(mutex_);
            inFlight_.remove(index);
        }
        downloadAndCache(index);
    }
}

void ImagePrefetcher::downloadAndCache(qsizetype index)
{
    {
        std::lock_guard lock(mutex_);
        inFlight_.insert(index, nullptr);
    }
    auto context = std::make_shared<RetrievingContext>(options_, sources_[index]);
    std::shared_ptr<DownloadTask> task;
    {
        std::lock_guard requesting(requestingLock());
        task = manager_->downloadAndCacheImage(sources_[index], context, [self = shared_from_this(), index](PictorManager::RetrieveResult result) {
            self->downloaded(index, result.isSuccess());
        });
    }
    std::lock_guard lock(mutex_);
    if (inFlight_.contains(index))
        inFlight_.insert(index, task);
}

void ImagePrefetcher::downloaded(qsizetype index, bool succeeded)
{
    bool stopped = false;
    {
        std::lock_guard lock(mutex_);
        inFlight_.remove(index);
        (succeeded ? completed_ : failed_).append(index);
        stopped = stopped_;
    }
    reportProgress();
    if (stopped)
        return completeIfStoppedAndIdle();
    reportCompletionOrStartNext();
}

void ImagePrefetcher::reportCompletionOrStartNext()
{
    std::optional<qsizetype> next;
    bool all = false;
    {
        std::lock_guard lock(mutex_);
        if (stopped_ && inFlight_.isEmpty()) {
            // Sources that were never started are counted as failed, once.
            failed_.append(pending_);
            pending_.clear();
        } else if (!stopped_ && !pending_.isEmpty()) {
            next = pending_.takeFirst();
        }
        all = skipped_.size() + failed_.size() + completed_.size() == sources_.size();
    }
    if (next)
        return prefetchQueue_->async([self = shared_from_this(), index = *next] { self->startPrefetching(index); });
    if (all)
        reportCompletion();
}

void ImagePrefetcher::completeIfStoppedAndIdle()
{
    {
        std::lock_guard lock(mutex_);
        if (!inFlight_.isEmpty())
            return;
        failed_.append(pending_);
        pending_.clear();
    }
    reportCompletion();
}

ImagePrefetcher::Counts ImagePrefetcher::countsLocked() const
{
    const auto of = [this](const QList<qsizetype>& indices) {
        QList<Source> sources;
        for (const qsizetype index : indices)
            sources.append(sources_[index]);
        return sources;
    };
    return {of(skipped_), of(failed_), of(completed_)};
}

void ImagePrefetcher::reportProgress()
{
    if (!progressBlock_ && !progressSourceBlock_)
        return;
    Counts counts;
    {
        std::lock_guard lock(mutex_);
        counts = countsLocked();
    }
    CallbackQueue::runMainCurrentOrAsync([self = shared_from_this(), counts] {
        if (self->progressSourceBlock_)
            self->progressSourceBlock_(counts.skipped, counts.failed, counts.completed);
        if (self->progressBlock_)
            self->progressBlock_(resourcesOf(counts.skipped), resourcesOf(counts.failed), resourcesOf(counts.completed));
    });
}

void ImagePrefetcher::reportCompletion()
{
    Counts counts;
    {
        std::lock_guard lock(mutex_);
        if (reported_ || (!completionHandler_ && !completionSourceHandler_))
            return;
        reported_ = true;
        counts = countsLocked();
    }
    CallbackQueue::runMainCurrentOrAsync([self = shared_from_this(), counts] {
        if (self->completionSourceHandler_)
            self->completionSourceHandler_(counts.skipped, counts.failed, counts.completed);
        if (self->completionHandler_)
            self->completionHandler_(resourcesOf(counts.skipped), resourcesOf(counts.failed), resourcesOf(counts.completed));
    });
}

} // namespace pictor
