#include "FaultInjector.h"

#include <algorithm>

#include <chrono>

namespace samplecatalogue {

void FaultInjector::setFault(const QString& path, const Fault& fault)
{
    std::lock_guard lock(mutex_);
    if (fault.times == 0)
        faults_.remove(path);
    else
        faults_.insert(path, fault);
}

void FaultInjector::clearFaults()
{
    std::lock_guard lock(mutex_);
    faults_.clear();
}

void FaultInjector::endlessReplyEnded(size_t sent)
{
    std::lock_guard lock(mutex_);
    ++endlessEnded_;
    longestEndless_ = std::max(longestEndless_, sent);
}

int FaultInjector::endlessRepliesEnded() const
{
    std::lock_guard lock(mutex_);
    return endlessEnded_;
}

size_t FaultInjector::longestEndlessReply() const
{
    std::lock_guard lock(mutex_);
    return longestEndless_;
}

std::optional<Fault> FaultInjector::take(const QString& path)
{
    std::lock_guard lock(mutex_);
    auto match = faults_.end();
    for (auto it = faults_.begin(); it != faults_.end(); ++it) {
        if (path.startsWith(it.key()) && (match == faults_.end() || it.key().size() > match.key().size()))
            match = it;
    }
    if (match == faults_.end())
        return std::nullopt;
    const Fault fault = match.value();
    if (match->times > 0 && --match->times == 0)
        faults_.erase(match);
    return fault;
}

void FaultInjector::sleep(int ms)
{
    std::unique_lock lock(mutex_);
    wake_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return interrupted_; });
}

void FaultInjector::interruptSleeps()
{
    {
        std::lock_guard lock(mutex_);
        interrupted_ = true;
    }
    wake_.notify_all();
}

void FaultInjector::allowSleeps()
{
    std::lock_guard lock(mutex_);
    interrupted_ = false;
}

} // namespace samplecatalogue
