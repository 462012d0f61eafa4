#pragma once

#include "support/TaskWait.h"

// waitForTask for a task without a value: runs it to its end in a test, or rethrows what it
// threw. Chosen over the template for QCoro::Task<>.
inline void waitForTask(QCoro::Task<> task)
{
    waitForTask([](QCoro::Task<> inner) -> QCoro::Task<bool> {
        co_await std::move(inner);
        co_return true;
    }(std::move(task)));
}
