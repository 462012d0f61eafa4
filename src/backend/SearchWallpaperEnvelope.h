#pragma once

#include "backend/WallpaperResponseItem.h"

#include <QList>

#include <optional>

class JsonReader;

// The loosest accepted shape of a search reply: an object whose items sit under "wallpapers",
// "data" or "results". Any object decodes unless one of these holds something else than an
// array of valid items.
struct SearchWallpaperEnvelope {
    std::optional<QList<WallpaperResponseItem>> wallpapers;
    std::optional<QList<WallpaperResponseItem>> data;
    std::optional<QList<WallpaperResponseItem>> results;

    static SearchWallpaperEnvelope fromJson(const JsonReader& json);

    // The first list present, in field order; empty when there is none.
    QList<WallpaperResponseItem> items() const;
};
