#pragma once

#include "foundation/SerialQueue.h"

#include <QFuture>
#include <QObject>

#include <functional>

// Runs the writes of one store behind its changes, on a worker of its own, one at a time: a
// change asks for a write, and the changes made while one runs are folded into a single write
// after it. Each write is prepared on the GUI thread (taking a snapshot of what is to be
// written), does its work on the worker and hands back a step that finishes it on the GUI
// thread. flush() waits for the write under way and does the one asked for since at once.
// Lives on the GUI thread.
class WriteBehind : public QObject {
public:
    // Runs on the GUI thread once the work is done.
    using Finish = std::function<void()>;
    // Runs on the worker.
    using Work = std::function<Finish()>;
    // Runs on the GUI thread when a write starts: the snapshot it writes.
    using Prepare = std::function<Work()>;

    WriteBehind(const QString& label, Prepare prepare, QObject* parent = nullptr);
    // Flushes.
    ~WriteBehind() override;

    // A change to write; folded into the next write when one runs.
    void request();
    // A write runs, or is asked for.
    bool isBusy() const { return running_ || pending_; }
    void flush();
    // The write asked for is not needed after all (what it would save is saved elsewhere).
    void forgetPending() { pending_ = false; }

private:
    void start();
    void finish(const Finish& step);

    const Prepare prepare_;
    QFuture<Finish> work_;
    // A write runs; numbered, so the answer of one that flush() already took is ignored.
    bool running_ = false;
    quint64 number_ = 0;
    // A change came while the write ran.
    bool pending_ = false;
    // Last, so that it is gone (its worker done) before the rest.
    SerialQueue worker_;
};
