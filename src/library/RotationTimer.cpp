#include "library/RotationTimer.h"

#include <algorithm>
#include <limits>

RotationTimer::RotationTimer(QObject* parent) : QObject(parent)
{
    // Minutes apart: a coarse timer would drift by up to 5 %, so it keeps to the millisecond.
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &RotationTimer::timeout);
}

void RotationTimer::start(std::chrono::milliseconds interval)
{
    const std::chrono::milliseconds longest(std::numeric_limits<int>::max());
    timer_.start(std::clamp(interval, std::chrono::milliseconds(1), longest));
}

void RotationTimer::stop() { timer_.stop(); }

bool RotationTimer::isActive() const { return timer_.isActive(); }
