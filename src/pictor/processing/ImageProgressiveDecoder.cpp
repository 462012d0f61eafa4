#include "pictor/processing/ImageProgressiveDecoder.h"

#include "pictor/networking/ImageDataProcessor.h"
#include "pictor/processing/ImageDecoder.h"
#include "pictor/processing/ImageDrawing.h"

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
    std::optional<double> radius;
    if (option_.isBlur && scannedCount_ < 6)
        radius = std::max(2, 14 - 4 * scannedCount_);
    std::weak_ptr<ImageProgressiveDecoder> weak = weak_from_this();
    processingQueue_.execute([weak, prefix, callbacks, image, done, radius, scale = creatingOptions_.scale] {
        const std::shared_ptr<ImageProgressiveDecoder> self = weak.lock();
        if (!self)
            return;
        // An intermediate image only bridges the wait for the final one: decoded at a fraction of
        // the size (inside the JPEG decoder) and blurred there, it costs a fraction of a full
        // decode. It keeps the full point size, so a view shows it where the final image goes.
        QSize full;
        Result<QImage, QString> preview = ImageDecoder::decodePreview(prefix, kPreviewDivisor, &full);
        if (preview.isFailure())
            return self->processImage(ImageProcessItem::data(prefix), callbacks, image, done);
        const QSizeF pointSize = QSizeF(full) / (scale > 0 ? scale : 1.0);
        Image partial(std::move(preview).value(), pointSize);
        if (radius)
            partial = Image(pt::blurred(partial, std::max(1.0, *radius / kPreviewDivisor)).bitmap(), pointSize);
        self->processImage(ImageProcessItem::image(partial), callbacks, image, done);
    });
}

void ImageProgressiveDecoder::processImage(const ImageProcessItem& item, const QList<SessionDataTask::TaskCallback>& callbacks,
                                           ImageCallback image, std::function<void()> done)
{
    auto processor = ImageDataProcessor::create(item, callbacks, processingQueue_);
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
