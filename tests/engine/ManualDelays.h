#pragma once

#include "state/Delays.h"

#include <QList>
#include <QPointer>

#include <functional>

// Delays that never wait: a sleep ends at once and is remembered; a delayed call is kept until
// the test runs it. Lets a test follow timings of seconds without waiting for them.
class ManualDelays {
public:
    Delays delays()
    {
        return Delays{
            [this](int ms, std::stop_token) -> QCoro::Task<bool> {
                sleeps_.append(ms);
                co_return true;
            },
            [this](int ms, const QObject* context, std::function<void()> fn) {
                scheduled_.append(ms);
                pending_.append({QPointer<const QObject>(context), std::move(fn)});
            },
        };
    }

    // Every sleep and every delayed call asked for so far, in milliseconds.
    const QList<int>& sleeps() const { return sleeps_; }
    const QList<int>& scheduled() const { return scheduled_; }

    // Runs the delayed calls, and those they schedule, as if their time had come.
    void runScheduled()
    {
        while (!pending_.isEmpty()) {
            Pending next = pending_.takeFirst();
            if (next.context)
                next.fn();
        }
    }

private:
    struct Pending {
        QPointer<const QObject> context;
        std::function<void()> fn;
    };

    QList<int> sleeps_;
    QList<int> scheduled_;
    QList<Pending> pending_;
};
