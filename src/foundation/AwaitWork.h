#pragma once

#include <QCoro/QCoroFuture>
#include <QFuture>
#include <QUnhandledException>

#include <exception>
#include <type_traits>

// Awaits work started with QtConcurrent::run and rethrows the exception it ended with as
// itself: QtConcurrent wraps any exception that does not derive from QException in
// QUnhandledException.
template <typename T>
QCoro::Task<T> awaitWork(QFuture<T> future)
{
    try {
        if constexpr (std::is_void_v<T>) {
            co_await future;
            co_return;
        } else {
            co_return co_await future;
        }
    } catch (const QUnhandledException& wrapped) {
        if (wrapped.exception())
            std::rethrow_exception(wrapped.exception());
        throw;
    }
}
