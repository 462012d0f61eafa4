#pragma once

#include "screens/browse/CategoryFilter.h"

#include <QString>

#include <optional>

// Names a category page to open: a catalogue category, or one of the lists marked by a sentinel
// id (kSectionList, kResolutionList, kLockScreenExclusives). A plain value; equal when every
// field is.
struct CategoryNavigationItem {
    static constexpr int kSectionList = -999;
    static constexpr int kResolutionList = -998;
    static constexpr int kLockScreenExclusives = -997;
    static constexpr int kMonochrome = 99;

    int categoryId = 0;
    QString categoryName;
    std::optional<bool> isFromSection;
    std::optional<CategoryFilter> sectionFilter;
    std::optional<QString> customTitle;
    std::optional<int> shuffleSeed;
    std::optional<QString> resolutionFilter;

    bool operator==(const CategoryNavigationItem&) const = default;
};
