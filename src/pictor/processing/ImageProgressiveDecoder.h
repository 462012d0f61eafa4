#pragma once

#include "pictor/core/CallbackQueue.h"
#include "pictor/processing/ImageCreatingOptions.h"
#include "pictor/processing/ImageProcessItem.h"
#include "pictor/processing/ImageProgressive.h"
#include "pictor/processing/JpegMarkerScanner.h"
#include "pictor/networking/SessionDataTask.h"

#include <QByteArray>
#include <QList>

namespace pictor {

// Finds the complete scans of a growing progressive JPEG and decodes them into intermediate
// images, each shaped by every caller's own processor. Scanning resumes where the last call
// stopped, so each byte is examined once. Scanning runs on the GUI thread; blurring and
// processing on the processing queue.
class ImageProgressiveDecoder : public std::enable_shared_from_this<ImageProgressiveDecoder> {
public:
    using ImageCallback = std::function<void(std::optional<Image>)>;

    ImageProgressiveDecoder(ImageProgressive option, CallbackQueue processingQueue, ImageCreatingOptions creatingOptions)
        : option_(std::move(option)), processingQueue_(std::move(processingQueue)), creatingOptions_(creatingOptions) {}

    // The data up to the newest scan start, when new scans arrived and at least two have started.
    std::optional<QByteArray> latestScanPrefix(const QByteArray& data);
    // One prefix for each scan start found now after the first scan.
    QList<QByteArray> newScanPrefixes(const QByteArray& data);
    // Decodes the prefix for every callback: image is called once per callback on the GUI thread
    // (none when it could not be made), then done once.
    void decode(const QByteArray& prefix, const QList<SessionDataTask::TaskCallback>& callbacks, ImageCallback image,
                std::function<void()> done);

    int scannedCount() const { return scannedCount_; }
    qsizetype scannedIndex() const { return scannedIndex_; }

private:
    bool isProgressive(const QByteArray& data) { return markers_.contains(data, JPEGMarker::Kind::SOF2); }
    // Scan starts found beyond the last examined byte.
    QList<qsizetype> scanStarts(const QByteArray& data);
    void processImage(const ImageProcessItem& item, const QList<SessionDataTask::TaskCallback>& callbacks, ImageCallback image,
                      std::function<void()> done);

    // Intermediate images are decoded at 1/4 of the image's size on each side.
    static constexpr int kPreviewDivisor = 4;

    ImageProgressive option_;
    CallbackQueue processingQueue_;
    ImageCreatingOptions creatingOptions_;
    JpegMarkerScanner markers_;
    int scannedCount_ = 0;
    qsizetype scannedIndex_ = -1;
};

} // namespace pictor
