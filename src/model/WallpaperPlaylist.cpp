#include "model/WallpaperPlaylist.h"

#include "foundation/JsonReader.h"
#include "foundation/JsonWriter.h"

WallpaperPlaylist WallpaperPlaylist::fromJson(const JsonReader& json, QList<JsonError>* skippedKeys)
{
    WallpaperPlaylist playlist;
    playlist.id = json.requiredUuid("id");
    playlist.name = json.requiredString("name");
    playlist.autoChangeIntervalSeconds = json.requiredInt64("autoChangeIntervalSeconds");
    JsonRecords<qint64> keys = json.field("wallpaperKeys").records([](const JsonReader& key) { return key.int64(); });
    playlist.wallpaperKeys = std::move(keys.values);
    if (skippedKeys)
        skippedKeys->append(keys.errors);
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
