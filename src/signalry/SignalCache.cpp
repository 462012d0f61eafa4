#include "signalry/SignalCache.h"

#include "signalry/AtomicFile.h"
#include "signalry/StorageLocations.h"

#include <QFile>
#include <QJsonDocument>
#include <QUrl>

namespace signalry {

using Level = LogHandler::LogLevel;

SignalCache::SignalCache(QString filePath, std::optional<LogHandler> logHandler)
    : filePath_(std::move(filePath)), logHandler_(std::move(logHandler))
{
    loadFromDisk();
}

QString SignalCache::defaultFilePath() { return StorageLocations::caches() + QStringLiteral("/signalrysignalcache"); }

void SignalCache::pushSignal(SignalPostBody signal)
{
    std::lock_guard lock(mutex_);
    cachedSignals_.push_back(std::move(signal));
    dropOverflowLocked();
}

void SignalCache::pushSignals(const QList<SignalPostBody>& signalList)
{
    std::lock_guard lock(mutex_);
    cachedSignals_.insert(cachedSignals_.end(), signalList.begin(), signalList.end());
    dropOverflowLocked();
}

QList<SignalPostBody> SignalCache::popBatch()
{
    std::lock_guard lock(mutex_);
    const auto size = std::min<std::size_t>(cachedSignals_.size(), kMaximumNumberOfSignalsToPopAtOnce);
    QList<SignalPostBody> batch;
    batch.reserve(static_cast<qsizetype>(size));
    for (std::size_t i = 0; i < size; ++i) {
        batch.append(std::move(cachedSignals_.front()));
        cachedSignals_.pop_front();
    }
    return batch;
}

int SignalCache::count() const
{
    std::lock_guard lock(mutex_);
    return static_cast<int>(cachedSignals_.size());
}

QList<SignalPostBody> SignalCache::snapshot() const
{
    std::lock_guard lock(mutex_);
    return QList<SignalPostBody>(cachedSignals_.begin(), cachedSignals_.end());
}

void SignalCache::saveToDisk(bool evenWhenEmpty)
{
    std::lock_guard lock(mutex_);
    if (cachedSignals_.empty() && !evenWhenEmpty)
        return;
    // The file exists here only when a cache replaced earlier in this process saved into it;
    // its records are older than ours and go first.
    QFile existing(filePath_);
    if (existing.open(QIODevice::ReadOnly)) {
        const QList<SignalPostBody> earlier = readFile(existing.readAll());
        existing.close();
        cachedSignals_.insert(cachedSignals_.begin(), earlier.begin(), earlier.end());
        dropOverflowLocked();
    }

    const QByteArray data = SignalPostBody::encodeCacheList(cachedSignals_);
    QString error;
    if (!AtomicFile::write(filePath_, data, &error)) {
        log(Level::Error, QStringLiteral("Error saving Signalry cache"));
        log(Level::Debug, error);
        return;
    }
    log(Level::Info, QStringLiteral("Saved Signalry cache %1 bytes of %2 signals").arg(data.size()).arg(cachedSignals_.size()));
    cachedSignals_.clear();
}

void SignalCache::loadFromDisk()
{
    log(Level::Info, QStringLiteral("Loading Signalry cache from: ") + QUrl::fromLocalFile(filePath_).toString());
    QFile file(filePath_);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray data = file.readAll();
    file.close();
    const QList<SignalPostBody> loaded = readFile(data);
    // The records now live in memory; the file is consumed so a crash cannot post them twice.
    QFile::remove(filePath_);

    std::lock_guard lock(mutex_);
    cachedSignals_.assign(loaded.begin(), loaded.end());
    dropOverflowLocked();
    log(Level::Info, QStringLiteral("Loaded %1 signals").arg(cachedSignals_.size()));
}

QList<SignalPostBody> SignalCache::readFile(const QByteArray& data)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(data, &parseError);
    if (!document.isArray()) {
        const QString aside = AtomicFile::moveAside(filePath_);
        log(Level::Error, QStringLiteral("Signalry cache is damaged (%1), moved aside to %2")
                              .arg(parseError.error == QJsonParseError::NoError ? QStringLiteral("not an array") : parseError.errorString(),
                                   aside.isEmpty() ? QStringLiteral("nowhere") : aside));
        return {};
    }
    QList<SignalPostBody> records;
    int skipped = 0;
    for (const QJsonValue& value : document.array()) {
        if (std::optional<SignalPostBody> record = SignalPostBody::fromCacheJson(value))
            records.append(std::move(*record));
        else
            ++skipped;
    }
    if (skipped > 0)
        log(Level::Error, QStringLiteral("Skipped %1 unreadable signals in the Signalry cache").arg(skipped));
    return records;
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
