#pragma once

#include <QCoro/QCoroTask>
#include <QObject>

#include <functional>

// One asynchronous job at a time, shared by every caller: a caller that arrives while the job
// runs waits for that run to end instead of starting a second one, so each caller decides on
// the real outcome. The job must not throw. GUI thread; owned by the service it guards.
class SingleFlight : public QObject {
    Q_OBJECT

public:
    using Job = std::function<QCoro::Task<>()>;

    explicit SingleFlight(QObject* parent = nullptr) : QObject(parent) {}

    // Starts `job` unless a run is under way; returns once the current run has ended.
    QCoro::Task<> run(Job job);

Q_SIGNALS:
    // The run in progress has ended.
    void finished();

private:
    bool running_ = false;
};
