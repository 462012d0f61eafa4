#pragma once

#include "state/Delays.h"

#include <QTimer>

// Delays whose delayed calls fall due on the next turn of the event loop, whatever their length:
// a toast hidden "after 2 s" is hidden once the test runs what the loop holds. Sleeps are real.
inline Delays immediateDelays()
{
    return Delays{Delays::real().sleep,
        [](int, const QObject* context, std::function<void()> fn) { QTimer::singleShot(0, context, std::move(fn)); }};
}
