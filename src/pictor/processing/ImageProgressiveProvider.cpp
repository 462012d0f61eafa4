#include "pictor/processing/ImageProgressiveProvider.h"

#include "pictor/networking/ImageDataProcessor.h"
#include "pictor/networking/SessionDataTask.h"

namespace pictor {

namespace {

const std::shared_ptr<DispatchQueue>& decodingQueue()
{
    static const std::shared_ptr<DispatchQueue> queue = DispatchQueue::create(QStringLiteral("com.quillmoth.Pictor.ImageDownloader.Process"));
    return queue;
}

} // namespace

std::shared_ptr<ImageProgressiveProvider> ImageProgressiveProvider::create(const PictorParsedOptionsInfo& options, Refresh refresh)
{
    if (!options.progressiveJPEG)
        return nullptr;
    const ImageCreatingOptions creating{options.scaleFactor, 0.0, options.preloadAllAnimationData, options.onlyLoadFirstFrame};
    auto decoder = std::make_shared<ImageProgressiveDecoder>(
        *options.progressiveJPEG, options.processingQueue.value_or(CallbackQueue::dispatch(decodingQueue())), creating);
    return std::shared_ptr<ImageProgressiveProvider>(new ImageProgressiveProvider(*options.progressiveJPEG, std::move(refresh), std::move(decoder)));
}

std::function<bool()> ImageProgressiveProvider::onShouldApply() const
{
    std::lock_guard lock(mutex_);
    return onShouldApply_;
}

void ImageProgressiveProvider::setOnShouldApply(std::function<bool()> check)
{
    std::lock_guard lock(mutex_);
    onShouldApply_ = std::move(check);
}

bool ImageProgressiveProvider::shouldApply() const
{
    const std::function<bool()> check = onShouldApply();
    return !check || check();
}

void ImageProgressiveProvider::dataReceived(const std::shared_ptr<SessionDataTask>& task, const QByteArray&)
{
    // Pending updates hold the provider and the task weakly: the provider owns the queue they sit
    // in, and the task holds the provider through its callers' options. They read the data when
    // they run, so a chunk costs no copy of the whole download.
    std::weak_ptr<ImageProgressiveProvider> weak = weak_from_this();
    std::weak_ptr<SessionDataTask> weakTask = task;
    CallbackQueue::runMainAsync([weak, weakTask] {
        const std::shared_ptr<ImageProgressiveProvider> self = weak.lock();
        if (!self || !self->shouldApply())
            return;
        self->queue_->add(self->progressive_.scanInterval, [weak, weakTask](std::function<void()> notify) {
            const std::shared_ptr<ImageProgressiveProvider> provider = weak.lock();
            const std::shared_ptr<SessionDataTask> transfer = weakTask.lock();
            if (!provider || !transfer)
                return notify();
            const QByteArray data = transfer->mutableData();
            QList<SessionDataTask::TaskCallback> callbacks = transfer->callbacks();
            for (SessionDataTask::TaskCallback& callback : callbacks)
                callback.options.onDataReceived.reset();
            if (data.isEmpty() || callbacks.isEmpty())
                return notify();
            provider->update(data, callbacks, std::move(notify));
        });
    });
}

void ImageProgressiveProvider::update(const QByteArray& data, const QList<SessionDataTask::TaskCallback>& callbacks,
                                      std::function<void()> notify)
{
    if (!shouldApply()) {
        queue_->clean();
        return notify();
    }
    QList<QByteArray> prefixes;
    if (progressive_.isFastestScan) {
        if (std::optional<QByteArray> latest = decoder_->latestScanPrefix(data))
            prefixes.append(std::move(*latest));
    } else {
        prefixes = decoder_->newScanPrefixes(data);
    }
    if (prefixes.isEmpty())
        return notify();
    // One notify for the whole update, however many prefixes and callers it decodes for.
    auto remaining = std::make_shared<qsizetype>(prefixes.size());
    std::weak_ptr<ImageProgressiveProvider> weak = weak_from_this();
    for (const QByteArray& prefix : std::as_const(prefixes)) {
        decoder_->decode(
            prefix, callbacks,
            [weak](std::optional<Image> image) {
                const std::shared_ptr<ImageProgressiveProvider> self = weak.lock();
                if (self && image && self->shouldApply())
                    self->refresh_(*image);
            },
            [remaining, notify] {
                if (--*remaining == 0)
                    notify();
            });
    }
}

} // namespace pictor
