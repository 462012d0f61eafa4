#include "pictor/networking/ImageLoadingProgressSideEffect.h"

#include "pictor/core/CallbackQueue.h"
#include "pictor/networking/SessionDataTask.h"

namespace pictor {

std::function<bool()> ImageLoadingProgressSideEffect::onShouldApply() const
{
    std::lock_guard lock(mutex_);
    return onShouldApply_;
}

void ImageLoadingProgressSideEffect::setOnShouldApply(std::function<bool()> check)
{
    std::lock_guard lock(mutex_);
    onShouldApply_ = std::move(check);
}

void ImageLoadingProgressSideEffect::dataReceived(const std::shared_ptr<SessionDataTask>& task, const QByteArray&)
{
    CallbackQueue::runMainAsync([self = shared_from_this(), task] {
        const std::function<bool()> check = self->onShouldApply();
        if (check && !check())
            return;
        const std::optional<URLResponse> response = task->response();
        if (!response || response->expectedContentLength == -1)
            return;
        self->block_(task->dataSize(), response->expectedContentLength);
    });
}

} // namespace pictor
