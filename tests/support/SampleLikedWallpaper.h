#pragma once

#include "model/WallpaperModel.h"

#include <QUuid>

// A liked wallpaper's record as a catalogue sends it, every field set, so that a stored row is
// as long as a real one: the liked lists of the benches and of the durability tests.
inline WallpaperModel sampleLikedWallpaper(qint64 key, qint64 number)
{
    const QString asset = QStringLiteral("https://assets.invalid/wallpaper/%1/").arg(key);
    WallpaperModel wallpaper;
    wallpaper.id = QUuid(QStringLiteral("00000000-0000-0000-0000-%1").arg(number + 1, 12, 16, QLatin1Char('0')));
    wallpaper.key = key;
    wallpaper.title = QStringLiteral("Liked wallpaper %1").arg(number);
    wallpaper.category = QStringLiteral("Nature");
    wallpaper.imageUrl = QUrl(asset + QStringLiteral("thumbnail.webp"));
    wallpaper.posterUrl = QUrl(asset + QStringLiteral("poster.webp"));
    wallpaper.videoUrl = QUrl(asset + QStringLiteral("preview.mp4"));
    wallpaper.previewhdUrl = QUrl(asset + QStringLiteral("preview_hd.mp4"));
    wallpaper.masterUrl = QUrl(asset + QStringLiteral("master.mp4"));
    wallpaper.likes = number % 977;
    wallpaper.downloads = number % 4051;
    wallpaper.createdAt = QStringLiteral("2025-06-08T10:00:00Z");
    wallpaper.resolution = QStringLiteral("3840x2160");
    wallpaper.fileSize = QStringLiteral("48MB");
    wallpaper.duration = QStringLiteral("00:12");
    wallpaper.is_4k = true;
    return wallpaper;
}
