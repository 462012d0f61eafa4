#include "pictor/retrieval/RetryStrategy.h"

#include "pictor/core/CallbackQueue.h"

#include <QCoreApplication>
#include <QTimer>

#include <cmath>

namespace pictor {

void RetryStrategy::retryAfter(double seconds, std::function<void(RetryDecision)> handler, std::any userInfo)
{
    if (seconds == 0.0)
        return handler(RetryDecision::retry(std::move(userInfo)));
    const int ms = std::isfinite(seconds) ? int(std::clamp(seconds * 1000.0, 0.0, double(INT_MAX))) : 0;
    CallbackQueue::runMainAsync([ms, handler = std::move(handler), userInfo = std::move(userInfo)] {
        QTimer::singleShot(ms, QCoreApplication::instance(), [handler, userInfo] { handler(RetryDecision::retry(userInfo)); });
    });
}

} // namespace pictor
