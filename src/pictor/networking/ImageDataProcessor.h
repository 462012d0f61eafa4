#pragma once

#include "pictor/core/CallbackQueue.h"
#include "pictor/core/Delegate.h"
#include "pictor/processing/ImageProcessItem.h"
#include "pictor/networking/SessionDataTask.h"

#include <QByteArray>
#include <QList>

#include <memory>

namespace pictor {

// Turns the bytes of a finished transfer into one image per waiting caller, each with the
// caller's own processor, running every distinct processor once; pre-decodes for callers that
// ask. Used for one run; runs where its queue says (by default one of a few shared serial queues).
class ImageDataProcessor : public std::enable_shared_from_this<ImageDataProcessor> {
public:
    using ImageResult = Result<Image, PictorError>;

    static std::shared_ptr<ImageDataProcessor> create(QByteArray data, QList<SessionDataTask::TaskCallback> callbacks,
                                                      std::optional<CallbackQueue> processingQueue);
    // The same for an item already decoded (a progressive preview).
    static std::shared_ptr<ImageDataProcessor> create(ImageProcessItem item, QList<SessionDataTask::TaskCallback> callbacks,
                                                      std::optional<CallbackQueue> processingQueue);
    // The default queue of the next run: the shared serial queues take turns, so transfers that
    // finish together decode on several cores while each run stays serial.
    static std::shared_ptr<DispatchQueue> sharedProcessingQueue();

    // Runs the step on the queue; the processor keeps itself alive until it has run.
    void process();

    // Told once per callback, in order, on the processing queue.
    Delegate<void(ImageResult, SessionDataTask::TaskCallback)> onImageProcessed;

private:
    ImageDataProcessor(ImageProcessItem item, QList<SessionDataTask::TaskCallback> callbacks, CallbackQueue queue)
        : item_(std::move(item)), callbacks_(std::move(callbacks)), queue_(std::move(queue)) {}
    void doProcess();

    ImageProcessItem item_;
    QList<SessionDataTask::TaskCallback> callbacks_;
    CallbackQueue queue_;
};

} // namespace pictor
