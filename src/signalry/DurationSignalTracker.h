#pragma once

#include "signalry/Parameters.h"

#include <QHash>

#include <mutex>
#include <optional>

namespace signalry {

// The running duration measurements, by signal name. Unless a measurement includes background
// time, the time the application spends inactive after the measurement started is taken off
// when it becomes active again. Times are monotonic, so a duration is never negative. Any
// thread may call it; measurements live in memory only.
class DurationSignalTracker {
public:
    struct Measurement {
        double seconds = 0.0;
        Parameters parameters;
    };

    static constexpr QStringView kDurationKey = u"Signalry.Signal.durationInSeconds";

    DurationSignalTracker() = default;
    // The process-wide tracker, following the application's activity.
    static DurationSignalTracker& shared();

    // Replaces a running measurement of the same name.
    void startTracking(const QString& signalName, const Parameters& parameters, bool includeBackgroundTime);
    // Removes the measurement and returns its elapsed seconds and start parameters.
    std::optional<Measurement> stopTracking(const QString& signalName);

    void handleDidEnterBackgroundNotification();
    void handleWillEnterForegroundNotification();

    // { durationInSeconds: seconds cut to whole milliseconds } under the start parameters, under
    // the stop call's.
    static Parameters signalParameters(const Measurement& measurement, const Parameters& stopParameters);

private:
    struct CachedData {
        double startTime = 0.0; // monotonic seconds
        Parameters parameters;
        bool includeBackgroundTime = false;
    };

    std::mutex mutex_;
    QHash<QString, CachedData> startedSignals_;
    std::optional<double> lastEnteredBackground_;
};

} // namespace signalry
