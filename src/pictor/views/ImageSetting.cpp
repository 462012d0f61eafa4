#include "pictor/views/ImageSetting.h"

#include "pictor/networking/ImageLoadingProgressSideEffect.h"
#include "pictor/processing/ImageProgressive.h"
#include "pictor/processing/ImageProgressiveProvider.h"
#include "pictor/views/ImageTaskStates.h"
#include "pictor/retrieval/PictorManager.h"
#include "pictor/retrieval/SourceIdentifier.h"

#include <QPointer>

namespace pictor {

namespace {

// The slot's state while it has one; null once the object is gone.
ImageTaskState* existingState(QObject* object, const ImageTaskSlot& slot)
{
    ImageTaskStates* states = object ? ImageTaskStates::existing(object) : nullptr;
    return states ? states->find(slot) : nullptr;
}

// Ends the slot's wait for the request, forgetting the slot once it holds nothing more.
void stopWaiting(QObject* object, const ImageTaskSlot& slot)
{
    if (ImageTaskState* state = existingState(object, slot)) {
        state->setIdentifier(std::nullopt);
        ImageTaskStates::existing(object)->forgetIfIdle(slot);
    }
}

// What a progressive image's delegate answers: the image itself, a replacement, or nothing.
std::optional<std::optional<Image>> progressiveImageToShow(const PictorParsedOptionsInfo& options, const Image& image)
{
    if (!options.progressiveJPEG || !options.progressiveJPEG->onImageUpdated)
        return std::optional<Image>(image);
    const std::optional<ImageProgressive::UpdatingStrategy> answer = options.progressiveJPEG->onImageUpdated->call(image);
    if (!answer || answer->kind == ImageProgressive::UpdatingStrategy::Kind::useDefault)
        return std::optional<Image>(image);
    if (answer->kind == ImageProgressive::UpdatingStrategy::Kind::keepCurrent)
        return std::nullopt;
    return answer->image;
}

} // namespace

std::shared_ptr<DownloadTask> ImageSetting::setImage(const std::shared_ptr<ImageSettable>& target, const std::optional<Source>& source,
                                                     const std::shared_ptr<Placeholder>& placeholder, PictorParsedOptionsInfo options,
                                                     ProgressBlock progress, Completion completion)
{
    QObject* object = target->object();
    const ImageTaskSlot slot = target->slot();
    if (!object || !source) {
        // No source: the placeholder shows whatever the options say, and the object waits for
        // nothing. No object (already destroyed): nothing to load into.
        if (object) {
            target->showPlaceholder(placeholder, false, options);
            stopWaiting(object, slot);
        }
        if (completion)
            completion(SettingResult::failure(source ? PictorError::notCurrentSourceTask(std::nullopt, std::nullopt, source->description())
                                                     : PictorError::emptySource()));
        return nullptr;
    }
    target->showPlaceholder(placeholder, options.keepCurrentImageWhileLoading, options);
    const std::shared_ptr<Indicator> indicator = target->indicator();
    if (indicator)
        indicator->startAnimatingView();
    const quint64 identifier = SourceIdentifier::next();
    // Only until the retrieval starts: a result at once may forget the slot.
    ImageTaskState& state = ImageTaskStates::of(object)->state(slot);
    state.setIdentifier(identifier);
    if (target->shouldPreloadAllAnimation())
        options.preloadAllAnimationData = true;

    QList<std::shared_ptr<DataReceivingSideEffect>> effects = options.onDataReceived.value_or(QList<std::shared_ptr<DataReceivingSideEffect>>());
    if (progress)
        effects.append(std::make_shared<ImageLoadingProgressSideEffect>(std::move(progress)));
    const PictorParsedOptionsInfo shown = options;
    auto provider = ImageProgressiveProvider::create(options, [target, shown](const Image& partial) {
        if (target->object())
            if (const std::optional<std::optional<Image>> image = progressiveImageToShow(shown, partial))
                target->setImage(*image, shown);
    });
    if (provider)
        effects.append(std::move(provider));
    for (const std::shared_ptr<DataReceivingSideEffect>& effect : std::as_const(effects))
        effect->setOnShouldApply(state.isCurrentCheck(identifier));
    if (!effects.isEmpty())
        options.onDataReceived = effects;

    auto context = std::make_shared<RetrievingContext>(options, *source);
    // A replacement download (a retry, another source) is stored only while this load is current,
    // so a late one of an overtaken load never takes the newer load's place.
    auto updated = [target, identifier](std::shared_ptr<DownloadTask> task) {
        CallbackQueue::runMainAsync([target, identifier, task] {
            ImageTaskState* current = existingState(target->object(), target->slot());
            if (current && current->identifier() == identifier)
                current->setTask(task);
        });
    };
    auto done = [target, identifier, source = *source, options, indicator, completion](PictorManager::RetrieveResult result) {
        CallbackQueue::runMainCurrentOrAsync([=] { complete(target, identifier, source, options, indicator, result, completion); });
    };
    std::shared_ptr<DownloadTask> task = PictorManager::shared()->retrieveImage(context, updated, done);
    // A load that already completed (at once, on this thread) leaves no task behind as current.
    if (ImageTaskState* current = existingState(target->object(), slot); current && current->identifier() == identifier)
        current->setTask(task);
    return task;
}

void ImageSetting::complete(const std::shared_ptr<ImageSettable>& target, quint64 identifier, const Source& source,
                            const PictorParsedOptionsInfo& options, const std::shared_ptr<Indicator>& indicator, SettingResult result,
                            const Completion& completion)
{
    if (indicator)
        indicator->stopAnimatingView();
    QObject* object = target->object();
    const ImageTaskSlot slot = target->slot();
    ImageTaskState* state = existingState(object, slot);
    if (!state || state->identifier() != identifier) {
        if (completion) {
            std::optional<QString> retrieved, error;
            if (result.isSuccess())
                retrieved = result.value().image.description();
            else
                error = QString::fromUtf8(result.error().what());
            completion(SettingResult::failure(PictorError::notCurrentSourceTask(retrieved, error, source.description()).withPayload(result)));
        }
        return;
    }
    state->setTask(nullptr);
    stopWaiting(object, slot);
    if (result.isSuccess()) {
        target->willApplyResult();
        target->setImage(result.value().image, options);
        target->didApplyResult();
    } else if (options.onFailureImage) {
        target->willApplyResult();
        target->setImage(*options.onFailureImage, options);
        target->didApplyResult();
    }
    if (completion)
        completion(std::move(result));
}

void ImageSetting::cancelDownloadTask(QObject* object, const ImageTaskSlot& slot)
{
    if (ImageTaskState* state = existingState(object, slot))
        state->cancelTask();
}

std::optional<quint64> ImageSetting::taskIdentifier(QObject* object, const ImageTaskSlot& slot)
{
    ImageTaskState* state = existingState(object, slot);
    return state ? state->identifier() : std::nullopt;
}

std::shared_ptr<DownloadTask> ImageSetting::imageTask(QObject* object, const ImageTaskSlot& slot)
{
    ImageTaskState* state = existingState(object, slot);
    return state ? state->task() : nullptr;
}

} // namespace pictor
