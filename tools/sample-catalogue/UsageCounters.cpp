#include "UsageCounters.h"

namespace samplecatalogue {

qint64 UsageCounters::increment(qint64 key, const QString& kind)
{
    std::lock_guard lock(mutex_);
    return ++counts_[{key, kind}];
}

qint64 UsageCounters::count(qint64 key, const QString& kind) const
{
    std::lock_guard lock(mutex_);
    return counts_.value({key, kind});
}

void UsageCounters::report(qint64 key, const QString& remarks)
{
    std::lock_guard lock(mutex_);
    reports_.append({key, remarks});
}

QList<std::pair<qint64, QString>> UsageCounters::reports() const
{
    std::lock_guard lock(mutex_);
    return reports_;
}

} // namespace samplecatalogue
