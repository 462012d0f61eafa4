#pragma once

#include "pictor/networking/NetworkObserver.h"

#include <functional>
#include <memory>
#include <optional>

namespace pictor {

// Whether the network is reachable now, and a wait for it to become so.
class NetworkMonitoring {
public:
    virtual ~NetworkMonitoring() = default;
    virtual bool isConnected() const = 0;
    // The callback runs once on the GUI thread: true when the network came back, false when the
    // time-out (seconds; none waits for ever) passed first.
    virtual std::shared_ptr<NetworkObserver> observeConnectivity(std::optional<double> timeoutInterval,
                                                                 std::function<void(bool)> callback) = 0;
};

} // namespace pictor
