#pragma once

#include <QFuture>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

// Runs jobs one after another, in submission order, on one worker thread of its own: the
// stand-in for a serial dispatch queue. Await a job with QCoro (co_await queue.run(...)).
class SerialQueue {
public:
    explicit SerialQueue(const QString& label)
    {
        pool_.setMaxThreadCount(1);
        pool_.setObjectName(label);
    }
    ~SerialQueue() { pool_.waitForDone(); }
    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    template <typename Fn>
    auto run(Fn&& fn)
    {
        return QtConcurrent::run(&pool_, std::forward<Fn>(fn));
    }

    // Blocks until every job submitted so far has finished.
    void drain() { pool_.waitForDone(); }

private:
    QThreadPool pool_;
};
