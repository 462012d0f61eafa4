#pragma once

#include "state/Delays.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

// Delays an updater test drives: sleeps end at once, delayed calls wait until the test runs
// them, and every requested length is kept.
class ManualDelays {
public:
    Delays delays();

    // The lengths of the delayed calls scheduled so far, in order.
    QList<int> scheduled() const;
    // Runs (once) every delayed call scheduled so far whose context is still alive.
    void runScheduled();

private:
    struct Call {
        int ms;
        QPointer<const QObject> context;
        std::function<void()> fn;
        bool done = false;
    };

    std::shared_ptr<QList<Call>> calls_ = std::make_shared<QList<Call>>();
};
