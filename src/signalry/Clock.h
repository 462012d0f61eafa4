#pragma once

#include <QDateTime>

namespace signalry {

// The client's sense of time: the wall clock stamps records and names calendar days, the
// monotonic clock measures durations, so a wall clock set backwards never makes one negative.
// The base class reads the system; a test installs its own with Clock::Override.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const;
    // Seconds since an arbitrary fixed moment; never goes backwards.
    virtual double monotonicSeconds() const;

    static const Clock& current();

    class Override {
    public:
        explicit Override(const Clock& clock);
        ~Override();
        Override(const Override&) = delete;
        Override& operator=(const Override&) = delete;

    private:
        const Clock* previous_;
    };
};

} // namespace signalry
