#pragma once

#include "signalry/LogHandler.h"
#include "signalry/SignalPostBody.h"

#include <deque>
#include <mutex>
#include <optional>

namespace signalry {

// The signals waiting to be posted, oldest first. Kept in memory, saved to the file
// "signalrysignalcache" in the Caches folder at termination and read back (and consumed) at the
// next start. Holds at most kMaximumNumberOfSignals; beyond that the oldest are dropped and
// logged. Every operation may run on any thread; a batch leaves the cache under the same lock
// that selects it, so two overlapping sends never post one record twice.
class SignalCache {
public:
    static constexpr int kMaximumNumberOfSignalsToPopAtOnce = 100;
    static constexpr int kMaximumNumberOfSignals = 10'000;

    // Loads the file at `filePath`.
    SignalCache(QString filePath, std::optional<LogHandler> logHandler);
    SignalCache(const SignalCache&) = delete;
    SignalCache& operator=(const SignalCache&) = delete;

    static QString defaultFilePath();

    void pushSignal(SignalPostBody signal);
    // Appends in the given order.
    void pushSignals(const QList<SignalPostBody>& signalList);
    // Removes and returns the oldest records, at most kMaximumNumberOfSignalsToPopAtOnce.
    QList<SignalPostBody> popBatch();
    int count() const;
    // A copy of every cached record, oldest first.
    QList<SignalPostBody> snapshot() const;

    // Writes every record to the file (together with records a replaced cache of this process
    // left there) and empties the cache. On failure logs "Error saving Signalry cache" and keeps
    // them. `evenWhenEmpty` false skips the write when nothing is cached.
    void saveToDisk(bool evenWhenEmpty = true);

private:
    void loadFromDisk();
    // Reads the file's records; a file that is not a JSON array is moved aside.
    QList<SignalPostBody> readFile(const QByteArray& data);
    void dropOverflowLocked();
    void log(LogHandler::LogLevel level, const QString& message) const;

    const QString filePath_;
    const std::optional<LogHandler> logHandler_;
    mutable std::mutex mutex_;
    std::deque<SignalPostBody> cachedSignals_;
};

} // namespace signalry
