#pragma once

#include "foundation/SerialQueue.h"

#include <QFuture>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

// Syncs the records appended to a settings journal on a worker of its own, so that a change
// never waits for the disk on the GUI thread, and tells the owner on the GUI thread, in the order
// asked, once each is synced or why it is not. finish() waits for every sync asked for. Lives on
// the GUI thread.
class JournalSync : public QObject {
public:
    // The system's reason, or empty once the records are on disk.
    using Done = std::function<void(const QString& failure)>;

    explicit JournalSync(QString path, QObject* parent = nullptr);
    // Finishes.
    ~JournalSync() override;

    // Syncs what was appended so far; `done` runs on a later turn of the event loop, or in finish().
    void request(Done done);
    bool isBusy() const { return !pending_.isEmpty(); }
    // Waits for every sync asked for and runs their steps, before returning.
    void finish();

private:
    struct Pending {
        quint64 number = 0;
        QFuture<QString> work;
        Done done;
        // Known once the sync ended.
        std::optional<QString> failure;
    };
    // The sync `number` ended: its step runs once every earlier one has.
    void answer(quint64 number, const QString& failure);
    // Runs the steps of the syncs that ended, up to the first still running.
    void takeAnswered();

    const QString path_;
    QList<Pending> pending_;
    quint64 number_ = 0;
    // Last, so that it is gone (its worker done) before the rest.
    SerialQueue worker_;
};
