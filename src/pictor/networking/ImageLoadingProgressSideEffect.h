#pragma once

#include "pictor/networking/DataReceivingSideEffect.h"

#include <mutex>

namespace pictor {

// Turns arriving data into calls of a progress block (received and expected bytes, both of the
// whole shared transfer) on the GUI thread; silent while the response announces no length.
class ImageLoadingProgressSideEffect : public DataReceivingSideEffect,
                                      public std::enable_shared_from_this<ImageLoadingProgressSideEffect> {
public:
    using Block = std::function<void(qint64 received, qint64 expected)>;
    explicit ImageLoadingProgressSideEffect(Block block) : block_(std::move(block)) {}

    std::function<bool()> onShouldApply() const override;
    void setOnShouldApply(std::function<bool()> check) override;
    void dataReceived(const std::shared_ptr<SessionDataTask>& task, const QByteArray& chunk) override;

private:
    mutable std::mutex mutex_;
    std::function<bool()> onShouldApply_ = [] { return true; };
    Block block_;
};

} // namespace pictor
