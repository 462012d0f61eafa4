#pragma once

#include "backend/WallpaperResponseItem.h"

#include <QList>
#include <QMetaType>

#include <optional>

// The state of one paged list: every item loaded so far in page order, the last page of the
// normal page size merged (0 while the list holds only rows handed over from elsewhere that
// fill no whole page), whether more may follow, and whether the first page is in place.
struct ExploreWallpapersCacheData {
    QList<WallpaperResponseItem> loadedWallpapers;
    qint64 currentPage = 1;
    bool hasMorePages = true;
    bool isLoaded = false;
    // The seed a random list was first fetched with; every later page is asked with it, so the
    // pages belong to one order and never repeat or skip items.
    std::optional<qint64> seed;
};

Q_DECLARE_METATYPE(ExploreWallpapersCacheData)
