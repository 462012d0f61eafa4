#include "screens/browse/CategoryFilter.h"

namespace CategoryFilters {

QString rawValue(CategoryFilter filter)
{
    switch (filter) {
    case CategoryFilter::Latest: return QStringLiteral("Latest");
    case CategoryFilter::Popular: return QStringLiteral("Popular");
    case CategoryFilter::Random: break;
    }
    return QStringLiteral("Random");
}

std::optional<CategoryFilter> fromRawValue(const QString& text)
{
    for (CategoryFilter filter : kAll) {
        if (rawValue(filter) == text)
            return filter;
    }
    return std::nullopt;
}

QString mode(CategoryFilter filter)
{
    switch (filter) {
    case CategoryFilter::Latest: return QStringLiteral("recent");
    case CategoryFilter::Popular: return QStringLiteral("download");
    case CategoryFilter::Random: break;
    }
    return QStringLiteral("random");
}

QString sortBy(CategoryFilter filter)
{
    return filter == CategoryFilter::Latest ? QStringLiteral("latest") : mode(filter);
}

} // namespace CategoryFilters
