#include "TestDelays.h"

#include "foundation/Async.h"

#include <algorithm>

namespace {
constexpr int kHeldLimitMs = 60'000;
}

Delays TestDelays::delays()
{
    return Delays{
        [this](int ms, std::stop_token stop) { return sleep(ms, std::move(stop)); },
        [this](int ms, const QObject* context, std::function<void()> fn) {
            scheduledLengths_.append(ms);
            calls_.append(Call{now_ + ms, context, std::move(fn)});
        },
    };
}

QCoro::Task<bool> TestDelays::sleep(int ms, std::stop_token stop)
{
    sleeps_.append(ms);
    if (hold_)
        return heldSleep(held_, release_.get_token(), std::move(stop));
    return sleepFor(1, std::move(stop));
}

QCoro::Task<bool> TestDelays::heldSleep(std::shared_ptr<int> held, std::stop_token release, std::stop_token stop)
{
    ++*held;
    std::stop_source wake;
    std::stop_callback onStop(stop, [&wake] { wake.request_stop(); });
    std::stop_callback onRelease(release, [&wake] { wake.request_stop(); });
    co_await sleepFor(kHeldLimitMs, wake.get_token());
    --*held;
    co_return !stop.stop_requested();
}

void TestDelays::releaseSleeps()
{
    release_.request_stop();
    release_ = std::stop_source();
}

void TestDelays::advance(int ms)
{
    const qint64 until = now_ + ms;
    for (;;) {
        const auto next = std::min_element(calls_.begin(), calls_.end(),
            [](const Call& a, const Call& b) { return a.due < b.due; });
        if (next == calls_.end() || next->due > until)
            break;
        const Call call = *next;
        calls_.erase(next);
        now_ = call.due;
        if (call.context)
            call.fn();
    }
    now_ = until;
}
