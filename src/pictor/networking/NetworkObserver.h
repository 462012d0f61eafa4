#pragma once

namespace pictor {

// A wait for the network; cancelling it drops its time-out and it never reports.
class NetworkObserver {
public:
    virtual ~NetworkObserver() = default;
    virtual void cancel() = 0;
};

} // namespace pictor
