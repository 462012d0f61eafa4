#include "pictor/retrieval/DelayRetryStrategy.h"

namespace pictor {

void DelayRetryStrategy::retry(const std::shared_ptr<RetryContext>& context, std::function<void(RetryDecision)> handler) const
{
    const int retried = context->retriedCount();
    if (retried >= maxRetryCount_ || !isRetryable(context->error()))
        return handler(RetryDecision::stop());
    double delay = 0;
    if (const auto* seconds = std::get_if<Seconds>(&retryInterval_))
        delay = seconds->value;
    else if (const auto* accumulated = std::get_if<Accumulated>(&retryInterval_))
        delay = accumulated->value * (retried + 1);
    else
        delay = std::get<Custom>(retryInterval_)(retried);
    retryAfter(delay, std::move(handler));
}

} // namespace pictor
