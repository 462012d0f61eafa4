#pragma once

#include "CatalogueRequest.h"

#include <QHash>
#include <QString>

#include <mutex>
#include <optional>

namespace samplecatalogue {

// Counts the requests per path and keeps the last one of each, for tests that check what a
// client sent. Thread-safe.
class RequestLog {
public:
    void record(const CatalogueRequest& request);
    int count(const QString& path) const;
    std::optional<CatalogueRequest> last(const QString& path) const;
    void clear();

private:
    mutable std::mutex mutex_;
    QHash<QString, int> counts_;
    QHash<QString, CatalogueRequest> last_;
};

} // namespace samplecatalogue
