#include "ui/VideoPlayerPool.h"

#include "foundation/Shared.h"

#include <algorithm>

VideoPlayerPool::VideoPlayerPool(int capacity, QObject* parent) : QObject(parent), capacity_(std::max(1, capacity)) {}

VideoPlayerPool& VideoPlayerPool::shared()
{
    return Shared<VideoPlayerPool>::instance();
}

int VideoPlayerPool::indexOf(const QObject* holder) const
{
    for (int i = 0; i < leases_.size(); ++i) {
        if (leases_[i].holder == holder)
            return i;
    }
    return -1;
}

void VideoPlayerPool::acquire(QObject* holder, std::function<void()> revoked)
{
    if (!holder || indexOf(holder) >= 0)
        return;
    // Holders that went away without releasing free their lease here.
    leases_.removeIf([](const Lease& lease) { return !lease.holder; });
    while (leases_.size() >= capacity_)
        revokeOne();
    leases_.append(Lease{holder, std::move(revoked), false});
}

void VideoPlayerPool::revokeOne()
{
    const auto idle = std::find_if(leases_.begin(), leases_.end(), [](const Lease& lease) { return !lease.active; });
    const Lease taken = leases_.takeAt(idle != leases_.end() ? int(idle - leases_.begin()) : 0);
    if (taken.holder && taken.revoked)
        taken.revoked();
}

void VideoPlayerPool::release(QObject* holder)
{
    if (const int index = indexOf(holder); index >= 0)
        leases_.removeAt(index);
}

void VideoPlayerPool::setActive(QObject* holder, bool active)
{
    const int index = indexOf(holder);
    if (index < 0)
        return;
    Lease lease = leases_.takeAt(index);
    lease.active = active;
    if (active)
        leases_.append(lease);
    else
        leases_.insert(index, lease);
}
