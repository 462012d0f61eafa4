#include "pictor/networking/ImageDataProcessor.h"

#include "pictor/processing/ImageDrawing.h"
#include "pictor/processing/ImageProcessor.h"

#include <QHash>
#include <QThread>

#include <algorithm>
#include <atomic>

namespace pictor {

std::shared_ptr<ImageDataProcessor> ImageDataProcessor::create(QByteArray data, QList<SessionDataTask::TaskCallback> callbacks,
                                                               std::optional<CallbackQueue> processingQueue)
{
    return create(ImageProcessItem::data(std::move(data)), std::move(callbacks), std::move(processingQueue));
}

std::shared_ptr<ImageDataProcessor> ImageDataProcessor::create(ImageProcessItem item, QList<SessionDataTask::TaskCallback> callbacks,
                                                               std::optional<CallbackQueue> processingQueue)
{
    CallbackQueue queue = processingQueue.value_or(CallbackQueue::dispatch(sharedProcessingQueue()));
    return std::shared_ptr<ImageDataProcessor>(new ImageDataProcessor(std::move(item), std::move(callbacks), std::move(queue)));
}

std::shared_ptr<DispatchQueue> ImageDataProcessor::sharedProcessingQueue()
{
    static const QList<std::shared_ptr<DispatchQueue>> queues = [] {
        QList<std::shared_ptr<DispatchQueue>> made;
        const int count = std::clamp(QThread::idealThreadCount() / 2, 1, 4);
        for (int i = 0; i < count; ++i)
            made.append(DispatchQueue::create(QStringLiteral("com.quillmoth.Pictor.ImageDownloader.Process")));
        return made;
    }();
    static std::atomic<quint32> next = 0;
    return queues[qsizetype(next++ % quint32(queues.size()))];
}

void ImageDataProcessor::process()
{
    queue_.execute([self = shared_from_this()] { self->doProcess(); });
}

void ImageDataProcessor::doProcess()
{
    // Failures are not remembered: a later caller with the same processor tries again.
    QHash<QString, Image> processed;
    for (const SessionDataTask::TaskCallback& callback : std::as_const(callbacks_)) {
        const ImageProcessor& processor = *callback.options.processor;
        const QString identifier = processor.identifier();
        std::optional<ImageResult> result;
        if (const auto cached = processed.constFind(identifier); cached != processed.constEnd()) {
            result = ImageResult::success(*cached);
        } else {
            result = pictor::process(processor, item_, callback.options);
            if (result->isSuccess())
                processed.insert(identifier, result->value());
        }
        if (result->isSuccess() && callback.options.backgroundDecode)
            result = ImageResult::success(pt::decoded(result->value(), 1.0));
        onImageProcessed.call(std::move(*result), callback);
    }
}

} // namespace pictor
