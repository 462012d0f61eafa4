#pragma once

namespace signalry {

// How long scheduled sends wait after failures: a failure doubles the wait, starting from twice
// the send interval and capped at five minutes; a delivered batch resets it. Times are monotonic
// seconds, so a wall clock set backwards cannot stall sending.
class SendBackoff {
public:
    static constexpr double kSendIntervalSeconds = 10.0;
    static constexpr double kMaximumDelaySeconds = 300.0;

    void recordFailure(double nowSeconds);
    void recordSuccess();
    bool allowsSendAt(double nowSeconds) const;
    // 0 while nothing has failed.
    double currentDelaySeconds() const { return delaySeconds_; }

private:
    double delaySeconds_ = 0.0;
    double nextSendAt_ = 0.0;
};

} // namespace signalry
