#pragma once

#include "backend/WallpaperResponseItem.h"

#include <QList>

class JsonReader;

// The envelope of a wallpaper list: {"wallpapers": [...]}.
struct WallpapersResponse {
    QList<WallpaperResponseItem> wallpapers;

    static WallpapersResponse fromJson(const JsonReader& json);

    // The list endpoints answer either with the envelope or with a bare array of items. Tries the
    // envelope, then the array; when neither fits, throws the array attempt's JsonError.
    static QList<WallpaperResponseItem> listFromReply(const QByteArray& reply);
};
