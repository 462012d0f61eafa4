#pragma once

#include "pictor/retrieval/RetryStrategy.h"

#include <variant>

namespace pictor {

// Retries a failed response a bounded number of times, each after a fixed, growing or computed
// delay; any other failure, and the failure after the last retry, stop.
class DelayRetryStrategy : public RetryStrategy {
public:
    struct Seconds {
        double value;
    };
    // value × (retries so far + 1).
    struct Accumulated {
        double value;
    };
    using Custom = std::function<double(int retriedCount)>;
    using Interval = std::variant<Seconds, Accumulated, Custom>;

    DelayRetryStrategy(int maxRetryCount, Interval retryInterval) : maxRetryCount_(maxRetryCount), retryInterval_(std::move(retryInterval)) {}

    void retry(const std::shared_ptr<RetryContext>& context, std::function<void(RetryDecision)> handler) const override;
    // The wait in seconds before the retry that follows retriedCount earlier ones.
    double delayBefore(int retriedCount) const;

private:
    int maxRetryCount_;
    Interval retryInterval_;
};

} // namespace pictor
