#pragma once

#include <QHash>
#include <QList>
#include <QString>

#include <mutex>
#include <utility>

namespace samplecatalogue {

// What clients told the backend about wallpapers: download and like counts per key, and the
// reports they sent. Thread-safe.
class UsageCounters {
public:
    // `kind` is "downloads" or "likes"; returns the new count.
    qint64 increment(qint64 key, const QString& kind);
    qint64 count(qint64 key, const QString& kind) const;

    void report(qint64 key, const QString& remarks);
    // (key, remarks) in the order received.
    QList<std::pair<qint64, QString>> reports() const;

private:
    mutable std::mutex mutex_;
    QHash<std::pair<qint64, QString>, qint64> counts_;
    QList<std::pair<qint64, QString>> reports_;
};

} // namespace samplecatalogue
