#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <functional>

// Turns the event loop until `done` holds; false when `timeoutMs` passed first.
inline bool benchWaitUntil(const std::function<bool()>& done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    return true;
}
