#include "state/Delays.h"

#include "foundation/Async.h"

Delays Delays::real()
{
    return Delays{
        [](int ms, std::stop_token stop) { return sleepFor(ms, std::move(stop)); },
        [](int ms, const QObject* context, std::function<void()> fn) { runAfter(ms, context, std::move(fn)); },
    };
}
