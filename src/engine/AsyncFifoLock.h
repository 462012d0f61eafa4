#pragma once

#include <QCoro/QCoroTask>
#include <QFuture>

#include <memory>

template <typename T>
class QPromise;

// Lets coroutines on the GUI thread take turns on a resource, in the order they asked: each
// lock() waits until every earlier holder has let go, without blocking the event loop. The
// turn ends when the returned Guard goes, an exception included.
class AsyncFifoLock {
public:
    class Guard {
    public:
        Guard() = default;
        explicit Guard(std::shared_ptr<QPromise<void>> turn) : turn_(std::move(turn)) {}
        Guard(Guard&&) noexcept = default;
        Guard& operator=(Guard&& other) noexcept;
        ~Guard();

    private:
        void release();

        std::shared_ptr<QPromise<void>> turn_;
    };

    QCoro::Task<Guard> lock();

private:
    // Finishes when the last holder or waiter so far lets go.
    QFuture<void> tail_;
};
