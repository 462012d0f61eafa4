#include "foundation/JournalSync.h"

#include "foundation/SettingsJournal.h"

#include <utility>

JournalSync::JournalSync(QString path, QObject* parent)
    : QObject(parent), path_(std::move(path)), worker_(QStringLiteral("Settings journal sync"))
{
}

JournalSync::~JournalSync() { finish(); }

void JournalSync::request(Done done)
{
    QFuture<QString> failure = worker_.run([path = path_] {
        QString reason;
        SettingsJournal::sync(path, &reason);
        return reason;
    });
    pending_.append({failure, std::move(done)});
    failure.then(this, [this](const QString&) { takeFinished(); });
}

void JournalSync::takeFinished()
{
    while (!pending_.isEmpty() && pending_.first().failure.isFinished()) {
        // Taken out first: a step may ask for the next sync.
        const Pending finished = pending_.takeFirst();
        finished.done(finished.failure.result());
    }
}

void JournalSync::finish()
{
    while (!pending_.isEmpty()) {
        pending_.first().failure.waitForFinished();
        takeFinished();
    }
}
