#pragma once

#include "pictor/networking/NetworkMonitoring.h"
#include "pictor/retrieval/RetryStrategy.h"

namespace pictor {

// Retries a failed response while the network is reachable, after a back-off that doubles with
// every retry, and otherwise waits for the network to come back (or the time-out to pass). It
// stops after maxRetryCount retries, so a server that keeps failing is not asked for ever.
class NetworkRetryStrategy : public RetryStrategy {
public:
    explicit NetworkRetryStrategy(std::optional<double> timeoutInterval = 30.0, int maxRetryCount = 5, double backoff = 0.5,
                                  std::shared_ptr<NetworkMonitoring> networkMonitor = nullptr);

    void retry(const std::shared_ptr<RetryContext>& context, std::function<void(RetryDecision)> handler) const override;

private:
    std::optional<double> timeoutInterval_;
    int maxRetryCount_;
    double backoff_;
    std::shared_ptr<NetworkMonitoring> networkMonitor_;
};

} // namespace pictor
