#include "pictor/networking/NetworkMonitor.h"

#include "pictor/core/CallbackQueue.h"
#include "pictor/networking/NetworkObserverImpl.h"

#include <QCoreApplication>
#include <QNetworkInformation>

namespace pictor {

namespace {

bool reachable(QNetworkInformation::Reachability reachability)
{
    // Unknown cannot be waited out: it counts as reachable.
    return reachability == QNetworkInformation::Reachability::Online || reachability == QNetworkInformation::Reachability::Unknown;
}

} // namespace

const std::shared_ptr<NetworkMonitor>& NetworkMonitor::defaultMonitor()
{
    static const std::shared_ptr<NetworkMonitor> shared = create(
        [] {
            const QNetworkInformation* information = QNetworkInformation::instance();
            return !information || reachable(information->reachability());
        },
        [](std::function<void(bool)> update) {
            CallbackQueue::runMainCurrentOrAsync([update = std::move(update)] {
                if (!QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability))
                    return;
                QObject::connect(QNetworkInformation::instance(), &QNetworkInformation::reachabilityChanged, QCoreApplication::instance(),
                                 [update](QNetworkInformation::Reachability now) { update(reachable(now)); });
            });
        });
    return shared;
}

std::shared_ptr<NetworkMonitor> NetworkMonitor::create(CurrentPath currentPath, StartUpdates startUpdates)
{
    return std::shared_ptr<NetworkMonitor>(new NetworkMonitor(std::move(currentPath), std::move(startUpdates)));
}

bool NetworkMonitor::isConnected() const { return currentPath_(); }

std::shared_ptr<NetworkObserver> NetworkMonitor::observeConnectivity(std::optional<double> timeoutInterval, std::function<void(bool)> callback)
{
    std::shared_ptr<NetworkObserverImpl> observer = NetworkObserverImpl::create(timeoutInterval, std::move(callback), weak_from_this());
    bool start = false;
    {
        std::lock_guard lock(mutex_);
        observers_.append(observer);
        start = !std::exchange(started_, true);
    }
    if (start) {
        std::weak_ptr<NetworkMonitor> weak = weak_from_this();
        startUpdates_([weak](bool satisfied) {
            if (std::shared_ptr<NetworkMonitor> self = weak.lock())
                self->pathDidUpdate(satisfied);
        });
    }
    return observer;
}

void NetworkMonitor::removeObserver(const NetworkObserverImpl* observer)
{
    std::lock_guard lock(mutex_);
    observers_.removeIf([observer](const std::shared_ptr<NetworkObserverImpl>& waiting) { return waiting.get() == observer; });
}

void NetworkMonitor::pathDidUpdate(bool satisfied)
{
    if (!satisfied)
        return;
    QList<std::shared_ptr<NetworkObserverImpl>> waiting;
    {
        std::lock_guard lock(mutex_);
        waiting.swap(observers_);
    }
    for (const std::shared_ptr<NetworkObserverImpl>& observer : waiting)
        observer->notify(true);
}

qsizetype NetworkMonitor::waitingCount() const
{
    std::lock_guard lock(mutex_);
    return observers_.size();
}

} // namespace pictor
