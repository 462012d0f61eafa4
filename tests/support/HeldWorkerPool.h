#pragma once

#include <QSemaphore>
#include <QThreadPool>

// Holds the global worker pool (QtConcurrent's) busy for its lifetime, or until release(): work
// handed to it waits meanwhile, so a test can see that the GUI thread did not do that work itself.
class HeldWorkerPool {
public:
    HeldWorkerPool() : pool_(*QThreadPool::globalInstance()), previousMax_(pool_.maxThreadCount())
    {
        pool_.setMaxThreadCount(1);
        pool_.start([this] { gate_.acquire(); });
    }
    ~HeldWorkerPool()
    {
        release();
        pool_.setMaxThreadCount(previousMax_);
    }
    HeldWorkerPool(const HeldWorkerPool&) = delete;
    HeldWorkerPool& operator=(const HeldWorkerPool&) = delete;

    void release()
    {
        if (released_)
            return;
        released_ = true;
        gate_.release();
    }

private:
    QThreadPool& pool_;
    const int previousMax_;
    QSemaphore gate_;
    bool released_ = false;
};
