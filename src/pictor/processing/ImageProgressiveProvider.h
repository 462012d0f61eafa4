#pragma once

#include "pictor/networking/DataReceivingSideEffect.h"
#include "pictor/processing/ImageProgressiveDecoder.h"
#include "pictor/processing/ImageProgressiveSerialQueue.h"
#include "pictor/retrieval/PictorParsedOptionsInfo.h"

#include <mutex>

namespace pictor {

// Watches a progressive JPEG arrive and hands refresh an intermediate image for the scans that
// have arrived, throttled by the serial queue; the final image still comes through the
// download's completion. Made only from options that ask for progressive display.
class ImageProgressiveProvider : public DataReceivingSideEffect, public std::enable_shared_from_this<ImageProgressiveProvider> {
public:
    using Refresh = std::function<void(const Image&)>;

    static std::shared_ptr<ImageProgressiveProvider> create(const PictorParsedOptionsInfo& options, Refresh refresh);

    std::function<bool()> onShouldApply() const override;
    void setOnShouldApply(std::function<bool()> check) override;
    void dataReceived(const std::shared_ptr<SessionDataTask>& task, const QByteArray& chunk) override;

    const std::shared_ptr<ImageProgressiveDecoder>& decoder() const { return decoder_; }

private:
    ImageProgressiveProvider(ImageProgressive progressive, Refresh refresh, std::shared_ptr<ImageProgressiveDecoder> decoder)
        : progressive_(std::move(progressive)), refresh_(std::move(refresh)), decoder_(std::move(decoder)),
          queue_(ImageProgressiveSerialQueue::create()) {}
    bool shouldApply() const;
    void update(const QByteArray& data, const QList<SessionDataTask::TaskCallback>& callbacks, std::function<void()> notify);

    mutable std::mutex mutex_;
    std::function<bool()> onShouldApply_ = [] { return true; };
    ImageProgressive progressive_;
    Refresh refresh_;
    std::shared_ptr<ImageProgressiveDecoder> decoder_;
    std::shared_ptr<ImageProgressiveSerialQueue> queue_;
};

} // namespace pictor
