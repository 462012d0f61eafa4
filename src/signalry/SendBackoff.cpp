#include "signalry/SendBackoff.h"

#include <algorithm>

namespace signalry {

void SendBackoff::recordFailure(double nowSeconds)
{
    delaySeconds_ = std::min(delaySeconds_ == 0.0 ? 2 * kSendIntervalSeconds : 2 * delaySeconds_, kMaximumDelaySeconds);
    nextSendAt_ = nowSeconds + delaySeconds_;
}

void SendBackoff::recordSuccess()
{
    delaySeconds_ = 0.0;
    nextSendAt_ = 0.0;
}

bool SendBackoff::allowsSendAt(double nowSeconds) const { return delaySeconds_ == 0.0 || nowSeconds >= nextSendAt_; }

} // namespace signalry
