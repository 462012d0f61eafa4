#pragma once

#include <QCoro/QCoroTask>

#include <functional>
#include <stop_token>

class QObject;

// How the state services wait: a cancellable sleep inside coroutines and a delayed call on the
// GUI thread. Services take one in their constructor so that tests can shorten or drive every
// delay (the connection retry, the toast's hide and reset, the deep-link wait) instead of
// sleeping for seconds.
struct Delays {
    // Suspends for `ms`; false when the stop token ended the wait early.
    using Sleep = std::function<QCoro::Task<bool>(int ms, std::stop_token stop)>;
    // Runs `fn` on the GUI thread after `ms`, unless `context` is gone by then.
    using After = std::function<void(int ms, const QObject* context, std::function<void()> fn)>;

    Sleep sleep;
    After after;

    // Real timers: sleepFor and runAfter.
    static Delays real();
};
