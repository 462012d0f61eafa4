#include "signalry/SignalCache.h"

#include "signalry/AtomicFile.h"
#include "signalry/FileNotices.h"
#include "signalry/JsonArrayElements.h"
#include "signalry/StorageLocations.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

#include <algorithm>

namespace signalry {

using Level = LogHandler::LogLevel;

SignalCache::SignalCache(QString filePath, std::optional<LogHandler> logHandler)
    : filePath_(std::move(filePath)), logHandler_(std::move(logHandler))
{
}

std::shared_ptr<SignalCache> SignalCache::open(const QString& filePath, std::optional<LogHandler> logHandler)
{
    static std::mutex mutex;
    static QHash<QString, std::weak_ptr<SignalCache>> openCaches;
    std::lock_guard lock(mutex);
    openCaches.removeIf([](const auto& entry) { return entry.value().expired(); });
    if (std::shared_ptr<SignalCache> cache = openCaches.value(filePath).lock())
        return cache;
    auto cache = std::make_shared<SignalCache>(filePath, std::move(logHandler));
    openCaches.insert(filePath, cache);
    return cache;
}

QString SignalCache::defaultFilePath() { return StorageLocations::caches() + QStringLiteral("/signalrysignalcache"); }

void SignalCache::load()
{
    std::lock_guard fileLock(fileMutex_);
    {
        std::lock_guard lock(mutex_);
        if (loaded_)
            return;
    }
    log(Level::Info, QStringLiteral("Loading Signalry cache from: ") + QUrl::fromLocalFile(filePath_).toString());
    FileRecords read = readFile();

    std::lock_guard lock(mutex_);
    if (read.unread)
        return; // read again by the next load or save
    loaded_ = true;
    // Until something else arrives, the file says what memory holds; a file moved aside says
    // nothing, and the records that read are written anew at the next save.
    const bool matchesFile = !read.movedAside && cachedSignals_.empty() && inFlight_.isEmpty();
    cachedSignals_.insert(cachedSignals_.begin(), read.records.begin(), read.records.end());
    dropOverflowLocked();
    if (matchesFile)
        savedGeneration_ = generation_;
    if (read.found)
        log(Level::Info, QStringLiteral("Loaded %1 signals").arg(read.records.size()));
}

void SignalCache::pushSignal(SignalPostBody signal)
{
    std::lock_guard lock(mutex_);
    cachedSignals_.push_back(std::move(signal));
    dropOverflowLocked();
    changedLocked();
}

void SignalCache::pushSignals(const QList<SignalPostBody>& signalList)
{
    std::lock_guard lock(mutex_);
    cachedSignals_.insert(cachedSignals_.end(), signalList.begin(), signalList.end());
    dropOverflowLocked();
    changedLocked();
}

SignalCache::Batch SignalCache::popBatch()
{
    std::lock_guard lock(mutex_);
    const auto size = std::min<std::size_t>(cachedSignals_.size(), kMaximumNumberOfSignalsToPopAtOnce);
    Batch batch;
    if (size == 0)
        return batch;
    batch.id = nextBatchId_++;
    batch.records.reserve(static_cast<qsizetype>(size));
    for (std::size_t i = 0; i < size; ++i) {
        batch.records.append(std::move(cachedSignals_.front()));
        cachedSignals_.pop_front();
    }
    // Still undelivered: a save keeps them.
    inFlight_.insert(batch.id, batch.records);
    return batch;
}

int SignalCache::confirm(quint64 batchId)
{
    std::lock_guard lock(mutex_);
    const QList<SignalPostBody> records = inFlight_.take(batchId);
    changedLocked();
    return static_cast<int>(records.size());
}

void SignalCache::requeue(quint64 batchId)
{
    std::lock_guard lock(mutex_);
    const QList<SignalPostBody> records = inFlight_.take(batchId);
    cachedSignals_.insert(cachedSignals_.end(), records.begin(), records.end());
    dropOverflowLocked();
    changedLocked();
}

int SignalCache::count() const
{
    std::lock_guard lock(mutex_);
    return static_cast<int>(cachedSignals_.size());
}

int SignalCache::inFlightCount() const
{
    std::lock_guard lock(mutex_);
    return static_cast<int>(inFlight_.size());
}

QList<SignalPostBody> SignalCache::snapshot() const
{
    std::lock_guard lock(mutex_);
    return QList<SignalPostBody>(cachedSignals_.begin(), cachedSignals_.end());
}

void SignalCache::saveIfChanged()
{
    {
        std::lock_guard lock(mutex_);
        if (loaded_ && savedGeneration_ == generation_)
            return;
    }
    saveToDisk();
}

void SignalCache::saveToDisk()
{
    // Records of the file that were never read must not be written over.
    load();
    std::lock_guard fileLock(fileMutex_);
    QList<SignalPostBody> records;
    quint64 generation = 0;
    {
        std::lock_guard lock(mutex_);
        if (!loaded_) {
            log(Level::Error, QStringLiteral("Error saving Signalry cache"));
            log(Level::Debug, QStringLiteral("The file in place is not read yet"));
            return;
        }
        // Batches in flight are older than what waits.
        QList<quint64> batches = inFlight_.keys();
        std::sort(batches.begin(), batches.end());
        for (const quint64 id : batches)
            records.append(inFlight_.value(id));
        records.append(QList<SignalPostBody>(cachedSignals_.begin(), cachedSignals_.end()));
        generation = generation_;
    }
    const QByteArray data = SignalPostBody::encodeCacheList(records);
    QString error;
    if (!AtomicFile::write(filePath_, data, &error)) {
        log(Level::Error, QStringLiteral("Error saving Signalry cache"));
        log(Level::Debug, error);
        return;
    }
    log(Level::Info, QStringLiteral("Saved Signalry cache %1 bytes of %2 signals").arg(data.size()).arg(records.size()));
    std::lock_guard lock(mutex_);
    savedGeneration_ = generation;
}

SignalCache::FileRecords SignalCache::readFile()
{
    using Outcome = AtomicFile::Contents::Outcome;
    FileRecords read;
    const AtomicFile::Contents contents = AtomicFile::read(filePath_, kMaximumFileBytes);
    switch (contents.outcome) {
    case Outcome::Missing:
        return read;
    case Outcome::Failed:
        // It may read later: until then it is neither moved nor written over.
        read.unread = true;
        log(Level::Error, QStringLiteral("Signalry cache cannot be read now (%1), left in place to be read again").arg(contents.error));
        FileNotices::shared().tell(filePath_, filePath_, false, contents.error);
        return read;
    case Outcome::Refused:
        // Its records were never read, so they are kept aside, never written over.
        read.movedAside = true;
        moveFileAside(QStringLiteral("cannot be read (%1)").arg(contents.error));
        return read;
    case Outcome::TooLarge:
        // No queue of ours grows that large: reading it would only cost time and memory.
        read.found = true;
        read.movedAside = true;
        moveFileAside(QStringLiteral("is too large (%1)").arg(contents.error));
        return read;
    case Outcome::Read:
        break;
    }
    read.found = true;

    // Each record is read on its own: one that does not read costs only itself. Records too old
    // to be kept are never decoded.
    const JsonArrayElements::Elements split = JsonArrayElements::split(contents.data, kMaximumNumberOfSignals);
    int skipped = 0;
    for (const QByteArrayView element : split.elements) {
        const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromRawData(element.data(), element.size()));
        if (std::optional<SignalPostBody> record = document.isObject() ? SignalPostBody::fromCacheJson(document.object()) : std::nullopt)
            read.records.append(std::move(*record));
        else
            ++skipped;
    }
    if (split.dropped > 0)
        log(Level::Error, QStringLiteral("Signalry cache is full, dropped the %1 oldest signals").arg(split.dropped));
    if (skipped > 0)
        log(Level::Error, QStringLiteral("Skipped %1 unreadable signals in the Signalry cache").arg(skipped));
    if (split.whole && skipped == 0)
        return read;

    // Kept aside as it was, so what did not read is not lost with it.
    read.movedAside = true;
    moveFileAside(QStringLiteral("is damaged (%1)")
                      .arg(split.whole ? QStringLiteral("%1 unreadable records").arg(skipped) : QStringLiteral("not a whole JSON array")));
    return read;
}

void SignalCache::moveFileAside(const QString& why)
{
    const QString aside = AtomicFile::moveAside(filePath_);
    log(Level::Error, QStringLiteral("Signalry cache %1, %2").arg(why, AtomicFile::whereMovedAside(filePath_, aside)));
    FileNotices::shared().tell(filePath_, aside.isEmpty() ? filePath_ : aside, !aside.isEmpty(), why);
}

void SignalCache::dropOverflowLocked()
{
    const auto overflow = static_cast<qsizetype>(cachedSignals_.size()) - kMaximumNumberOfSignals;
    if (overflow <= 0)
        return;
    cachedSignals_.erase(cachedSignals_.begin(), cachedSignals_.begin() + overflow);
    log(Level::Error, QStringLiteral("Signalry cache is full, dropped the %1 oldest signals").arg(overflow));
}

void SignalCache::log(LogHandler::LogLevel level, const QString& message) const { logWith(logHandler_, level, message); }

} // namespace signalry
