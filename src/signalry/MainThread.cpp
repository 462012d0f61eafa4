#include "signalry/MainThread.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

namespace signalry {

bool MainThread::isCurrent()
{
    const QCoreApplication* app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}

void MainThread::post(std::function<void()> work)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) {
        work();
        return;
    }
    QMetaObject::invokeMethod(app, std::move(work), Qt::QueuedConnection);
}

void MainThread::postAfter(int milliseconds, std::function<void()> work)
{
    if (!QCoreApplication::instance()) {
        work();
        return;
    }
    // A timer belongs to the thread that starts it, so the GUI thread starts this one.
    post([milliseconds, work = std::move(work)]() mutable {
        QTimer::singleShot(milliseconds, QCoreApplication::instance(), std::move(work));
    });
}

void MainThread::run(std::function<void()> work)
{
    if (isCurrent())
        work();
    else
        post(std::move(work));
}

} // namespace signalry
