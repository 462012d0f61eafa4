#pragma once

#include "signalry/Clock.h"

#include <mutex>

// A clock that moves only when the test moves it. The wall clock can jump on its own, as a
// user setting the system time would make it.
class ManualClock : public signalry::Clock {
public:
    explicit ManualClock(QDateTime start = QDateTime(QDate(2025, 3, 2), QTime(12, 0), Qt::UTC)) : now_(std::move(start)) {}

    QDateTime now() const override
    {
        std::lock_guard lock(mutex_);
        return now_;
    }
    double monotonicSeconds() const override
    {
        std::lock_guard lock(mutex_);
        return monotonic_;
    }
    // Time passes: both clocks move.
    void advance(double seconds)
    {
        std::lock_guard lock(mutex_);
        now_ = now_.addMSecs(static_cast<qint64>(seconds * 1000));
        monotonic_ += seconds;
    }
    void setWallClock(QDateTime moment)
    {
        std::lock_guard lock(mutex_);
        now_ = std::move(moment);
    }

private:
    mutable std::mutex mutex_;
    QDateTime now_;
    double monotonic_ = 1000.0;
};
