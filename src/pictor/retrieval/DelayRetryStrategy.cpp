#include "pictor/retrieval/DelayRetryStrategy.h"

namespace pictor {

void DelayRetryStrategy::retry(const std::shared_ptr<RetryContext>& context, std::function<void(RetryDecision)> handler) const
{
    const int retried = context->retriedCount();
    if (retried >= maxRetryCount_ || !isRetryable(context->error()))
        return handler(RetryDecision::stop());
    retryAfter(delayBefore(retried), std::move(handler));
}

double DelayRetryStrategy::delayBefore(int retriedCount) const
{
    if (const auto* seconds = std::get_if<Seconds>(&retryInterval_))
        return seconds->value;
    if (const auto* accumulated = std::get_if<Accumulated>(&retryInterval_))
        return accumulated->value * (retriedCount + 1);
    return std::get<Custom>(retryInterval_)(retriedCount);
}

} // namespace pictor
