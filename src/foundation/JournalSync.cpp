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
    const quint64 number = ++number_;
    QFuture<QString> work = worker_.run([this, path = path_, number] {
        QString failure;
        SettingsJournal::sync(path, &failure);
        // Posted, never called: the answer comes on a later turn of the GUI thread's event loop,
        // and a sync that finish() already answered is not answered again.
        QMetaObject::invokeMethod(this, [this, number, failure] { answer(number, failure); }, Qt::QueuedConnection);
        return failure;
    });
    pending_.append({number, work, std::move(done), std::nullopt});
}

void JournalSync::answer(quint64 number, const QString& failure)
{
    for (Pending& pending : pending_)
        if (pending.number == number)
            pending.failure = failure;
    takeAnswered();
}

void JournalSync::takeAnswered()
{
    while (!pending_.isEmpty() && pending_.first().failure) {
        // Taken out first: a step may ask for the next sync.
        const Pending answered = pending_.takeFirst();
        answered.done(*answered.failure);
    }
}

void JournalSync::finish()
{
    while (!pending_.isEmpty()) {
        Pending& first = pending_.first();
        if (!first.failure) {
            first.work.waitForFinished();
            first.failure = first.work.result();
        }
        takeAnswered();
    }
}
