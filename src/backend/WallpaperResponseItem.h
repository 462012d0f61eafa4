#pragma once

#include "model/WallpaperModel.h"

#include <QString>

#include <optional>

class JsonReader;
class QJsonObject;

// One wallpaper as the catalogue backend describes it: counts, category, size and length, and
// no addresses (those follow from `key` and the asset host). Turned into the application-wide
// WallpaperModel by toWallpaperModel().
struct WallpaperResponseItem {
    qint64 key = 0;
    std::optional<QString> title;
    qint64 downloads = 0;
    std::optional<QString> creator;
    qint64 likes = 0;
    qint64 categoryId = 0;
    qint64 resolutionHeight = 0;
    qint64 resolutionWidth = 0;
    qint64 fileSize = 0;        // bytes
    qint64 durationSeconds = 0;
    QString createdAt;          // exactly as sent
    std::optional<bool> for_lockscreen;

    static WallpaperResponseItem fromJson(const JsonReader& json);
    // The items of a JSON array, record by record: an item with a field that cannot be read
    // (a count beyond 64 bits, a missing key) is left out and logged once with its key, so one
    // bad item never costs the list. Throws JsonError only when `array` is not an array.
    static QList<WallpaperResponseItem> listFromJson(const JsonReader& array);
    // The backend's form, for replies built in tests and stored feeds.
    QJsonObject toJson() const;

    // A fresh record (new id every call) with the asset addresses of `host` (none while the host
    // is absent) and the display texts of resolution, size and length; a resolution, size or
    // length that is negative or beyond any real video is left absent. Never fails.
    WallpaperModel toWallpaperModel(const std::optional<QString>& host, const std::optional<QString>& categoryName) const;
};
