#include "state/SingleFlight.h"

#include <QCoro/QCoroSignal>
#include <QPointer>

QCoro::Task<> SingleFlight::run(Job job)
{
    if (running_) {
        co_await qCoro(this, &SingleFlight::finished);
        co_return;
    }
    running_ = true;
    QPointer<SingleFlight> self(this);
    co_await job();
    if (!self)
        co_return;
    running_ = false;
    Q_EMIT finished();
}
