#include "engine/AsyncFifoLock.h"

#include <QCoro/QCoroFuture>
#include <QPromise>

AsyncFifoLock::Guard& AsyncFifoLock::Guard::operator=(Guard&& other) noexcept
{
    if (this != &other) {
        release();
        turn_ = std::move(other.turn_);
    }
    return *this;
}

AsyncFifoLock::Guard::~Guard() { release(); }

void AsyncFifoLock::Guard::release()
{
    if (turn_)
        turn_->finish();
    turn_.reset();
}

QCoro::Task<AsyncFifoLock::Guard> AsyncFifoLock::lock()
{
    auto turn = std::make_shared<QPromise<void>>();
    turn->start();
    // The next caller waits for this turn, whatever happens to the ones before it.
    const QFuture<void> previous = std::exchange(tail_, turn->future());
    if (previous.isValid() && !previous.isFinished())
        co_await previous;
    co_return Guard(turn);
}
