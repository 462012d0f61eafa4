#include "signalry/DurationSignalTracker.h"

#include "signalry/ApplicationActivity.h"
#include "signalry/Clock.h"

#include <cmath>

namespace signalry {

DurationSignalTracker& DurationSignalTracker::shared()
{
    // Kept until exit, with the activity observers that feed it.
    static auto* instance = [] {
        auto* tracker = new DurationSignalTracker;
        ApplicationActivity& activity = ApplicationActivity::shared();
        QObject::connect(&activity, &ApplicationActivity::didResignActive, &activity,
                         [tracker] { tracker->handleDidEnterBackgroundNotification(); });
        QObject::connect(&activity, &ApplicationActivity::willBecomeActive, &activity,
                         [tracker] { tracker->handleWillEnterForegroundNotification(); });
        return tracker;
    }();
    return *instance;
}

void DurationSignalTracker::startTracking(const QString& signalName, const Parameters& parameters, bool includeBackgroundTime)
{
    std::lock_guard lock(mutex_);
    startedSignals_.insert(signalName, {Clock::current().monotonicSeconds(), parameters, includeBackgroundTime});
}

std::optional<DurationSignalTracker::Measurement> DurationSignalTracker::stopTracking(const QString& signalName)
{
    std::lock_guard lock(mutex_);
    const auto found = startedSignals_.constFind(signalName);
    if (found == startedSignals_.cend())
        return std::nullopt;
    Measurement measurement{std::max(0.0, Clock::current().monotonicSeconds() - found->startTime), found->parameters};
    startedSignals_.erase(found);
    return measurement;
}

void DurationSignalTracker::handleDidEnterBackgroundNotification()
{
    std::lock_guard lock(mutex_);
    lastEnteredBackground_ = Clock::current().monotonicSeconds();
}

void DurationSignalTracker::handleWillEnterForegroundNotification()
{
    std::lock_guard lock(mutex_);
    if (!lastEnteredBackground_)
        return;
    const double now = Clock::current().monotonicSeconds();
    for (CachedData& data : startedSignals_) {
        if (data.includeBackgroundTime)
            continue;
        // Only the inactive time after the measurement started is taken off.
        data.startTime += std::max(0.0, now - std::max(*lastEnteredBackground_, data.startTime));
    }
    lastEnteredBackground_.reset();
}

Parameters DurationSignalTracker::signalParameters(const Measurement& measurement, const Parameters& stopParameters)
{
    const double milliseconds = std::floor(measurement.seconds * 1000.0) / 1000.0;
    Parameters parameters{{kDurationKey.toString(), decimalText(milliseconds)}};
    return merged(merged(std::move(parameters), measurement.parameters), stopParameters);
}

} // namespace signalry
