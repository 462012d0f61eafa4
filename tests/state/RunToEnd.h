#pragma once

#include "support/TaskWait.h"

// Runs a task without a value to its end in a test, rethrowing what it threw.
inline void runToEnd(QCoro::Task<> task)
{
    waitForTask([](QCoro::Task<> inner) -> QCoro::Task<bool> {
        co_await std::move(inner);
        co_return true;
    }(std::move(task)));
}
