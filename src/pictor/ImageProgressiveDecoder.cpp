#include "pictor/ImageProgressiveDecoder.h"

#include "pictor/ImageCoding.h"
#include "pictor/ImageDataProcessor.h"
#include "pictor/ImageDrawing.h"

#include <atomic>

namespace pictor {

QList<qsizetype> ImageProgressiveDecoder::scanStarts(const QByteArray& data)
{
    QList<qsizetype> starts;
    if (!isProgressive(data))
        return starts;
    // The pair straddling the end is examined on the next call.
    for (qsizetype i = scannedIndex_ + 1; i < data.size() - 1; ++i) {
        scannedIndex_ = i;
        if (quint8(data[i]) == 0xFF && quint8(data[i + 1]) == 0xDA)
            starts.append(i);
    }
    return starts;
}

std::optional<QByteArray> ImageProgressiveDecoder::latestScanPrefix(const QByteArray& data)
{
    const QList<qsizetype> starts = scanStarts(data);
    if (starts.isEmpty())
        return std::nullopt;
    scannedCount_ += int(starts.size());
    if (scannedCount_ < 2 || starts.last() == 0)
        return std::nullopt;
    return data.left(starts.last());
}

QList<QByteArray> ImageProgressiveDecoder::newScanPrefixes(const QByteArray& data)
{
    QList<QByteArray> prefixes;
    for (const qsizetype start : scanStarts(data)) {
        if (scannedCount_ >= 1)
            prefixes.append(data.left(start));
        ++scannedCount_;
    }
    return prefixes;
}

void ImageProgressiveDecoder::decode(const QByteArray& scans, const QList<SessionDataTask::TaskCallback>& callbacks, ImageCallback image,
                                     std::function<void()> done)
{
    // Closed with an end-of-image marker, the complete scans make a whole, smaller JPEG, which the
    // decoder takes as any other (it refuses data that ends early).
    const QByteArray prefix = scans + QByteArray("\xFF\xD9", 2);
    // Prefixes only come from data already found progressive.
    if (callbacks.isEmpty()) {
        CallbackQueue::runMainCurrentOrAsync(std::move(done));
        return;
    }
    if (!option_.isBlur || scannedCount_ >= 6)
        return processImage(prefix, callbacks, std::move(image), std::move(done));
    const double radius = std::max(2, 14 - 4 * scannedCount_);
    std::weak_ptr<ImageProgressiveDecoder> weak = weak_from_this();
    processingQueue_.execute([weak, prefix, callbacks, image, done, radius, creating = creatingOptions_] {
        const std::shared_ptr<ImageProgressiveDecoder> self = weak.lock();
        if (!self)
            return;
        std::optional<QByteArray> blurred;
        if (const std::optional<Image> partial = pt::image(prefix, creating))
            blurred = pt::data(pt::blurred(*partial, radius), ImageFormat::JPEG, 1.0);
        self->processImage(blurred.value_or(prefix), callbacks, image, done);
    });
}

void ImageProgressiveDecoder::processImage(const QByteArray& data, const QList<SessionDataTask::TaskCallback>& callbacks, ImageCallback image,
                                           std::function<void()> done)
{
    auto processor = ImageDataProcessor::create(data, callbacks, processingQueue_);
    auto remaining = std::make_shared<std::atomic<qsizetype>>(callbacks.size());
    std::weak_ptr<ImageProgressiveDecoder> weak = weak_from_this();
    processor->onImageProcessed.setBlock([weak, remaining, image, done](ImageDataProcessor::ImageResult result, SessionDataTask::TaskCallback) {
        if (!weak.lock())
            return false;
        std::optional<Image> made;
        if (result.isSuccess())
            made = result.value();
        const bool last = --*remaining == 0;
        CallbackQueue::runMainCurrentOrAsync([image, done, made, last] {
            image(made);
            if (last)
                done();
        });
        return true;
    });
    processor->process();
}

} // namespace pictor
