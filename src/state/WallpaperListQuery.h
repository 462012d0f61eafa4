#pragma once

#include <QString>

#include <optional>

class Clock;

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
    // Every list in a random order (a category's, or a catalogue-wide "random" mode) is asked
    // with one seed for all its pages, so the pages never repeat or skip items.
    bool isSeeded() const;
    // The seed a random list takes when it is (re)loaded from its first page.
    static qint64 freshSeed(const Clock& clock);
};
