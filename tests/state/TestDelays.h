#pragma once

#include "state/Delays.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <stop_token>

// Delays a test controls. Sleeps are recorded with their requested length and end after a
// millisecond, or, while held, when the test releases them. Delayed calls wait on a manual clock
// that only the test advances.
class TestDelays {
public:
    Delays delays();

    // The lengths of every sleep asked for, in order.
    const QList<int>& sleeps() const { return sleeps_; }
    int heldSleeps() const { return *held_; }
    void holdSleeps(bool hold) { hold_ = hold; }
    // Ends every held sleep now.
    void releaseSleeps();

    // The lengths of every delayed call scheduled, in order.
    const QList<int>& scheduled() const { return scheduledLengths_; }
    // Moves the manual clock on, running the calls that fall due, in due order.
    void advance(int ms);

private:
    struct Call {
        qint64 due;
        QPointer<const QObject> context;
        std::function<void()> fn;
    };

    QCoro::Task<bool> sleep(int ms, std::stop_token stop);
    // Touches nothing of this object once suspended: the sleeper may outlive the test's delays.
    static QCoro::Task<bool> heldSleep(std::shared_ptr<int> held, std::stop_token release, std::stop_token stop);

    QList<int> sleeps_;
    bool hold_ = false;
    std::shared_ptr<int> held_ = std::make_shared<int>(0);
    std::stop_source release_;
    QList<int> scheduledLengths_;
    QList<Call> calls_;
    qint64 now_ = 0;
};
