#pragma once

#include "backend/ResolutionPagination.h"
#include "backend/WallpaperResponseItem.h"

#include <QList>

class JsonReader;

// One page of wallpapers of one resolution class, with its pagination.
struct ResolutionWallpapersResponse {
    QList<WallpaperResponseItem> wallpapers;
    ResolutionPagination pagination;

    static ResolutionWallpapersResponse fromJson(const JsonReader& json);
};
