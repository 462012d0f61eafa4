#include "pictor/networking/NetworkObserverImpl.h"

#include "pictor/core/CallbackQueue.h"
#include "pictor/networking/NetworkMonitor.h"

#include <QCoreApplication>
#include <QTimer>

#include <cmath>

namespace pictor {

std::shared_ptr<NetworkObserverImpl> NetworkObserverImpl::create(std::optional<double> timeoutInterval, std::function<void(bool)> callback,
                                                                 std::weak_ptr<NetworkMonitor> monitor)
{
    std::shared_ptr<NetworkObserverImpl> observer(new NetworkObserverImpl(std::move(callback), std::move(monitor)));
    if (timeoutInterval) {
        const double seconds = std::isfinite(*timeoutInterval) ? std::clamp(*timeoutInterval, 0.0, 2e6) : 0.0;
        std::weak_ptr<NetworkObserverImpl> weak = observer;
        CallbackQueue::runMainAsync([weak, ms = int(seconds * 1000)] {
            QTimer::singleShot(ms, QCoreApplication::instance(), [weak] {
                if (std::shared_ptr<NetworkObserverImpl> self = weak.lock())
                    self->notify(false);
            });
        });
    }
    return observer;
}

bool NetworkObserverImpl::finish()
{
    std::lock_guard lock(mutex_);
    if (completed_)
        return false;
    completed_ = true;
    return true;
}

void NetworkObserverImpl::notify(bool isConnected)
{
    if (!finish())
        return;
    if (std::shared_ptr<NetworkMonitor> monitor = monitor_.lock())
        monitor->removeObserver(this);
    CallbackQueue::runMainAsync([self = shared_from_this(), isConnected] { self->callback_(isConnected); });
}

void NetworkObserverImpl::cancel()
{
    if (!finish())
        return;
    if (std::shared_ptr<NetworkMonitor> monitor = monitor_.lock())
        monitor->removeObserver(this);
}

} // namespace pictor
