#include "model/WallpaperPlaylist.h"

#include "foundation/JsonReader.h"
#include "foundation/JsonWriter.h"

WallpaperPlaylist WallpaperPlaylist::fromJson(const JsonReader& json)
{
    WallpaperPlaylist playlist;
    playlist.id = json.requiredUuid("id");
    playlist.name = json.requiredString("name");
    playlist.autoChangeIntervalSeconds = json.requiredInt64("autoChangeIntervalSeconds");
    playlist.wallpaperKeys = json.required<QList<qint64>>("wallpaperKeys");
    playlist.createdAt = json.requiredDate("createdAt");
    return playlist;
}

QJsonObject WallpaperPlaylist::toJson() const
{
    using namespace JsonWriter;
    return QJsonObject{
        {QStringLiteral("id"), encode(id)},
        {QStringLiteral("name"), name},
        {QStringLiteral("autoChangeIntervalSeconds"), encode(autoChangeIntervalSeconds)},
        {QStringLiteral("wallpaperKeys"), encode(wallpaperKeys)},
        {QStringLiteral("createdAt"), encode(createdAt)},
    };
}
