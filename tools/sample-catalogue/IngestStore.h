#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <mutex>

namespace samplecatalogue {

// The analytics signals the ingest endpoint accepted, in arrival order, each with the namespace
// it was posted under (empty for "/v2/"). Written by server threads, read by tests.
class IngestStore {
public:
    void add(const QJsonArray& signalBatch, const QString& space);
    QJsonArray signalList() const;
    qsizetype batchCount() const;
    void clear();

private:
    mutable std::mutex mutex_;
    QJsonArray signals_;
    qsizetype batches_ = 0;
};

} // namespace samplecatalogue
