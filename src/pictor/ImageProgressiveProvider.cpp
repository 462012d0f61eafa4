#include "pictor/ImageProgressiveProvider.h"

#include "pictor/ImageDataProcessor.h"
#include "pictor/SessionDataTask.h"

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
    CallbackQueue::runMainAsync([self = shared_from_this(), task] {
        if (!self->shouldApply())
            return;
        const QByteArray data = task->mutableData();
        QList<SessionDataTask::TaskCallback> callbacks = task->callbacks();
        if (data.isEmpty())
            return;
        // A pending update holds neither this provider nor, through the callers' options, any
        // side effect: the queue it sits in belongs to this provider.
        for (SessionDataTask::TaskCallback& callback : callbacks)
            callback.options.onDataReceived.reset();
        std::weak_ptr<ImageProgressiveProvider> weak = self;
        self->queue_->add(self->progressive_.scanInterval, [weak, data, callbacks](std::function<void()> notify) {
            if (const std::shared_ptr<ImageProgressiveProvider> provider = weak.lock())
                provider->update(data, callbacks, std::move(notify));
            else
                notify();
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
