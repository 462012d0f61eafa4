#pragma once

#include <QString>

#include <array>
#include <optional>

// How a category or section list is sorted: newest first, most downloaded first, or shuffled.
enum class CategoryFilter { Latest, Popular, Random };

// The raw value is the filter's chip title; the backend names each order twice: as the `mode` of
// catalogue-wide lists and as the `sortBy` of a category's list.

namespace CategoryFilters {

inline constexpr std::array<CategoryFilter, 3> kAll{CategoryFilter::Latest, CategoryFilter::Popular,
    CategoryFilter::Random};

QString rawValue(CategoryFilter filter);
// Only the exact raw value (case matters) names a filter.
std::optional<CategoryFilter> fromRawValue(const QString& text);
// "recent", "download", "random".
QString mode(CategoryFilter filter);
// "latest", "download", "random".
QString sortBy(CategoryFilter filter);

} // namespace CategoryFilters
