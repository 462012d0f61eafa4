#include "pictor/retrieval/NetworkRetryStrategy.h"

#include "pictor/networking/NetworkMonitor.h"


namespace pictor {

NetworkRetryStrategy::NetworkRetryStrategy(std::optional<double> timeoutInterval, int maxRetryCount,
                                           std::shared_ptr<NetworkMonitoring> networkMonitor)
    : timeoutInterval_(timeoutInterval), maxRetryCount_(maxRetryCount),
      networkMonitor_(networkMonitor ? std::move(networkMonitor) : NetworkMonitor::defaultMonitor())
{
}

void NetworkRetryStrategy::retry(const std::shared_ptr<RetryContext>& context, std::function<void(RetryDecision)> handler) const
{
    const std::any previous = context->userInfo();
    if (const auto* waiting = std::any_cast<std::shared_ptr<NetworkObserver>>(&previous))
        (*waiting)->cancel();
    const int retried = context->retriedCount();
    if (!isRetryable(context->error()) || retried >= maxRetryCount_)
        return handler(RetryDecision::stop());
    if (networkMonitor_->isConnected())
        return handler(RetryDecision::retry());
    std::weak_ptr<RetryContext> weak = context;
    std::shared_ptr<NetworkObserver> observer
        = networkMonitor_->observeConnectivity(timeoutInterval_, [weak, handler = std::move(handler)](bool connected) {
              if (!connected)
                  return handler(RetryDecision::stop());
              const std::shared_ptr<RetryContext> strong = weak.lock();
              handler(RetryDecision::retry(strong ? strong->userInfo() : std::any()));
          });
    context->setUserInfo(observer);
}

} // namespace pictor
