#include "foundation/Async.h"

#include "foundation/AppError.h"
#include "foundation/Log.h"

#include <QCoreApplication>
#include <QCoro/QCoroTimer>
#include <QTimer>

#include <memory>

void postToMain(std::function<void()> fn)
{
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(fn), Qt::QueuedConnection);
}

void runAfter(int ms, const QObject* context, std::function<void()> fn)
{
    QTimer::singleShot(ms, context, std::move(fn));
}

namespace {
QCoro::Task<> guarded(QCoro::Task<> task, QString owner)
{
    try {
        co_await std::move(task);
    } catch (const std::exception& error) {
        logLine(QStringLiteral("❌"), owner, QStringLiteral("Unhandled error: ") + describeError(error));
    } catch (...) {
        logLine(QStringLiteral("❌"), owner, QStringLiteral("Unhandled error"));
    }
}
} // namespace

void fireAndForget(QCoro::Task<> task, const QString& owner)
{
    // Dropping a running QCoro task lets it finish and free itself.
    auto running = guarded(std::move(task), owner);
    Q_UNUSED(running);
}

void launch(std::function<QCoro::Task<>()> coroutine, const QString& owner)
{
    postToMain([coroutine = std::move(coroutine), owner] {
        QCoro::Task<> task;
        try {
            task = coroutine();
        } catch (const std::exception& error) {
            logLine(QStringLiteral("❌"), owner, QStringLiteral("Unhandled error: ") + describeError(error));
            return;
        }
        fireAndForget(std::move(task), owner);
    });
}

QCoro::Task<bool> sleepFor(int ms, std::stop_token token)
{
    if (token.stop_requested())
        co_return false;
    auto timer = std::make_unique<QTimer>();
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    bool stopped = false;
    QTimer* raw = timer.get();
    // The stop may come from any thread: hop to the timer's thread and end the wait there.
    std::stop_callback onStop(token, [raw, &stopped] {
        QMetaObject::invokeMethod(raw, [raw, &stopped] {
            stopped = true;
            raw->start(0); // fires on the next turn, ending the wait early
        }, Qt::QueuedConnection);
    });
    timer->start(ms);
    co_await qCoro(raw).waitForTimeout();
    co_return !stopped;
}
