#include "model/WallpaperAssets.h"

QString WallpaperAssets::fileName(File file)
{
    switch (file) {
    case File::Poster: return QStringLiteral("poster.webp");
    case File::Thumbnail: return QStringLiteral("thumbnail.webp");
    case File::Preview: return QStringLiteral("preview.mp4");
    case File::PreviewHd: return QStringLiteral("previewhd.mp4");
    case File::Master: return QStringLiteral("master.mp4");
    }
    return {};
}

std::optional<QUrl> WallpaperAssets::url(const std::optional<QString>& host, qint64 key, File file)
{
    // An empty host would give "https:///wallpaper/...", an address without a server.
    if (!host || host->isEmpty())
        return std::nullopt;
    const QUrl url(QStringLiteral("https://") + *host + QStringLiteral("/wallpaper/") + QString::number(key)
            + QLatin1Char('/') + fileName(file),
        QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return std::nullopt;
    return url;
}

std::optional<QUrl> WallpaperAssets::urlOr(const std::optional<QUrl>& given, std::optional<qint64> key,
    const std::optional<QString>& host, File file)
{
    if (given)
        return given;
    return key ? url(host, *key, file) : std::nullopt;
}
