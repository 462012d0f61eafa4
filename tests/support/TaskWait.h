#pragma once

#include <QCoro/QCoroTask>

#include <exception>
#include <optional>

// Runs a task to its end in a test and hands back its value, or rethrows what it threw.
// (QCoro::waitFor never returns when the task throws.)
template <typename T>
T waitForTask(QCoro::Task<T> task)
{
    std::exception_ptr failure;
    auto caught = [](QCoro::Task<T> inner, std::exception_ptr& error) -> QCoro::Task<std::optional<T>> {
        try {
            co_return co_await std::move(inner);
        } catch (...) {
            error = std::current_exception();
        }
        co_return std::nullopt;
    };
    std::optional<T> value = QCoro::waitFor(caught(std::move(task), failure));
    if (failure)
        std::rethrow_exception(failure);
    return std::move(*value);
}

// waitForTask for a task without a value: runs it to its end, or rethrows what it threw.
inline void waitForTask(QCoro::Task<> task)
{
    waitForTask([](QCoro::Task<> inner) -> QCoro::Task<bool> {
        co_await std::move(inner);
        co_return true;
    }(std::move(task)));
}
