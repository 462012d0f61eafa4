#pragma once

#include <QString>

#include <optional>

// What describes one paged wallpaper list. Three negative category ids are reserved and select
// another kind of list when their argument is present; otherwise (also a reserved id without its
// argument) it is the list of one category.
struct WallpaperListQuery {
    static constexpr qint64 kExploreSectionId = -999;
    static constexpr qint64 kResolutionId = -998;
    static constexpr qint64 kLockScreenId = -997;

    enum class Kind { ExploreSection, LockScreen, Resolution, Category };

    qint64 categoryId = 0;
    std::optional<QString> mode;
    std::optional<QString> resolutionFilter;
    std::optional<QString> sortBy;

    Kind kind() const;
    // "-998_<filter>", "-997_<mode>", "-999_<mode>", else the decimal id plus "_sort_<sort>"
    // when there is a sort.
    QString cacheKey() const;
    // Lists in random order are fetched anew by every first-page load and carry their seed.
    bool isRandom() const { return sortBy == QLatin1String("random"); }
};
