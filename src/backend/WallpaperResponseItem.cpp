#include "backend/WallpaperResponseItem.h"

#include "foundation/JsonReader.h"
#include "foundation/JsonWriter.h"
#include "foundation/Text.h"
#include "model/MediaFactsText.h"
#include "model/WallpaperAssets.h"

namespace {
constexpr double kBytesPerMegabyte = 1048576.0;
constexpr qint64 kWidth4k = 3840;
constexpr qint64 kHeight4k = 2160;
} // namespace

WallpaperResponseItem WallpaperResponseItem::fromJson(const JsonReader& json)
{
    WallpaperResponseItem item;
    item.key = json.requiredInt64("key");
    item.title = json.optionalString("title");
    item.downloads = json.requiredInt64("downloads");
    item.creator = json.optionalString("creator");
    item.likes = json.requiredInt64("likes");
    item.categoryId = json.requiredInt64("category_id");
    item.resolutionHeight = json.requiredInt64("resolution_height");
    item.resolutionWidth = json.requiredInt64("resolution_width");
    item.fileSize = json.requiredInt64("file_size");
    item.durationSeconds = json.requiredInt64("duration_seconds");
    item.createdAt = json.requiredString("created_at");
    item.for_lockscreen = json.optionalBool("for_lockscreen");
    return item;
}

QJsonObject WallpaperResponseItem::toJson() const
{
    using namespace JsonWriter;
    QJsonObject json{
        {QStringLiteral("key"), encode(key)},
        {QStringLiteral("downloads"), encode(downloads)},
        {QStringLiteral("likes"), encode(likes)},
        {QStringLiteral("category_id"), encode(categoryId)},
        {QStringLiteral("resolution_height"), encode(resolutionHeight)},
        {QStringLiteral("resolution_width"), encode(resolutionWidth)},
        {QStringLiteral("file_size"), encode(fileSize)},
        {QStringLiteral("duration_seconds"), encode(durationSeconds)},
        {QStringLiteral("created_at"), createdAt},
    };
    insertIfPresent(json, QStringLiteral("title"), title);
    insertIfPresent(json, QStringLiteral("creator"), creator);
    insertIfPresent(json, QStringLiteral("for_lockscreen"), for_lockscreen);
    return json;
}

WallpaperModel WallpaperResponseItem::toWallpaperModel(const std::optional<QString>& host,
    const std::optional<QString>& categoryName) const
{
    using File = WallpaperAssets::File;
    const auto poster = WallpaperAssets::url(host, key, File::Poster);
    WallpaperModel model;
    model.id = QUuid::createUuid();
    model.key = key;
    model.title = title.value_or(QStringLiteral("Live Wallpaper"));
    model.category = categoryName.value_or(QStringLiteral("Category"));
    model.imageUrl = poster;
    model.posterUrl = poster;
    model.videoUrl = WallpaperAssets::url(host, key, File::Preview);
    model.previewhdUrl = WallpaperAssets::url(host, key, File::PreviewHd);
    model.masterUrl = WallpaperAssets::url(host, key, File::Master);
    model.likes = likes;
    model.downloads = downloads;
    model.createdAt = createdAt;
    model.resolution = MediaFactsText::resolution(resolutionWidth, resolutionHeight);
    model.fileSize = MediaFactsText::megabytes(static_cast<double>(fileSize) / kBytesPerMegabyte);
    model.duration = Text::format("%lld:%02llds", static_cast<long long>(durationSeconds / 60),
        static_cast<long long>(durationSeconds % 60));
    model.is_4k = resolutionWidth == kWidth4k && resolutionHeight == kHeight4k;
    model.isFromGravelnook = false;
    model.forLockscreen = for_lockscreen.value_or(false);
    return model;
}
