#pragma once

#include "pictor/networking/NetworkObserver.h"

#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace pictor {

class NetworkMonitor;

// One wait for the network: whichever comes first, the network back or the time-out, is
// reported once on the GUI thread; a report that loses the race is dropped.
class NetworkObserverImpl : public NetworkObserver, public std::enable_shared_from_this<NetworkObserverImpl> {
public:
    static std::shared_ptr<NetworkObserverImpl> create(std::optional<double> timeoutInterval, std::function<void(bool)> callback,
                                                       std::weak_ptr<NetworkMonitor> monitor);

    void notify(bool isConnected);
    void cancel() override;

private:
    NetworkObserverImpl(std::function<void(bool)> callback, std::weak_ptr<NetworkMonitor> monitor)
        : callback_(std::move(callback)), monitor_(std::move(monitor)) {}
    // Marks the wait over; false when it already was.
    bool finish();

    std::function<void(bool)> callback_;
    std::weak_ptr<NetworkMonitor> monitor_;
    std::mutex mutex_;
    bool completed_ = false;
};

} // namespace pictor
