#include "foundation/WriteBehind.h"

#include <utility>

WriteBehind::WriteBehind(const QString& label, Prepare prepare, QObject* parent)
    : QObject(parent), prepare_(std::move(prepare)), worker_(label)
{
}

WriteBehind::~WriteBehind() { flush(); }

void WriteBehind::request()
{
    if (running_) {
        pending_ = true;
        return;
    }
    start();
}

void WriteBehind::start()
{
    running_ = true;
    const quint64 number = ++number_;
    work_ = worker_.run(prepare_());
    // Always finished on a later turn of the event loop, never inside the change that asked.
    work_.then(this, [this, number](const Finish& step) {
        QMetaObject::invokeMethod(
            this,
            [this, number, step] {
                if (!running_ || number != number_)
                    return;
                finish(step);
                if (std::exchange(pending_, false))
                    start();
            },
            Qt::QueuedConnection);
    });
}

void WriteBehind::finish(const Finish& step)
{
    running_ = false;
    step();
}

void WriteBehind::flush()
{
    if (running_) {
        work_.waitForFinished();
        finish(work_.result());
    }
    if (std::exchange(pending_, false))
        prepare_()()();
}
