#pragma once

#include "model/WebAddress.h"

#include <QHashFunctions>
#include <QString>
#include <QUrl>
#include <QUuid>

#include <optional>

class JsonReader;
class QJsonObject;

// One wallpaper as the whole application speaks of it: catalogue items, partner-site items and
// the user's own videos all become this record, and the liked, recent and own lists store arrays
// of it. A plain value, copied between services and never changed after it is built. Identity,
// equality and hashing use `id` alone, so two records of one catalogue wallpaper built at
// different times differ; lists that must hold a wallpaper once compare `key`.
struct WallpaperModel {
    QUuid id;
    std::optional<qint64> key;
    QString title;
    QString category;
    std::optional<WebAddress> imageUrl;
    std::optional<WebAddress> posterUrl;
    std::optional<WebAddress> videoUrl;
    std::optional<WebAddress> previewhdUrl;
    std::optional<WebAddress> masterUrl;
    qint64 likes = 0;
    qint64 downloads = 0;
    QString createdAt;                 // as the backend sent it, never parsed
    std::optional<QString> resolution; // display texts
    std::optional<QString> fileSize;
    std::optional<QString> duration;
    bool is_4k = false;
    bool isFromGravelnook = false;
    bool forLockscreen = false;

    // The stored form. Decoding fails (JsonError) on the first required key that is missing,
    // null or of another type, and on any present value of the wrong type; nothing partial.
    static WallpaperModel fromJson(const JsonReader& json);
    // Absent optionals leave their key out; the three flags are always written.
    QJsonObject toJson() const;

    friend bool operator==(const WallpaperModel& a, const WallpaperModel& b) { return a.id == b.id; }
};

inline size_t qHash(const WallpaperModel& wallpaper, size_t seed = 0) noexcept { return qHash(wallpaper.id, seed); }
