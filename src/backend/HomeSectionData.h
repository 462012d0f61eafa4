#pragma once

#include "backend/WallpaperResponseItem.h"

#include <QList>
#include <QString>

#include <optional>

class JsonReader;

// One row of the home page: an optional heading and its wallpapers.
struct HomeSectionData {
    std::optional<QString> title;
    std::optional<QString> subtitle;
    QList<WallpaperResponseItem> data;

    static HomeSectionData fromJson(const JsonReader& json);
};
