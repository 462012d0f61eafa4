#include "pictor/retrieval/PictorManager.h"

#include "pictor/retrieval/CacheCallbackCoordinator.h"
#include "pictor/processing/DefaultImageProcessor.h"
#include "pictor/networking/ImageLoadingProgressSideEffect.h"
#include "pictor/retrieval/ImageModifier.h"
#include "pictor/processing/ImageProcessor.h"
#include "pictor/processing/ImageProgressive.h"
#include "pictor/processing/ImageProgressiveProvider.h"
#include "pictor/processing/LivePhotoImageProcessor.h"
#include "pictor/retrieval/LivePhotoResourceFetcher.h"
#include "pictor/retrieval/RetryContext.h"
#include "pictor/retrieval/RetryStrategy.h"

#include <QCoro/QCoroFuture>
#include <QFutureInterface>
#include <QUuid>

#include <atomic>
#include <system_error>

namespace pictor {

namespace {

void appendSideEffect(PictorParsedOptionsInfo& options, std::shared_ptr<DataReceivingSideEffect> effect)
{
    if (!options.onDataReceived)
        options.onDataReceived.emplace();
    options.onDataReceived->append(std::move(effect));
}

// Shows an intermediate image as the progressive options' delegate answers: as it is by default,
// not at all to keep the current image, or its replacement.
void showProgressiveImage(const Image& image, const std::shared_ptr<const ImageProgressive>& progressive,
                          const PictorManager::ProgressiveImageSetter& setter)
{
    if (!setter)
        return;
    const std::optional<ImageProgressive::UpdatingStrategy> answer
        = progressive ? progressive->onImageUpdated->call(image) : std::nullopt;
    if (!answer || answer->kind == ImageProgressive::UpdatingStrategy::Kind::useDefault)
        return setter(image);
    if (answer->kind == ImageProgressive::UpdatingStrategy::Kind::replace)
        setter(answer->image);
}

void appendProgressiveProvider(PictorParsedOptionsInfo& options, PictorManager::ProgressiveImageSetter setter)
{
    std::shared_ptr<ImageProgressiveProvider> provider = ImageProgressiveProvider::create(
        options, [progressive = options.progressiveJPEG, setter = std::move(setter)](const Image& image) {
            showProgressiveImage(image, progressive, setter);
        });
    if (provider)
        appendSideEffect(options, std::move(provider));
}

// An animated image decoded with other settings than this request's is decoded again.
bool decodedOtherwise(const Image& image, const PictorParsedOptionsInfo& options)
{
    const std::optional<int> frames = image.imageFrameCount();
    const ImageCreatingOptions wanted{options.scaleFactor, 0.0, options.preloadAllAnimationData, options.onlyLoadFirstFrame};
    return frames && *frames != 1 && image.creatingOptions() != wanted && image.animatedSourceData();
}

Image modified(const Image& image, const PictorParsedOptionsInfo& options)
{
    return options.imageModifier ? options.imageModifier->modify(image) : image;
}

} // namespace

// One public retrieval: its first source, its context, and its single completion.
struct PictorManager::Retrieval {
    explicit Retrieval(std::shared_ptr<RetrievingContext> shared) : source(shared->originalSource()), context(std::move(shared)) {}

    const Source source;
    std::shared_ptr<RetrievingContext> context;
    std::shared_ptr<const RetryStrategy> retryStrategy;
    // Made at the first consultation of the strategy; attempts run one after another.
    std::shared_ptr<RetryContext> retryContext;
    DownloadTaskUpdated downloadTaskUpdated;
    CallbackQueue callbackQueue = CallbackQueue::untouch();
    Completion completion;
    std::atomic_bool finished = false;

    void finish(RetrieveResult result)
    {
        if (finished.exchange(true) || !completion)
            return;
        callbackQueue.deliver([completion = completion, result = std::move(result)] { completion(result); });
    }
};

const std::shared_ptr<PictorManager>& PictorManager::shared()
{
    static const std::shared_ptr<PictorManager> manager = create(ImageDownloader::defaultDownloader(), ImageCache::defaultCache());
    return manager;
}

std::shared_ptr<PictorManager> PictorManager::create(std::shared_ptr<ImageDownloader> downloader, std::shared_ptr<ImageCache> cache)
{
    return std::shared_ptr<PictorManager>(new PictorManager(std::move(downloader), std::move(cache)));
}

PictorManager::PictorManager(std::shared_ptr<ImageDownloader> downloader, std::shared_ptr<ImageCache> cache)
    : cache_(std::move(cache)), downloader_(std::move(downloader)),
      processingQueue_(CallbackQueue::dispatch(DispatchQueue::create(
          QStringLiteral("com.quillmoth.Pictor.PictorManager.processQueue.") + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper())))
{
}

std::shared_ptr<ImageCache> PictorManager::cache() const
{
    std::lock_guard lock(mutex_);
    return cache_;
}

void PictorManager::setCache(std::shared_ptr<ImageCache> cache)
{
    std::lock_guard lock(mutex_);
    cache_ = std::move(cache);
}

std::shared_ptr<ImageDownloader> PictorManager::downloader() const
{
    std::lock_guard lock(mutex_);
    return downloader_;
}

void PictorManager::setDownloader(std::shared_ptr<ImageDownloader> downloader)
{
    std::lock_guard lock(mutex_);
    downloader_ = std::move(downloader);
}

QList<PictorOptionsInfoItem> PictorManager::defaultOptions() const
{
    std::lock_guard lock(mutex_);
    return defaultOptions_;
}

void PictorManager::setDefaultOptions(QList<PictorOptionsInfoItem> options)
{
    std::lock_guard lock(mutex_);
    defaultOptions_ = std::move(options);
}

QList<PictorOptionsInfoItem> PictorManager::effectiveDefaultOptions() const
{
    std::lock_guard lock(mutex_);
    QList<PictorOptionsInfoItem> items{PictorOptionsInfoItem::downloader(downloader_), PictorOptionsInfoItem::targetCache(cache_)};
    items.append(defaultOptions_);
    return items;
}

PictorParsedOptionsInfo PictorManager::parsedOptions(const OptionList& options) const
{
    QList<PictorOptionsInfoItem> items = effectiveDefaultOptions();
    if (options)
        items.append(*options);
    return PictorParsedOptionsInfo(items);
}

std::shared_ptr<DownloadTask> PictorManager::retrieveImage(const Resource& resource, const OptionList& options, ProgressBlock progressBlock,
                                                           DownloadTaskUpdated downloadTaskUpdated, Completion completion)
{
    return retrieveImage(resource.convertToSource(), options, std::move(progressBlock), std::move(downloadTaskUpdated),
                         std::move(completion));
}

std::shared_ptr<DownloadTask> PictorManager::retrieveImage(const Source& source, const OptionList& options, ProgressBlock progressBlock,
                                                           DownloadTaskUpdated downloadTaskUpdated, Completion completion)
{
    PictorParsedOptionsInfo parsed = parsedOptions(options);
    if (progressBlock)
        appendSideEffect(parsed, std::make_shared<ImageLoadingProgressSideEffect>(std::move(progressBlock)));
    // These entries have no image to show partial images in; the provider only keeps the
    // progressive decoding the options ask for.
    appendProgressiveProvider(parsed, nullptr);
    auto context = std::make_shared<RetrievingContext>(std::move(parsed), source);
    return retrieveImage(std::move(context), std::move(downloadTaskUpdated), std::move(completion));
}

std::shared_ptr<DownloadTask> PictorManager::retrieveImage(std::shared_ptr<RetrievingContext> context,
                                                           DownloadTaskUpdated downloadTaskUpdated, Completion completion)
{
    const PictorParsedOptionsInfo options = context->options();
    auto retrieval = std::make_shared<Retrieval>(std::move(context));
    retrieval->retryStrategy = options.retryStrategy;
    retrieval->downloadTaskUpdated = std::move(downloadTaskUpdated);
    retrieval->callbackQueue = options.callbackQueue;
    retrieval->completion = std::move(completion);
    return startAttempt(retrieval, retrieval->source);
}

std::shared_ptr<DownloadTask> PictorManager::startAttempt(const std::shared_ptr<Retrieval>& retrieval, const Source& source)
{
    return retrieveImageWithContext(source, retrieval->context, [self = shared_from_this(), retrieval, source](RetrieveResult result) {
        self->handleRetrievalResult(retrieval, source, std::move(result));
    });
}

void PictorManager::handleRetrievalResult(const std::shared_ptr<Retrieval>& retrieval, const Source& current, RetrieveResult result)
{
    if (result.isSuccess())
        return retrieval->finish(std::move(result));
    const PictorError error = result.error();
    // A cancelled retrieval was withdrawn by its caller: another attempt would be unwanted.
    if (!retrieval->retryStrategy || error.isTaskCancelled())
        return fallBack(retrieval, current, error);
    if (!retrieval->retryContext)
        retrieval->retryContext = std::make_shared<RetryContext>(std::make_shared<const Source>(retrieval->source), error);
    else
        retrieval->retryContext->setRetriedCount(retrieval->retryContext->retriedCount() + 1);
    retrieval->retryStrategy->retry(retrieval->retryContext, [self = shared_from_this(), retrieval, current, error](RetryDecision decision) {
        if (decision.kind == RetryDecision::Kind::stop)
            return self->fallBack(retrieval, current, error);
        retrieval->retryContext->setUserInfo(std::move(decision.userInfo));
        self->restart(retrieval, retrieval->source);
    });
}

void PictorManager::fallBack(const std::shared_ptr<Retrieval>& retrieval, const Source& current, const PictorError& error)
{
    if (error.isTaskCancelled())
        return retrieval->finish(RetrieveResult::failure(error));
    RetrievingContext& context = *retrieval->context;
    if (error.isConstrainedNetworkError()) {
        const std::optional<Source> lowData = context.takeLowDataModeSource();
        if (!lowData)
            return retrieval->finish(RetrieveResult::failure(error));
        return restart(retrieval, *lowData);
    }
    if (const std::optional<Source> alternative = context.nextAlternativeSource()) {
        context.recordError(error, current);
        return restart(retrieval, *alternative);
    }
    if (context.propagationErrors().isEmpty())
        return retrieval->finish(RetrieveResult::failure(error));
    context.recordError(error, current);
    QStringList tried;
    for (const PropagationError& failed : context.propagationErrors())
        tried << QStringLiteral("%1: %2").arg(failed.source.description(), QString::fromUtf8(failed.error.what()));
    retrieval->finish(RetrieveResult::failure(
        PictorError::alternativeSourcesExhausted(tried.join(QStringLiteral("; "))).withPayload(context.propagationErrors())));
}

void PictorManager::restart(const std::shared_ptr<Retrieval>& retrieval, const Source& source)
{
    std::shared_ptr<DownloadTask> task = startAttempt(retrieval, source);
    if (retrieval->downloadTaskUpdated)
        retrieval->downloadTaskUpdated(std::move(task));
}

std::shared_ptr<DownloadTask> PictorManager::retrieveImageWithContext(const Source& source, const std::shared_ptr<RetrievingContext>& context,
                                                                      Completion completion)
{
    const PictorParsedOptionsInfo options = context->options();
    if (options.forceRefresh)
        return downloadAndCacheImage(source, context, std::move(completion));
    if (retrieveFromCache(source, context, completion))
        return nullptr;
    if (options.onlyFromCache) {
        if (completion)
            completion(RetrieveResult::failure(PictorError::imageNotExisting(source.cacheKey())));
        return nullptr;
    }
    return downloadAndCacheImage(source, context, std::move(completion));
}

std::shared_ptr<ImageCache> PictorManager::targetCache(const PictorParsedOptionsInfo& options) const
{
    return options.targetCache ? options.targetCache : cache();
}

CallbackQueue PictorManager::processingQueue(const PictorParsedOptionsInfo& options) const
{
    return options.processingQueue.value_or(processingQueue_);
}

bool PictorManager::retrieveFromCache(const Source& source, const std::shared_ptr<RetrievingContext>& context, Completion completion)
{
    const PictorParsedOptionsInfo options = context->options();
    const std::shared_ptr<ImageCache> target = targetCache(options);
    const std::shared_ptr<ImageCache> original = options.originalCache ? options.originalCache : target;
    const QString key = source.cacheKey();
    const QString identifier = options.processor->identifier();

    const CacheType cached = target->imageCachedType(key, identifier);
    if (cached != CacheType::none && (!options.fromMemoryCacheOrRefresh || cached == CacheType::memory)) {
        target->retrieveImage(key, options, CallbackQueue::mainCurrentOrAsync(),
                              [self = shared_from_this(), source, context, options, completion](Result<ImageCacheResult, PictorError> result) {
                                  self->deliverCacheHit(source, context, options, std::move(result), completion);
                              });
        return true;
    }
    // With the default processor the target cache already answered for the original.
    if (original == target && identifier.isEmpty())
        return false;
    const CacheType originalCached = original->imageCachedType(key);
    const bool present = options.fromMemoryCacheOrRefresh ? originalCached == CacheType::memory : originalCached != CacheType::none;
    if (!present)
        return false;
    PictorParsedOptionsInfo unprocessed = options;
    unprocessed.processor = DefaultImageProcessor::shared();
    original->retrieveImage(key, unprocessed, CallbackQueue::mainCurrentOrAsync(),
                            [self = shared_from_this(), source, context, options, completion](Result<ImageCacheResult, PictorError> result) {
                                self->processOriginal(source, context, options, std::move(result), completion);
                            });
    return true;
}

void PictorManager::deliverCacheHit(const Source& source, const std::shared_ptr<RetrievingContext>& context,
                                    const PictorParsedOptionsInfo& options, Result<ImageCacheResult, PictorError> result, Completion completion)
{
    const CallbackQueue& callbackQueue = options.callbackQueue;
    const auto fail = [&](PictorError error) {
        callbackQueue.execute([completion, error] {
            if (completion)
                completion(RetrieveResult::failure(error));
        });
    };
    if (result.isFailure())
        return fail(result.error());
    if (!result.value().image())
        return fail(PictorError::imageNotExisting(source.cacheKey()));
    const CacheType cacheType = result.value().cacheType();
    const auto deliver = [source, originalSource = context->originalSource(), options, cacheType, completion](const Image& image) {
        const std::shared_ptr<const CacheSerializer> serializer = CacheSerializer::of(options);
        const Image delivered = modified(image, options);
        if (completion)
            completion(RetrieveResult::success({delivered, cacheType, source, originalSource,
                                                [serializer, delivered] { return serializer->data(delivered, std::nullopt); }, std::nullopt}));
    };
    const Image& image = *result.value().image();
    const bool reprocess = CacheSerializer::of(options)->originalDataUsed();
    if (!reprocess && !decodedOtherwise(image, options))
        return callbackQueue.execute([deliver, image] { deliver(image); });
    // Processing the kept original again or decoding every frame of an animation again takes long:
    // it is done on the processing queue, never on the caller's (often the GUI thread).
    processingQueue(options).execute([options, image, reprocess, deliver, callbackQueue, completion] {
        Image ready = image;
        if (reprocess) {
            Result<Image, PictorError> processed = process(*options.processor, ImageProcessItem::image(image), options);
            if (processed.isFailure()) {
                return callbackQueue.execute([completion, error = processed.error()] {
                    if (completion)
                        completion(RetrieveResult::failure(error));
                });
            }
            ready = processed.value();
        }
        if (decodedOtherwise(ready, options))
            ready = options.processor->process(ImageProcessItem::data(*ready.animatedSourceData()), options).value_or(Image());
        callbackQueue.execute([deliver, ready] { deliver(ready); });
    });
}

void PictorManager::processOriginal(const Source& source, const std::shared_ptr<RetrievingContext>& context,
                                    const PictorParsedOptionsInfo& options, Result<ImageCacheResult, PictorError> result, Completion completion)
{
    const CallbackQueue& callbackQueue = options.callbackQueue;
    const auto fail = [callbackQueue, completion](PictorError error) {
        callbackQueue.execute([completion, error] {
            if (completion)
                completion(RetrieveResult::failure(error));
        });
    };
    if (result.isFailure())
        return fail(result.error());
    if (!result.value().image())
        return fail(PictorError::imageNotExisting(source.cacheKey()));
    processingQueue(options).execute([self = shared_from_this(), source, context, options, original = *result.value().image(), fail, completion] {
        Result<Image, PictorError> processed = process(*options.processor, ImageProcessItem::image(original), options);
        if (processed.isFailure())
            return fail(processed.error());
        const Image delivered = modified(processed.value(), options);
        const std::shared_ptr<const CacheSerializer> serializer = CacheSerializer::of(options);
        const RetrieveImageResult success{delivered, CacheType::none, source, context->originalSource(),
                                          [serializer, delivered] { return serializer->data(delivered, std::nullopt); }, std::nullopt};
        auto coordinator = std::make_shared<CacheCallbackCoordinator>(options.waitForCache, false);
        const auto deliver = [callbackQueue = options.callbackQueue, completion, success] {
            callbackQueue.deliver([completion, success] {
                if (completion)
                    completion(RetrieveResult::success(success));
            });
        };
        PictorParsedOptionsInfo storing = options;
        storing.callbackQueue = CallbackQueue::untouch();
        self->targetCache(options)->store(processed.value(), std::nullopt, source.cacheKey(), storing, !options.cacheMemoryOnly,
                                          [coordinator, deliver](CacheStoreResult) {
                                              if (coordinator->apply(CacheCallbackCoordinator::Trigger::imageStored)
                                                  == CacheCallbackCoordinator::Action::deliver)
                                                  deliver();
                                          });
        if (coordinator->apply(CacheCallbackCoordinator::Trigger::storeStarted) == CacheCallbackCoordinator::Action::deliver)
            deliver();
    });
}

std::shared_ptr<DownloadTask> PictorManager::downloadAndCacheImage(const Source& source, const std::shared_ptr<RetrievingContext>& context,
                                                                   Completion completion)
{
    const PictorParsedOptionsInfo options = context->options();
    if (!source.isNetwork()) {
        loadFromProvider(source, context, options, std::move(completion));
        return nullptr;
    }
    const std::shared_ptr<ImageDownloader> loader = options.downloader ? options.downloader : downloader();
    auto completed = std::make_shared<std::atomic_bool>(false);
    std::shared_ptr<DownloadTask> task = loader->downloadImage(
        source.resource()->downloadURL(), options,
        [self = shared_from_this(), source, options, context, completion, completed](Result<ImageLoadingResult, PictorError> result) {
            completed->store(true);
            self->cacheRetrievedImage(source, options, context, std::move(result), completion);
        });
    // A handle still waiting for its request (an asynchronous request modifier) is started too:
    // a cancel given to it now is applied when it links.
    if (!task || (!task->isInitialized() && completed->load()))
        return nullptr;
    return task;
}

void PictorManager::loadFromProvider(const Source& source, const std::shared_ptr<RetrievingContext>& context,
                                     const PictorParsedOptionsInfo& options, Completion completion)
{
    const std::shared_ptr<const ImageDataProvider>& provider = source.dataProvider();
    provider->data([self = shared_from_this(), source, context, options, completion, provider](ImageDataProvider::DataResult data) {
        const auto cache = [self, source, context, options, completion](Result<ImageLoadingResult, PictorError> loaded) {
            options.callbackQueue.execute([self, source, context, options, completion, loaded] {
                self->cacheRetrievedImage(source, options, context, loaded, completion);
            });
        };
        if (data.isFailure())
            return cache(Result<ImageLoadingResult, PictorError>::failure(
                PictorError::dataProviderError(provider->description(), data.error().description())));
        self->processingQueue(options).execute([options, cache, bytes = data.value()] {
            Result<Image, PictorError> processed = process(*options.processor, ImageProcessItem::data(bytes), options);
            if (processed.isFailure())
                return cache(Result<ImageLoadingResult, PictorError>::failure(processed.error()));
            cache(Result<ImageLoadingResult, PictorError>::success({processed.value(), QUrl(), bytes, std::nullopt}));
        });
    });
}

void PictorManager::cacheRetrievedImage(const Source& source, const PictorParsedOptionsInfo& options,
                                        const std::shared_ptr<RetrievingContext>& context, Result<ImageLoadingResult, PictorError> result,
                                        Completion completion)
{
    if (result.isFailure()) {
        if (completion)
            completion(RetrieveResult::failure(result.error()));
        return;
    }
    const ImageLoadingResult loaded = std::move(result).value();
    // With the default processor the stored image already is the original.
    const bool cacheOriginal = options.cacheOriginalImage && !options.processor->identifier().isEmpty();
    auto coordinator = std::make_shared<CacheCallbackCoordinator>(options.waitForCache, cacheOriginal);
    const RetrieveImageResult success{modified(loaded.image, options), CacheType::none, source, context->originalSource(),
                                      [data = loaded.originalData]() -> std::optional<QByteArray> { return data; }, loaded.metrics};
    // Stores report on their own threads; the completion still runs on the options' queue.
    const auto onTrigger = [coordinator, callbackQueue = options.callbackQueue, completion, success](CacheCallbackCoordinator::Trigger trigger) {
        if (coordinator->apply(trigger) != CacheCallbackCoordinator::Action::deliver || !completion)
            return;
        callbackQueue.deliver([completion, success] { completion(RetrieveResult::success(success)); });
    };
    const std::shared_ptr<ImageCache> target = targetCache(options);
    const QString key = source.cacheKey();
    target->store(loaded.image, loaded.originalData, key, options, !options.cacheMemoryOnly,
                  [onTrigger](CacheStoreResult) { onTrigger(CacheCallbackCoordinator::Trigger::imageStored); });
    if (cacheOriginal) {
        const std::shared_ptr<ImageCache> original = options.originalCache ? options.originalCache : target;
        original->storeToDisk(loaded.originalData, key, QString(), std::nullopt, options.diskCacheExpiration, CallbackQueue::untouch(),
                              [onTrigger](CacheStoreResult) { onTrigger(CacheCallbackCoordinator::Trigger::originalStored); });
    }
    onTrigger(CacheCallbackCoordinator::Trigger::storeStarted);
}

QCoro::Task<RetrieveImageResult> PictorManager::retrieveImageAsync(Source source, OptionList options, ProgressBlock progressBlock,
                                                                   std::stop_token stop)
{
    PictorParsedOptionsInfo parsed = parsedOptions(options);
    if (progressBlock)
        appendSideEffect(parsed, std::make_shared<ImageLoadingProgressSideEffect>(std::move(progressBlock)));
    co_return co_await retrieveImageAsync(std::move(source), std::move(parsed), nullptr, nullptr, std::move(stop));
}

QCoro::Task<RetrieveImageResult> PictorManager::retrieveImageAsync(Source source, PictorParsedOptionsInfo options,
                                                                   ProgressiveImageSetter progressiveImageSetter,
                                                                   ReferenceTaskChecker referenceTaskChecker, std::stop_token stop)
{
    if (stop.stop_requested())
        throw std::system_error(std::make_error_code(std::errc::operation_canceled));
    // Resumed once: by the retrieval's completion, or by a cancellation while it was starting.
    struct Outcome {
        QFutureInterface<void> done;
        std::optional<RetrieveResult> result;
        std::atomic_bool resumed = false;
        std::mutex mutex;
        // The download of the current attempt, for a cancellation to reach.
        std::shared_ptr<DownloadTask> task;
        bool replaced = false;

        void resume(RetrieveResult value)
        {
            if (resumed.exchange(true))
                return;
            result.emplace(std::move(value));
            done.reportFinished();
        }
    };
    auto outcome = std::make_shared<Outcome>();
    outcome->done.reportStarted();

    appendProgressiveProvider(options, std::move(progressiveImageSetter));
    if (referenceTaskChecker && options.onDataReceived) {
        for (const std::shared_ptr<DataReceivingSideEffect>& effect : *options.onDataReceived)
            effect->setOnShouldApply(referenceTaskChecker);
    }
    auto context = std::make_shared<RetrievingContext>(std::move(options), std::move(source));
    const std::shared_ptr<DownloadTask> first = retrieveImage(
        context,
        [outcome](std::shared_ptr<DownloadTask> task) {
            std::lock_guard lock(outcome->mutex);
            outcome->task = std::move(task);
            outcome->replaced = true;
        },
        [outcome](RetrieveResult result) { outcome->resume(std::move(result)); });
    if (stop.stop_requested()) {
        std::optional<PictorError> error;
        if (first) {
            first->cancel();
            const std::optional<qint64> token = first->cancelToken();
            if (const std::shared_ptr<SessionDataTask> sessionTask = first->sessionTask(); sessionTask && token)
                error = PictorError::taskCancelled(sessionTask->description(), *token);
        }
        outcome->resume(RetrieveResult::failure(error.value_or(PictorError::asyncTaskContextCancelled())));
    } else {
        std::lock_guard lock(outcome->mutex);
        if (!outcome->replaced)
            outcome->task = first;
    }
    // A cache read is not cancellable; a download fails with its cancellation.
    std::stop_callback cancelDownload(stop, [outcome] {
        std::shared_ptr<DownloadTask> task;
        {
            std::lock_guard lock(outcome->mutex);
            task = outcome->task;
        }
        if (task)
            task->cancel();
    });
    const QFuture<void> finished = outcome->done.future();
    co_await finished;
    if (outcome->result->isFailure())
        throw outcome->result->error();
    co_return outcome->result->value();
}

std::optional<QUrl> PictorManager::livePhotoResourceFileURL(const LivePhotoResource& resource, const PictorParsedOptionsInfo& options,
                                                            ImageCache& cache)
{
    const LivePhotoResource::FileType& type = resource.referenceFileType();
    QList<std::optional<QString>> extensions;
    if (type.kind == LivePhotoResource::FileType::Kind::other && type.extension.isEmpty())
        extensions = {QStringLiteral("heic"), QStringLiteral("mov"), std::nullopt};
    else
        extensions = {type.determinedFileExtension(QByteArray())};
    for (const std::optional<QString>& extension : extensions) {
        if (const std::optional<QString> path = cache.cacheFileURLIfOnDisk(resource.dataSource().cacheKey(), options.processor->identifier(), extension))
            return QUrl::fromLocalFile(*path);
    }
    return std::nullopt;
}

QCoro::Task<LivePhotoLoadingInfoResult> PictorManager::retrieveLivePhoto(LivePhotoSource source, OptionList items, ProgressBlock,
                                                                         ReferenceTaskChecker referenceTaskChecker, std::stop_token stop)
{
    const auto cancelled = [] { return std::system_error(std::make_error_code(std::errc::operation_canceled)); };
    if (stop.stop_requested())
        throw cancelled();
    PictorParsedOptionsInfo options = parsedOptions(items);
    static const auto livePhotoProcessor = std::make_shared<const LivePhotoImageProcessor>();
    if (options.processor->identifier() != livePhotoProcessor->identifier())
        options.processor = livePhotoProcessor;
    if (referenceTaskChecker && options.onDataReceived) {
        for (const std::shared_ptr<DataReceivingSideEffect>& effect : *options.onDataReceived)
            effect->setOnShouldApply(referenceTaskChecker);
    }
    const std::shared_ptr<ImageCache> target = targetCache(options);
    QList<LivePhotoResource> missing;
    for (const LivePhotoResource& resource : source.resources) {
        if (options.forceRefresh || !livePhotoResourceFileURL(resource, options, *target))
            missing.append(resource);
    }

    struct Outcome {
        QFutureInterface<void> done;
        std::optional<Result<QList<LivePhotoResourceDownloadingResult>, PictorError>> result;
    };
    auto outcome = std::make_shared<Outcome>();
    outcome->done.reportStarted();
    const std::shared_ptr<LivePhotoResourceFetcher> fetcher = LivePhotoResourceFetcher::start(
        missing, options, options.downloader ? options.downloader : downloader(), target,
        [outcome](Result<QList<LivePhotoResourceDownloadingResult>, PictorError> result) {
            outcome->result.emplace(std::move(result));
            outcome->done.reportFinished();
        });
    {
        std::stop_callback cancelFetches(stop, [fetcher] { fetcher->cancel(); });
        const QFuture<void> finished = outcome->done.future();
        co_await finished;
    }
    if (stop.stop_requested())
        throw cancelled();
    if (outcome->result->isFailure())
        throw outcome->result->error();

    LivePhotoLoadingInfoResult result;
    const std::shared_ptr<ImageCache> lookup = targetCache(options);
    for (const LivePhotoResource& resource : source.resources) {
        const std::optional<QUrl> file = livePhotoResourceFileURL(resource, options, *lookup);
        if (!file)
            throw PictorError::missingLivePhotoResourceOnDisk(resource.dataSource().description());
        result.fileURLs.append(*file);
    }
    QList<QByteArray> fetchedData;
    for (qsizetype index = 0; index < missing.size(); ++index) {
        fetchedData.append(outcome->result->value()[index].originalData);
        result.fetchedFileURLs.append(*livePhotoResourceFileURL(missing[index], options, *lookup));
    }
    result.cacheType = missing.isEmpty() ? CacheType::disk : CacheType::none;
    result.source = source;
    result.originalSource = std::move(source);
    result.data = [fetchedData] { return fetchedData; };
    co_return result;
}

} // namespace pictor
