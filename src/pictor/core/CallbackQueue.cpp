#include "pictor/core/CallbackQueue.h"

#include <QCoreApplication>
#include <QThread>

namespace pictor {

void CallbackQueue::execute(std::function<void()> job) const
{
    switch (kind_) {
    case Kind::mainAsync:
        runMainAsync(std::move(job));
        return;
    case Kind::mainCurrentOrAsync:
        runMainCurrentOrAsync(std::move(job));
        return;
    case Kind::untouch:
        job();
        return;
    case Kind::dispatch:
        queue_->async(std::move(job));
        return;
    }
}

bool CallbackQueue::isCurrent() const
{
    switch (kind_) {
    case Kind::mainAsync:
    case Kind::mainCurrentOrAsync: {
        const QCoreApplication* app = QCoreApplication::instance();
        return !app || QThread::currentThread() == app->thread();
    }
    case Kind::untouch:
        return true;
    case Kind::dispatch:
        return queue_->isCurrent();
    }
    return false;
}

void CallbackQueue::deliver(std::function<void()> job) const
{
    if (isCurrent())
        job();
    else
        execute(std::move(job));
}

void CallbackQueue::runMainAsync(std::function<void()> job)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) {
        job();
        return;
    }
    QMetaObject::invokeMethod(app, std::move(job), Qt::QueuedConnection);
}

void CallbackQueue::runMainCurrentOrAsync(std::function<void()> job)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread())
        job();
    else
        QMetaObject::invokeMethod(app, std::move(job), Qt::QueuedConnection);
}

} // namespace pictor
