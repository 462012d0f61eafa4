#include "signalry/SignalryManagerStorage.h"

#include <mutex>
#include <shared_mutex>

namespace signalry {

namespace {
struct Slot {
    std::shared_mutex mutex;
    std::shared_ptr<SignalryManager> manager;
};

Slot& slot()
{
    // Never destroyed: an installed manager lives until exit and is not torn down after the
    // application object is gone.
    static auto* instance = new Slot;
    return *instance;
}
} // namespace

std::shared_ptr<SignalryManager> SignalryManagerStorage::manager()
{
    std::shared_lock lock(slot().mutex);
    return slot().manager;
}

std::shared_ptr<SignalryManager> SignalryManagerStorage::setManager(std::shared_ptr<SignalryManager> manager)
{
    std::unique_lock lock(slot().mutex);
    std::swap(slot().manager, manager);
    return manager;
}

} // namespace signalry
