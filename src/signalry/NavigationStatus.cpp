#include "signalry/NavigationStatus.h"

#include <mutex>

namespace signalry {

namespace {
std::mutex mutex;
std::optional<QString> previous;
} // namespace

std::optional<QString> NavigationStatus::previousNavigationPath()
{
    std::lock_guard lock(mutex);
    return previous;
}

void NavigationStatus::setPreviousNavigationPath(const QString& path)
{
    std::lock_guard lock(mutex);
    previous = path;
}

void NavigationStatus::reset()
{
    std::lock_guard lock(mutex);
    previous.reset();
}

} // namespace signalry
