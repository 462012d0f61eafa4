#include "IngestStore.h"

namespace samplecatalogue {

void IngestStore::add(const QJsonArray& signalBatch, const QString& space)
{
    std::lock_guard lock(mutex_);
    for (const QJsonValue& signal : signalBatch) {
        QJsonObject stored = signal.toObject();
        stored.insert(QStringLiteral("__namespace"), space);
        signals_.append(stored);
    }
    ++batches_;
}

QJsonArray IngestStore::signalList() const
{
    std::lock_guard lock(mutex_);
    return signals_;
}

qsizetype IngestStore::batchCount() const
{
    std::lock_guard lock(mutex_);
    return batches_;
}

void IngestStore::clear()
{
    std::lock_guard lock(mutex_);
    signals_ = {};
    batches_ = 0;
}

} // namespace samplecatalogue
