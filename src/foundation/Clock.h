#pragma once

#include <QDateTime>

// Wall-clock time, replaceable in tests by a ManualClock.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;

    // The system clock, shared by every service that is not given another.
    static Clock& system();
};

class SystemClock : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTimeUtc(); }
};

// A clock that only moves when a test moves it.
class ManualClock : public Clock {
public:
    explicit ManualClock(QDateTime start = QDateTime::fromSecsSinceEpoch(1'800'000'000, Qt::UTC))
        : now_(std::move(start)) {}
    QDateTime now() const override { return now_; }
    void set(QDateTime time) { now_ = std::move(time); }
    void advance(qint64 seconds) { now_ = now_.addSecs(seconds); }

private:
    QDateTime now_;
};
