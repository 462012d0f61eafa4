#pragma once

#include "library/RotationTimer.h"

#include <chrono>
#include <optional>

// A rotation timer that a test fires by hand; it remembers the interval it was started with.
class ManualRotationTimer : public RotationTimer {
public:
    void start(std::chrono::milliseconds interval) override
    {
        interval_ = interval;
        ++starts_;
    }
    void stop() override { interval_.reset(); }
    bool isActive() const override { return interval_.has_value(); }

    // One firing, as the real timer would give it; nothing while stopped.
    void fire()
    {
        if (isActive())
            Q_EMIT timeout();
    }
    std::optional<std::chrono::milliseconds> interval() const { return interval_; }
    // How often it was (re)started.
    int starts() const { return starts_; }

private:
    std::optional<std::chrono::milliseconds> interval_;
    int starts_ = 0;
};
