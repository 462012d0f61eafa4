#pragma once

#include "signalry/LogHandler.h"
#include "signalry/SignalPostBody.h"

#include <QHash>

#include <deque>
#include <memory>
#include <mutex>
#include <optional>

namespace signalry {

// The signals not yet delivered, oldest first: those waiting to be posted and the batches in
// flight. The file "signalrysignalcache" in the Caches folder holds the same records: it is read
// at start (on the sender's thread, refused above kMaximumFileBytes) and kept until its records
// are delivered, rewritten whenever the records changed (by the sender at most every 10 seconds)
// and at termination, so a crash or kill -9 loses at most the last moments. A file with a record
// that does not read is moved aside whole (".damaged") and its other records kept; one whose
// mode refuses reading is moved aside too. One that fails to read for a passing reason (too many
// open files, an I/O error, a directory in its place) stays where it is, unread and never written
// over, and is read again at the next load or save. Either is told to FileNotices. Holds at most
// kMaximumNumberOfSignals; beyond that the oldest are dropped and logged. Every operation may run
// on any thread; a batch leaves the waiting records under the same lock that selects it, so two
// overlapping sends never post one record twice. Managers of one process that use the same file
// share one cache (open()), so a replaced manager never overwrites its successor's records.
class SignalCache {
public:
    static constexpr int kMaximumNumberOfSignalsToPopAtOnce = 100;
    static constexpr int kMaximumNumberOfSignals = 10'000;
    // A full cache of ordinary signals takes about 27 MB, one of long payloads several times
    // that; a larger file is moved aside unread.
    static constexpr qint64 kMaximumFileBytes = 512 << 20;

    // Records posted together, under an identity of this cache.
    struct Batch {
        quint64 id = 0;
        QList<SignalPostBody> records;
    };

    // The file is read by load().
    SignalCache(QString filePath, std::optional<LogHandler> logHandler);
    SignalCache(const SignalCache&) = delete;
    SignalCache& operator=(const SignalCache&) = delete;

    // The cache of `filePath` that is open in this process, or a new one.
    static std::shared_ptr<SignalCache> open(const QString& filePath, std::optional<LogHandler> logHandler);
    static QString defaultFilePath();

    // Reads the file once, putting its records before any pushed meanwhile; later calls do nothing,
    // unless the file failed to read.
    void load();

    void pushSignal(SignalPostBody signal);
    // Appends in the given order.
    void pushSignals(const QList<SignalPostBody>& signalList);
    // Moves the oldest waiting records, at most kMaximumNumberOfSignalsToPopAtOnce, into flight.
    Batch popBatch();
    // The batch was delivered (or refused for good): it is forgotten. Returns its size.
    int confirm(quint64 batchId);
    // The batch was not delivered: its records go back to the end of the waiting ones.
    void requeue(quint64 batchId);
    // Waiting records, not counting those in flight.
    int count() const;
    // Batches sent whose answer has not been heard yet.
    int inFlightCount() const;
    // A copy of every waiting record, oldest first.
    QList<SignalPostBody> snapshot() const;

    // Writes every undelivered record to the file (an empty array when there is none), once the
    // file in place was read. On failure logs "Error saving Signalry cache"; the records stay in
    // memory either way.
    void saveToDisk();
    // Saves only when the records changed since the last save.
    void saveIfChanged();

private:
    struct FileRecords {
        // The newest kMaximumNumberOfSignals records that read, oldest first.
        QList<SignalPostBody> records;
        bool found = false;
        bool movedAside = false;
        // Failed for a passing reason: it stays in place to be read again.
        bool unread = false;
    };

    // Reads the file's records; a file that is not a whole JSON array of readable records is
    // moved aside, and the records of it that read on their own are kept.
    FileRecords readFile();
    // Renames the file to keep it as it is (what it holds is not lost); a file it cannot rename
    // stays, and the writer never replaces it while it cannot be read.
    void moveFileAside(const QString& why);
    void dropOverflowLocked();
    void changedLocked() { ++generation_; }
    void log(LogHandler::LogLevel level, const QString& message) const;

    const QString filePath_;
    const std::optional<LogHandler> logHandler_;
    mutable std::mutex mutex_;
    std::deque<SignalPostBody> cachedSignals_;
    QHash<quint64, QList<SignalPostBody>> inFlight_;
    quint64 nextBatchId_ = 1;
    bool loaded_ = false;
    quint64 generation_ = 0;
    std::optional<quint64> savedGeneration_;
    // One writer of the file at a time; taken before mutex_.
    std::mutex fileMutex_;
};

} // namespace signalry
