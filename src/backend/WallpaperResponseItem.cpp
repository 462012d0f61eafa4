#include "backend/WallpaperResponseItem.h"

#include "foundation/JsonReader.h"
#include "foundation/JsonWriter.h"
#include "foundation/Log.h"
#include "foundation/Text.h"
#include "model/MediaFactsText.h"
#include "model/WallpaperAssets.h"

#include <QSet>

#include <mutex>

namespace {
constexpr double kBytesPerMegabyte = 1048576.0;
constexpr qint64 kWidth4k = 3840;
constexpr qint64 kHeight4k = 2160;
// Beyond these no wallpaper video goes: a larger value is a fault of the reply, not a fact.
constexpr qint64 kLargestSide = 16384;
constexpr qint64 kLargestFileBytes = qint64(1) << 40;
constexpr qint64 kLongestSeconds = 7 * 24 * 3600;

bool plausible(qint64 value, qint64 largest) { return value >= 0 && value <= largest; }

// The same reply is read again from the response cache and on every refresh: one line per fault.
void logLeftOut(const JsonReader& element, const JsonError& error)
{
    QString key = QStringLiteral("with an unreadable key");
    try {
        if (const auto value = element.optionalInt64("key"))
            key = QString::number(*value);
    } catch (const JsonError&) {
    }
    const QString message = QStringLiteral("Left out wallpaper %1: %2").arg(key, error.localizedDescription());
    static std::mutex mutex;
    static QSet<QString> logged;
    {
        std::lock_guard lock(mutex);
        if (logged.contains(message))
            return;
        logged.insert(message);
    }
    logLine(QStringLiteral("⚠️"), QStringLiteral("APIService"), message);
}
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

QList<WallpaperResponseItem> WallpaperResponseItem::listFromJson(const JsonReader& array)
{
    QList<WallpaperResponseItem> items;
    items.reserve(array.size());
    for (qsizetype i = 0; i < array.size(); ++i) {
        const JsonReader element = array.at(i);
        try {
            items.append(fromJson(element));
        } catch (const JsonError& error) {
            logLeftOut(element, error);
        }
    }
    return items;
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
    if (plausible(resolutionWidth, kLargestSide) && plausible(resolutionHeight, kLargestSide))
        model.resolution = MediaFactsText::resolution(resolutionWidth, resolutionHeight);
    if (plausible(fileSize, kLargestFileBytes))
        model.fileSize = MediaFactsText::megabytes(static_cast<double>(fileSize) / kBytesPerMegabyte);
    if (plausible(durationSeconds, kLongestSeconds)) {
        model.duration = Text::format("%lld:%02llds", static_cast<long long>(durationSeconds / 60),
            static_cast<long long>(durationSeconds % 60));
    }
    model.is_4k = resolutionWidth == kWidth4k && resolutionHeight == kHeight4k;
    model.isFromGravelnook = false;
    model.forLockscreen = for_lockscreen.value_or(false);
    return model;
}
