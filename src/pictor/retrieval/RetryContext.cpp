#include "pictor/retrieval/RetryContext.h"

namespace pictor {

int RetryContext::retriedCount() const
{
    std::lock_guard lock(mutex_);
    return retriedCount_;
}

void RetryContext::setRetriedCount(int count)
{
    std::lock_guard lock(mutex_);
    retriedCount_ = count;
}

std::any RetryContext::userInfo() const
{
    std::lock_guard lock(mutex_);
    return userInfo_;
}

void RetryContext::setUserInfo(std::any info)
{
    std::lock_guard lock(mutex_);
    userInfo_ = std::move(info);
}

} // namespace pictor
