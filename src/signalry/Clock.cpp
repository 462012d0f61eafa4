#include "signalry/Clock.h"

#include <atomic>
#include <chrono>

namespace signalry {

namespace {
const Clock systemClock;
std::atomic<const Clock*> installedClock{&systemClock};
} // namespace

QDateTime Clock::now() const { return QDateTime::currentDateTimeUtc(); }

double Clock::monotonicSeconds() const
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

const Clock& Clock::current() { return *installedClock.load(); }

Clock::Override::Override(const Clock& clock) : previous_(installedClock.exchange(&clock)) {}

Clock::Override::~Override() { installedClock.store(previous_); }

} // namespace signalry
