#include "pictor/core/DispatchQueue.h"

#include <QThreadPool>

namespace pictor {

namespace {
thread_local const DispatchQueue* runningQueue = nullptr;
}

std::shared_ptr<DispatchQueue> DispatchQueue::create(const QString& label)
{
    return std::shared_ptr<DispatchQueue>(new DispatchQueue(label));
}

void DispatchQueue::async(std::function<void()> job)
{
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(job));
        if (running_)
            return;
        running_ = true;
    }
    QThreadPool::globalInstance()->start([self = shared_from_this()] { self->drain(); });
}

void DispatchQueue::drain()
{
    for (;;) {
        std::function<void()> job;
        {
            std::lock_guard lock(mutex_);
            if (jobs_.empty()) {
                running_ = false;
                return;
            }
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        runningQueue = this;
        job();
        runningQueue = nullptr;
    }
}

bool DispatchQueue::isCurrent() const { return runningQueue == this; }

} // namespace pictor
