#pragma once

#include <QDateTime>
#include <QHashFunctions>
#include <QList>
#include <QString>
#include <QUuid>

class JsonError;
class JsonReader;
class QJsonObject;

// One user playlist: a named, ordered list of catalogue keys through which the desktop
// wallpaper rotates every `autoChangeIntervalSeconds`. The library stores all playlists as one
// JSON array. Identity, equality and hashing use `id` alone, so a renamed playlist is still
// the same playlist.
struct WallpaperPlaylist {
    QUuid id;
    QString name;
    qint64 autoChangeIntervalSeconds = 0;
    QList<qint64> wallpaperKeys; // playlist order; duplicates are the caller's business
    QDateTime createdAt;         // stored as seconds since 2001-01-01 00:00:00 UTC

    // All five keys are required; a missing key, a null or another type (a date written as
    // text) fails the whole playlist with JsonError. One wallpaper key that is no integer costs
    // only itself: it is left out, with its error added to `skippedKeys` when given.
    static WallpaperPlaylist fromJson(const JsonReader& json, QList<JsonError>* skippedKeys = nullptr);
    QJsonObject toJson() const;

    friend bool operator==(const WallpaperPlaylist& a, const WallpaperPlaylist& b) { return a.id == b.id; }
};

inline size_t qHash(const WallpaperPlaylist& playlist, size_t seed = 0) noexcept { return qHash(playlist.id, seed); }
