#include "pictor/networking/ImageDownloader.h"

#include "pictor/networking/ImageDataProcessor.h"
#include "pictor/networking/ImageDownloadRequestModifier.h"
#include "pictor/networking/ImageLoadingProgressSideEffect.h"
#include "pictor/processing/DefaultImageProcessor.h"
#include "pictor/processing/LivePhotoImageProcessor.h"
#include "pictor/networking/SessionDelegate.h"

#include <QCoro/QCoroFuture>
#include <QFutureInterface>
#include <QNetworkInformation>

#include <climits>
#include <cmath>
#include <stdexcept>

namespace pictor {

namespace {

// Qt counts whole milliseconds and takes 0 for none: a positive time-out is at least the shortest.
int milliseconds(double seconds)
{
    if (!(seconds > 0))
        return 0;
    return int(std::min(std::max(std::round(seconds * 1000), 1.0), double(INT_MAX)));
}

PictorParsedOptionsInfo withProgress(const std::optional<QList<PictorOptionsInfoItem>>& items, ImageDownloader::ProgressBlock progress)
{
    PictorParsedOptionsInfo options(items);
    if (progress) {
        if (!options.onDataReceived)
            options.onDataReceived.emplace();
        options.onDataReceived->append(std::make_shared<ImageLoadingProgressSideEffect>(std::move(progress)));
    }
    return options;
}

QCoro::Task<> modifyAsync(std::shared_ptr<const AsyncImageDownloadRequestModifier> modifier, QNetworkRequest request,
                          std::function<void(std::optional<QNetworkRequest>)> done)
{
    std::optional<QNetworkRequest> modified;
    try {
        modified = co_await modifier->modifiedAsync(std::move(request));
    } catch (...) {
        modified = std::nullopt;
    }
    done(std::move(modified));
}

// Waits for a completion-form call: starts it, withdraws it when the token stops, resumes on the
// awaiting thread and throws the error it failed with.
template <typename Value>
QCoro::Task<Value> awaitCompletion(std::function<std::shared_ptr<DownloadTask>(std::function<void(Result<Value, PictorError>)>)> start,
                                   std::stop_token stop)
{
    struct Outcome {
        QFutureInterface<void> done;
        std::optional<Result<Value, PictorError>> result;
    };
    auto outcome = std::make_shared<Outcome>();
    outcome->done.reportStarted();
    const std::shared_ptr<DownloadTask> handle = start([outcome](Result<Value, PictorError> result) {
        outcome->result.emplace(std::move(result));
        outcome->done.reportFinished();
    });
    // A stop before the handle is linked withdraws nothing (see DownloadTask).
    std::stop_callback withdraw(stop, [handle] { handle->cancel(); });
    const QFuture<void> finished = outcome->done.future();
    co_await finished;
    if (outcome->result->isFailure())
        throw outcome->result->error();
    co_return std::move(*outcome->result).value();
}

} // namespace

std::shared_ptr<ImageDownloader> ImageDownloader::create(const QString& name)
{
    if (name.isEmpty())
        throw std::invalid_argument("[Pictor] You should specify a name for the downloader. A downloader with empty name is not permitted.");
    std::shared_ptr<ImageDownloader> downloader(new ImageDownloader(name));
    downloader->setupSessionHandler();
    return downloader;
}

const std::shared_ptr<ImageDownloader>& ImageDownloader::defaultDownloader()
{
    static const std::shared_ptr<ImageDownloader> shared = create(QStringLiteral("default"));
    return shared;
}

namespace {

// The system's answer, through the first backend that can tell whether the network is metered;
// without one (no network manager on the machine) the network counts as not constrained.
bool networkIsMetered()
{
    static const bool loaded = QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Metered);
    const QNetworkInformation* information = loaded ? QNetworkInformation::instance() : nullptr;
    return information && information->isMetered();
}

} // namespace

ImageDownloader::ImageDownloader(QString name)
    : name_(std::move(name)), sessionDelegate_(SessionDelegate::create()), constrainedNetwork_(networkIsMetered)
{
}

ImageDownloader::~ImageDownloader()
{
    for (const SessionDelegate::Abandoned& left : sessionDelegate_->invalidate())
        complete(left.callback, ImageResult::failure(PictorError::taskCancelled(left.task->description(), left.token)));
}

double ImageDownloader::downloadTimeout() const
{
    std::lock_guard lock(mutex_);
    return downloadTimeout_;
}

void ImageDownloader::setDownloadTimeout(double seconds)
{
    std::lock_guard lock(mutex_);
    downloadTimeout_ = seconds;
}

std::optional<QSet<QString>> ImageDownloader::trustedHosts() const { return sessionDelegate_->trust().trustedHosts; }

void ImageDownloader::setTrustedHosts(std::optional<QSet<QString>> hosts) { sessionDelegate_->setTrustedHosts(std::move(hosts)); }

QSslConfiguration ImageDownloader::sessionConfiguration() const { return sessionDelegate_->trust().ssl; }

void ImageDownloader::setSessionConfiguration(const QSslConfiguration& configuration)
{
    sessionDelegate_->setSslConfiguration(configuration);
}

bool ImageDownloader::requestsUsePipelining() const
{
    std::lock_guard lock(mutex_);
    return requestsUsePipelining_;
}

void ImageDownloader::setRequestsUsePipelining(bool enabled)
{
    std::lock_guard lock(mutex_);
    requestsUsePipelining_ = enabled;
}

std::shared_ptr<ImageDownloaderDelegate> ImageDownloader::delegate() const
{
    std::lock_guard lock(mutex_);
    return delegate_.lock();
}

void ImageDownloader::setDelegate(std::weak_ptr<ImageDownloaderDelegate> delegate)
{
    std::lock_guard lock(mutex_);
    delegate_ = std::move(delegate);
}

std::shared_ptr<AuthenticationChallengeResponsible> ImageDownloader::authenticationChallengeResponder() const
{
    return sessionDelegate_->trust().responder.lock();
}

void ImageDownloader::setAuthenticationChallengeResponder(std::weak_ptr<AuthenticationChallengeResponsible> responder)
{
    // Each responder of its own gets a key of its own, and with it connections of its own; the
    // downloader itself is no responder of its own.
    static std::atomic<quint64> nextKey = 1;
    const std::shared_ptr<AuthenticationChallengeResponsible> given = responder.lock();
    const bool own = given && given.get() != static_cast<AuthenticationChallengeResponsible*>(this);
    sessionDelegate_->setResponder(own ? std::move(responder) : std::weak_ptr<AuthenticationChallengeResponsible>(), own ? nextKey++ : 0);
}

ImageDownloaderDelegate& ImageDownloader::effectiveDelegate(std::shared_ptr<ImageDownloaderDelegate>& holder)
{
    holder = delegate();
    return holder ? *holder : *this;
}

void ImageDownloader::setupSessionHandler()
{
    using Self = ImageDownloader;
    const std::shared_ptr<Self> self = shared_from_this();
    // The responder the transfer started with answers, or, when it had none (or it is gone), the
    // downloader's own default, by the trusted hosts the transfer started with.
    sessionDelegate_->onReceiveSessionChallenge.delegate<Self>(self, [](Self& downloader, AuthenticationChallenge challenge) {
        const std::shared_ptr<AuthenticationChallengeResponsible> responder = challenge.trust.responder.lock();
        return (responder ? *responder : static_cast<AuthenticationChallengeResponsible&>(downloader)).didReceiveChallenge(downloader, challenge);
    });
    sessionDelegate_->onValidStatusCode.delegate<Self>(self, [](Self& downloader, qint64 code) {
        std::shared_ptr<ImageDownloaderDelegate> holder;
        return downloader.effectiveDelegate(holder).isValidStatusCode(code, downloader);
    });
    sessionDelegate_->onResponseReceived.delegateAsync<Self>(self, [](Self& downloader, URLResponse response) -> QCoro::Task<ResponseDisposition> {
        std::shared_ptr<ImageDownloaderDelegate> holder;
        ImageDownloaderDelegate& decider = downloader.effectiveDelegate(holder);
        co_return co_await decider.didReceiveResponse(downloader, std::move(response));
    });
    sessionDelegate_->onDidDownloadData.delegate<Self>(self, [](Self& downloader, std::shared_ptr<SessionDataTask> task) {
        std::shared_ptr<ImageDownloaderDelegate> holder;
        return downloader.effectiveDelegate(holder).didDownloadTaskData(downloader, task->mutableData(), *task);
    });
}

std::shared_ptr<DownloadTask> ImageDownloader::downloadImage(const QUrl& url, const std::optional<QList<PictorOptionsInfoItem>>& items,
                                                             ProgressBlock progress, Completion completion)
{
    return downloadImage(url, withProgress(items, std::move(progress)), std::move(completion));
}

std::shared_ptr<DownloadTask> ImageDownloader::downloadImage(const QUrl& url, const PictorParsedOptionsInfo& given, Completion completion)
{
    // A null processor stands for the default one: the data processor calls it for every caller.
    PictorParsedOptionsInfo options = given;
    if (!options.processor)
        options.processor = DefaultImageProcessor::shared();
    auto handle = std::make_shared<DownloadTask>();
    // A request waiting for its modifier keeps the downloader alive.
    createDownloadContext(url, options, [self = shared_from_this(), handle, completion, queue = options.callbackQueue](ContextResult result) {
        if (result.isFailure()) {
            if (completion)
                queue.execute([completion, error = result.error()] { completion(ImageResult::failure(error)); });
            return;
        }
        const DownloadingContext& context = result.value();
        SessionDataTask::TaskCallback callback{nullptr, context.options};
        if (completion) {
            callback.onCompleted = std::make_shared<Delegate<void(ImageResult)>>();
            callback.onCompleted->setBlock([completion](ImageResult outcome) {
                completion(std::move(outcome));
                return true;
            });
        }
        const std::shared_ptr<DownloadTask> joined = self->startDownloadTask(context, std::move(callback));
        handle->link(joined->sessionTask(), *joined->cancelToken());
        if (context.options.requestModifier) {
            if (const auto started = context.options.requestModifier->onDownloadTaskStarted())
                started(handle);
        }
    });
    return handle;
}

void ImageDownloader::setConstrainedNetworkCheck(ConstrainedNetworkCheck check)
{
    std::lock_guard lock(mutex_);
    constrainedNetwork_ = std::move(check);
}

void ImageDownloader::createDownloadContext(const QUrl& url, const PictorParsedOptionsInfo& options, std::function<void(ContextResult)> done)
{
    QNetworkRequest request(url);
    // Images are never answered from a local HTTP cache.
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    const int timeout = milliseconds(downloadTimeout());
    request.setTransferTimeout(timeout);
    request.setAttribute(QNetworkRequest::HttpPipeliningAllowedAttribute, requestsUsePipelining());
    // Qt knows three priorities; the option's 0 to 1 maps onto them (0.5, the default, is normal).
    request.setPriority(options.downloadPriority > 0.75f ? QNetworkRequest::HighPriority
                        : options.downloadPriority < 0.25f ? QNetworkRequest::LowPriority
                                                           : QNetworkRequest::NormalPriority);
    ConstrainedNetworkCheck constrained;
    if (options.lowDataModeSource) {
        std::lock_guard lock(mutex_);
        constrained = constrainedNetwork_;
    }
    auto check = [done, options, constrained, timeout](std::optional<QNetworkRequest> ready) {
        if (!ready)
            return done(ContextResult::failure(PictorError::emptyRequest()));
        // A modifier's fresh request knows nothing of the downloader's time-out; it holds all the
        // same (a shorter one of its own stays, and so does its own when the downloader has none).
        if (timeout > 0 && (ready->transferTimeout() <= 0 || ready->transferTimeout() > timeout))
            ready->setTransferTimeout(timeout);
        if (ready->url().isEmpty() || !ready->url().isValid())
            return done(ContextResult::failure(PictorError::invalidURL(ready->url().toString())));
        if (constrained && constrained())
            return done(ContextResult::failure(PictorError::urlSessionError(
                QStringLiteral("the network is constrained and this request may not use it"), true)));
        done(ContextResult::success({ready->url(), *ready, options}));
    };
    if (!options.requestModifier)
        return check(request);
    if (const auto* modifier = dynamic_cast<const ImageDownloadRequestModifier*>(options.requestModifier.get()))
        return check(modifier->modified(request));
    auto running = modifyAsync(options.requestModifier, request, std::move(check));
    Q_UNUSED(running);
}

std::shared_ptr<DownloadTask> ImageDownloader::startDownloadTask(const DownloadingContext& context, SessionDataTask::TaskCallback callback)
{
    bool created = false;
    std::shared_ptr<DownloadTask> handle = sessionDelegate_->addOrJoin(context.request, context.url, std::move(callback), &created);
    if (!created)
        return handle;
    const std::shared_ptr<SessionDataTask> task = handle->sessionTask();
    bindTaskDone(task, context);
    std::shared_ptr<ImageDownloaderDelegate> holder;
    effectiveDelegate(holder).willDownloadImage(*this, context.url, context.request);
    task->start();
    return handle;
}

void ImageDownloader::complete(const SessionDataTask::TaskCallback& callback, ImageResult result)
{
    if (!callback.onCompleted)
        return;
    callback.options.callbackQueue.execute([completion = callback.onCompleted, result = std::move(result)] { completion->call(result); });
}

void ImageDownloader::bindTaskDone(const std::shared_ptr<SessionDataTask>& task, const DownloadingContext& context)
{
    // Plain blocks holding the downloader weakly: its callers are completed even when it is gone.
    std::weak_ptr<ImageDownloader> weak = weak_from_this();
    std::weak_ptr<SessionDataTask> weakTask = task;
    task->onTaskDone.setBlock([weak, weakTask, context](SessionDataTask::TaskResult result, QList<SessionDataTask::TaskCallback> callbacks) {
        const std::shared_ptr<ImageDownloader> self = weak.lock();
        if (self) {
            std::shared_ptr<ImageDownloaderDelegate> holder;
            std::optional<URLResponse> response;
            std::optional<PictorError> error;
            if (result.isSuccess())
                response = result.value().response;
            else
                error = result.error();
            self->effectiveDelegate(holder).didFinishDownloadingImage(*self, context.url, response, error);
        }
        if (result.isFailure()) {
            for (const SessionDataTask::TaskCallback& callback : callbacks)
                complete(callback, ImageResult::failure(result.error()));
            return true;
        }
        const SessionDataTask::Downloaded downloaded = result.value();
        // Read now: the transfer may be gone by the time its data is processed.
        const std::shared_ptr<SessionDataTask> transfer = weakTask.lock();
        const std::optional<NetworkMetrics> metrics = transfer ? transfer->metrics() : std::nullopt;
        auto processor = ImageDataProcessor::create(downloaded.data, callbacks, context.options.processingQueue);
        processor->onImageProcessed.setBlock([weak, metrics, context, downloaded](ImageDataProcessor::ImageResult processed,
                                                                                  SessionDataTask::TaskCallback callback) {
            if (processed.isFailure()) {
                complete(callback, ImageResult::failure(processed.error()));
                return true;
            }
            if (const std::shared_ptr<ImageDownloader> owner = weak.lock()) {
                std::shared_ptr<ImageDownloaderDelegate> holder;
                owner->effectiveDelegate(holder).didDownloadImage(*owner, processed.value(), context.url, downloaded.response);
            }
            complete(callback, ImageResult::success({processed.value(), context.url, downloaded.data, metrics}));
            return true;
        });
        processor->process();
        return true;
    });
}

QCoro::Task<ImageLoadingResult> ImageDownloader::downloadImageAsync(QUrl url, PictorParsedOptionsInfo options, std::stop_token stop)
{
    std::shared_ptr<ImageDownloader> self = shared_from_this();
    std::function<std::shared_ptr<DownloadTask>(std::function<void(ImageResult)>)> start
        = [self, url, options](std::function<void(ImageResult)> done) { return self->downloadImage(url, options, std::move(done)); };
    co_return co_await awaitCompletion<ImageLoadingResult>(std::move(start), std::move(stop));
}

QCoro::Task<ImageLoadingResult> ImageDownloader::downloadImageAsync(QUrl url, std::optional<QList<PictorOptionsInfoItem>> items,
                                                                    ProgressBlock progress, std::stop_token stop)
{
    PictorParsedOptionsInfo options = withProgress(items, std::move(progress));
    co_return co_await downloadImageAsync(std::move(url), std::move(options), std::move(stop));
}

std::shared_ptr<DownloadTask> ImageDownloader::downloadLivePhotoResource(const QUrl& url, const PictorParsedOptionsInfo& options,
                                                                         std::function<void(LivePhotoResult)> completion)
{
    PictorParsedOptionsInfo raw = options;
    static const auto livePhoto = std::make_shared<const LivePhotoImageProcessor>();
    if (raw.processor->identifier() != livePhoto->identifier())
        raw.processor = livePhoto;
    return downloadImage(url, raw, [completion = std::move(completion)](ImageResult result) {
        if (!completion)
            return;
        if (result.isFailure())
            return completion(LivePhotoResult::failure(result.error()));
        completion(LivePhotoResult::success({result.value().url, result.value().originalData}));
    });
}

QCoro::Task<LivePhotoResourceDownloadingResult> ImageDownloader::downloadLivePhotoResourceAsync(QUrl url, PictorParsedOptionsInfo options,
                                                                                                std::stop_token stop)
{
    std::shared_ptr<ImageDownloader> self = shared_from_this();
    std::function<std::shared_ptr<DownloadTask>(std::function<void(LivePhotoResult)>)> start
        = [self, url, options](std::function<void(LivePhotoResult)> done) { return self->downloadLivePhotoResource(url, options, std::move(done)); };
    co_return co_await awaitCompletion<LivePhotoResourceDownloadingResult>(std::move(start), std::move(stop));
}

void ImageDownloader::cancel(const QUrl& url) { sessionDelegate_->cancel(url); }

void ImageDownloader::cancelAll() { sessionDelegate_->cancelAll(); }

} // namespace pictor
