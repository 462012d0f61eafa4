#include "model/WallpaperModel.h"

#include "foundation/JsonReader.h"
#include "foundation/JsonWriter.h"

WallpaperModel WallpaperModel::fromJson(const JsonReader& json)
{
    // Read in key order, so the first failing key is the one reported.
    WallpaperModel wallpaper;
    wallpaper.id = json.requiredUuid("id");
    wallpaper.key = json.optionalInt64("key");
    wallpaper.title = json.requiredString("title");
    wallpaper.category = json.requiredString("category");
    wallpaper.imageUrl = json.optionalUrl("imageUrl");
    wallpaper.posterUrl = json.optionalUrl("posterUrl");
    wallpaper.videoUrl = json.optionalUrl("videoUrl");
    wallpaper.previewhdUrl = json.optionalUrl("previewhdUrl");
    wallpaper.masterUrl = json.optionalUrl("masterUrl");
    wallpaper.likes = json.requiredInt64("likes");
    wallpaper.downloads = json.requiredInt64("downloads");
    wallpaper.createdAt = json.requiredString("createdAt");
    wallpaper.resolution = json.optionalString("resolution");
    wallpaper.fileSize = json.optionalString("fileSize");
    wallpaper.duration = json.optionalString("duration");
    wallpaper.is_4k = json.boolOr("is_4k", false);
    wallpaper.isFromGravelnook = json.boolOr("is_from_gravel_nook", false);
    wallpaper.forLockscreen = json.boolOr("for_lockscreen", false);
    return wallpaper;
}

QJsonObject WallpaperModel::toJson() const
{
    using namespace JsonWriter;
    QJsonObject json;
    json.insert(QStringLiteral("id"), encode(id));
    insertIfPresent(json, QStringLiteral("key"), key);
    json.insert(QStringLiteral("title"), title);
    json.insert(QStringLiteral("category"), category);
    insertIfPresent(json, QStringLiteral("imageUrl"), imageUrl);
    insertIfPresent(json, QStringLiteral("posterUrl"), posterUrl);
    insertIfPresent(json, QStringLiteral("videoUrl"), videoUrl);
    insertIfPresent(json, QStringLiteral("previewhdUrl"), previewhdUrl);
    insertIfPresent(json, QStringLiteral("masterUrl"), masterUrl);
    json.insert(QStringLiteral("likes"), encode(likes));
    json.insert(QStringLiteral("downloads"), encode(downloads));
    json.insert(QStringLiteral("createdAt"), createdAt);
    insertIfPresent(json, QStringLiteral("resolution"), resolution);
    insertIfPresent(json, QStringLiteral("fileSize"), fileSize);
    insertIfPresent(json, QStringLiteral("duration"), duration);
    json.insert(QStringLiteral("is_4k"), is_4k);
    json.insert(QStringLiteral("is_from_gravel_nook"), isFromGravelnook);
    json.insert(QStringLiteral("for_lockscreen"), forLockscreen);
    return json;
}
