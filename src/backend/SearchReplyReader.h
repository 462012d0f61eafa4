#pragma once

#include "backend/WallpaperResponseItem.h"

#include <QByteArray>
#include <QList>

// Reads a search reply, whose shape the backend may choose: the {"wallpapers": [...]} envelope,
// a bare array of items, or an object holding them under "wallpapers", "data" or "results".
// Traces each step in the log.
class SearchReplyReader {
public:
    // Logs the raw reply (cut to 800 characters) and returns the items of the first shape that
    // fits; throws APIError::invalidResponseFormat when none does.
    static QList<WallpaperResponseItem> read(const QByteArray& reply);
};
