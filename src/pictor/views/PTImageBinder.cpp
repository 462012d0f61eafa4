#include "pictor/views/PTImageBinder.h"

#include "pictor/networking/ImageLoadingProgressSideEffect.h"
#include "pictor/processing/ImageProgressiveProvider.h"
#include "pictor/retrieval/PictorManager.h"

#include <QPointer>

namespace pictor {

void PTImageBinder::start(const std::shared_ptr<PTImageContext>& context)
{
    const quint64 request = ++*request_;
    if (!context->source()) {
        QPointer<PTImageBinder> self(this);
        CallbackQueue::runMainCurrentOrAsync([self, context] {
            if (self)
                self->failEmptySource(context);
        });
        return;
    }
    loading_ = true;
    received_ = expected_ = 0;
    PictorParsedOptionsInfo options = context->options();
    if (lowPriority_)
        options.downloadPriority = std::min(options.downloadPriority, 0.1f);
    QPointer<PTImageBinder> self(this);
    QList<std::shared_ptr<DataReceivingSideEffect>> effects = options.onDataReceived.value_or(QList<std::shared_ptr<DataReceivingSideEffect>>());
    effects.append(std::make_shared<ImageLoadingProgressSideEffect>([self, context](qint64 received, qint64 expected) {
        if (!self)
            return;
        self->received_ = received;
        self->expected_ = expected;
        emit self->progressChanged(received, expected);
        emit self->changed();
        context->onProgressDelegate->call(received, expected);
    }));
    if (auto provider = ImageProgressiveProvider::create(options, [self](const Image& partial) {
            if (!self)
                return;
            self->loaded_ = true;
            self->loadedImage_ = partial;
            emit self->changed();
        }))
        effects.append(std::move(provider));
    for (const std::shared_ptr<DataReceivingSideEffect>& effect : std::as_const(effects))
        effect->setOnShouldApply([current = request_, request] { return current->load() == request; });
    options.onDataReceived = effects;

    auto retrieving = std::make_shared<RetrievingContext>(options, *context->source());
    std::shared_ptr<DownloadTask> task = PictorManager::shared()->retrieveImage(
        retrieving, {}, [self, request, context](PictorManager::RetrieveResult result) {
            CallbackQueue::runMainCurrentOrAsync([self, request, context, result] {
                if (self)
                    self->complete(request, context, result);
            });
        });
    // A retrieval that already completed leaves no task behind.
    if (loading_ && request_->load() == request)
        downloadTask_ = std::move(task);
}

void PTImageBinder::failEmptySource(const std::shared_ptr<PTImageContext>& context)
{
    context->onFailureDelegate->call(PictorError::emptySource());
    if (const PTImageContext::FailureViewFactory failure = context->failureView()) {
        failureView_ = failure;
        emit changed();
    } else if (const PictorParsedOptionsInfo options = context->options(); options.onFailureImage) {
        loadedImage_ = *options.onFailureImage;
        emit changed();
    }
    loading_ = false;
    loaded_ = true;
}

void PTImageBinder::complete(quint64 request, const std::shared_ptr<PTImageContext>& context, Result<RetrieveImageResult, PictorError> result)
{
    if (request != request_->load()) {
        // Overtaken by a newer start: reported, never shown.
        std::optional<QString> retrieved, error;
        if (result.isSuccess())
            retrieved = result.value().image.description();
        else
            error = QString::fromUtf8(result.error().what());
        CallbackQueue::runMainAsync([context, retrieved, error, result] {
            context->onFailureDelegate->call(
                PictorError::notCurrentSourceTask(retrieved, error, context->source()->description()).withPayload(result));
        });
        return;
    }
    downloadTask_.reset();
    loading_ = false;
    if (result.isSuccess()) {
        const RetrieveImageResult retrieved = result.value();
        fadeDuration_ = context->fadeDuration(retrieved.cacheType);
        animating_ = fadeDuration_.has_value();
        loaded_ = true;
        loadedImage_ = retrieved.image;
        emit changed();
        animating_ = false;
        CallbackQueue::runMainAsync([context, retrieved] { context->onSuccessDelegate->call(retrieved); });
        return;
    }
    const PictorError error = result.error();
    if (const PTImageContext::FailureViewFactory failure = context->failureView())
        failureView_ = failure;
    else if (const PictorParsedOptionsInfo options = context->options(); options.onFailureImage)
        loadedImage_ = *options.onFailureImage;
    fadeDuration_.reset();
    loaded_ = true;
    emit changed();
    CallbackQueue::runMainAsync([context, error] { context->onFailureDelegate->call(error); });
}

void PTImageBinder::cancel()
{
    ++*request_;
    if (downloadTask_)
        downloadTask_->cancel();
    downloadTask_.reset();
    loading_ = false;
}

void PTImageBinder::restorePriorityOnAppear() { lowPriority_ = false; }

void PTImageBinder::lowerPriorityOnDisappear() { lowPriority_ = true; }

} // namespace pictor
