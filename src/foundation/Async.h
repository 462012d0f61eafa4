#pragma once

#include <QCoro/QCoroTask>
#include <QObject>

#include <functional>
#include <stop_token>

// Queued call on the GUI thread: runs on a later turn of the event loop, in FIFO order.
void postToMain(std::function<void()> fn);

// Runs fn after `ms` milliseconds on the GUI thread, unless `context` is gone by then.
void runAfter(int ms, const QObject* context, std::function<void()> fn);

// Lets a started task run to its end without an owner; an exception it throws is logged under
// `owner`, never rethrown, so nothing leaves a slot or timer callback.
void fireAndForget(QCoro::Task<> task, const QString& owner = QStringLiteral("Task"));

// Starts a coroutine on the next turn of the event loop, like an unstructured task (QCoro
// starts coroutines eagerly; this keeps the caller's remaining steps first).
void launch(std::function<QCoro::Task<>()> coroutine, const QString& owner = QStringLiteral("Task"));

// Sleeps without blocking the event loop. True when the full time passed, false when the
// stop token was triggered first.
QCoro::Task<bool> sleepFor(int ms, std::stop_token token = {});
