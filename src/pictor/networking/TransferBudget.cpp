#include "pictor/networking/TransferBudget.h"

namespace pictor {

TransferBudget& TransferBudget::shared()
{
    static TransferBudget budget;
    return budget;
}

qint64 TransferBudget::limit() const
{
    std::lock_guard lock(mutex_);
    return limit_;
}

void TransferBudget::setLimit(qint64 bytes)
{
    std::lock_guard lock(mutex_);
    limit_ = bytes;
}

qint64 TransferBudget::held() const
{
    std::lock_guard lock(mutex_);
    return held_;
}

bool TransferBudget::take(qint64 bytes)
{
    std::lock_guard lock(mutex_);
    if (bytes > limit_ - held_)
        return false;
    held_ += bytes;
    return true;
}

void TransferBudget::release(qint64 bytes)
{
    std::lock_guard lock(mutex_);
    held_ -= bytes;
}

TransferBudget::Share::~Share()
{
    if (bytes_ > 0)
        shared().release(bytes_);
}

bool TransferBudget::Share::take(qint64 more)
{
    if (!shared().take(more))
        return false;
    bytes_ += more;
    return true;
}

} // namespace pictor
