#pragma once

#include "pictor/networking/NetworkMonitoring.h"

#include <QList>

#include <mutex>

namespace pictor {

class NetworkObserverImpl;

// The network's reachability as the system reports it (QNetworkInformation), and the observers
// waiting for it to come back. The system's reports are watched from the first observer on;
// without a reachability backend the network counts as reachable. Safe from any thread.
class NetworkMonitor : public NetworkMonitoring, public std::enable_shared_from_this<NetworkMonitor> {
public:
    // Answers whether the network is reachable now; starts delivering changes to the handler.
    using CurrentPath = std::function<bool()>;
    using StartUpdates = std::function<void(std::function<void(bool satisfied)>)>;

    static const std::shared_ptr<NetworkMonitor>& defaultMonitor();
    static std::shared_ptr<NetworkMonitor> create(CurrentPath currentPath, StartUpdates startUpdates);

    bool isConnected() const override;
    std::shared_ptr<NetworkObserver> observeConnectivity(std::optional<double> timeoutInterval,
                                                         std::function<void(bool)> callback) override;

    void removeObserver(const NetworkObserverImpl* observer);
    // A change of reachability: every waiting observer hears of a reachable network once.
    void pathDidUpdate(bool satisfied);
    qsizetype waitingCount() const;

private:
    NetworkMonitor(CurrentPath currentPath, StartUpdates startUpdates)
        : currentPath_(std::move(currentPath)), startUpdates_(std::move(startUpdates)) {}

    CurrentPath currentPath_;
    StartUpdates startUpdates_;
    mutable std::mutex mutex_;
    QList<std::shared_ptr<NetworkObserverImpl>> observers_;
    bool started_ = false;
};

} // namespace pictor
