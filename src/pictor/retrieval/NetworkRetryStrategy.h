#pragma once

#include "pictor/networking/NetworkMonitoring.h"
#include "pictor/retrieval/RetryStrategy.h"

namespace pictor {

// Retries a failed response at once while the network is reachable, and otherwise waits for the
// network to come back (or the time-out to pass). It stops after maxRetryCount retries, so a
// server that keeps failing on a working network is not asked for ever in a tight loop.
class NetworkRetryStrategy : public RetryStrategy {
public:
    explicit NetworkRetryStrategy(std::optional<double> timeoutInterval = 30.0, int maxRetryCount = 5,
                                  std::shared_ptr<NetworkMonitoring> networkMonitor = nullptr);

    void retry(const std::shared_ptr<RetryContext>& context, std::function<void(RetryDecision)> handler) const override;

private:
    std::optional<double> timeoutInterval_;
    int maxRetryCount_;
    std::shared_ptr<NetworkMonitoring> networkMonitor_;
};

} // namespace pictor
