#include "RequestLog.h"

namespace samplecatalogue {

void RequestLog::record(const CatalogueRequest& request)
{
    std::lock_guard lock(mutex_);
    ++counts_[request.path];
    last_.insert(request.path, request);
}

int RequestLog::count(const QString& path) const
{
    std::lock_guard lock(mutex_);
    return counts_.value(path);
}

std::optional<CatalogueRequest> RequestLog::last(const QString& path) const
{
    std::lock_guard lock(mutex_);
    const auto it = last_.constFind(path);
    if (it == last_.constEnd())
        return std::nullopt;
    return *it;
}

void RequestLog::clear()
{
    std::lock_guard lock(mutex_);
    counts_.clear();
    last_.clear();
}

} // namespace samplecatalogue
