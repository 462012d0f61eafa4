#include "ManualDelays.h"

Delays ManualDelays::delays()
{
    auto sleep = [](int, std::stop_token) -> QCoro::Task<bool> { co_return true; };
    auto after = [calls = calls_](int ms, const QObject* context, std::function<void()> fn) {
        calls->append({ms, context, std::move(fn)});
    };
    return {sleep, after};
}

QList<int> ManualDelays::scheduled() const
{
    QList<int> lengths;
    for (const Call& call : *calls_)
        lengths.append(call.ms);
    return lengths;
}

void ManualDelays::runScheduled()
{
    // A call may schedule more; those wait for the next run.
    const qsizetype count = calls_->size();
    for (qsizetype i = 0; i < count; ++i) {
        Call& call = (*calls_)[i];
        if (call.done || !call.context)
            continue;
        call.done = true;
        const std::function<void()> fn = call.fn;
        fn();
    }
}
