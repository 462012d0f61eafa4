#include "screens/library/PlaylistArtwork.h"

#include "model/WallpaperAssets.h"

#include <QFileInfo>

bool PlaylistArtwork::isOwn(const WallpaperModel& wallpaper)
{
    return wallpaper.category == QLatin1String("Custom") || (wallpaper.masterUrl && wallpaper.masterUrl->isLocalFile());
}

std::optional<QUrl> PlaylistArtwork::ownVideoUrl(const WallpaperModel& wallpaper)
{
    if (!isOwn(wallpaper))
        return std::nullopt;
    if (wallpaper.masterUrl)
        return wallpaper.masterUrl;
    if (wallpaper.imageUrl && QFileInfo(wallpaper.imageUrl->path()).suffix() == QLatin1String("mp4"))
        return wallpaper.imageUrl;
    return std::nullopt;
}

std::optional<QUrl> PlaylistArtwork::cardPreviewVideoUrl(const std::optional<WallpaperModel>& firstWallpaper)
{
    if (!firstWallpaper)
        return std::nullopt;
    if (isOwn(*firstWallpaper))
        return ownVideoUrl(*firstWallpaper);
    if (firstWallpaper->isFromGravelnook) {
        for (const auto& url : {firstWallpaper->masterUrl, firstWallpaper->videoUrl, firstWallpaper->previewhdUrl}) {
            if (url)
                return url;
        }
    }
    return std::nullopt;
}

std::optional<QUrl> PlaylistArtwork::pickerPosterUrl(const WallpaperModel& wallpaper, const std::optional<QString>& host)
{
    if (!wallpaper.isFromGravelnook && wallpaper.key) {
        if (auto poster = WallpaperAssets::url(host, *wallpaper.key, WallpaperAssets::File::Poster))
            return poster;
        if (host && !host->isEmpty())
            return std::nullopt; // a host whose address does not parse
    }
    return wallpaper.posterUrl ? wallpaper.posterUrl : wallpaper.imageUrl;
}

std::optional<WallpaperModel> PlaylistArtwork::firstWallpaper(const WallpaperPlaylist& playlist, const WallpapersByKey& own,
    const WallpapersByKey& liked)
{
    if (playlist.wallpaperKeys.isEmpty())
        return std::nullopt;
    const qint64 key = playlist.wallpaperKeys.first();
    if (auto found = own.constFind(key); found != own.cend())
        return *found;
    if (auto found = liked.constFind(key); found != liked.cend())
        return *found;
    return std::nullopt;
}

std::optional<QUrl> PlaylistArtwork::thumbnailUrl(const WallpaperPlaylist& playlist,
    const std::optional<WallpaperModel>& firstWallpaper, const std::optional<QString>& host)
{
    if (!firstWallpaper)
        return std::nullopt;
    if (firstWallpaper->isFromGravelnook)
        return firstWallpaper->posterUrl ? firstWallpaper->posterUrl : firstWallpaper->imageUrl;
    if (playlist.wallpaperKeys.isEmpty())
        return std::nullopt;
    return WallpaperAssets::url(host, playlist.wallpaperKeys.first(), WallpaperAssets::File::Poster);
}

PlaylistArtwork::CreateCardMedia PlaylistArtwork::createCardMedia(const QList<WallpaperResponseItem>& discovered,
    const std::optional<QString>& host)
{
    CreateCardMedia media;
    for (const WallpaperResponseItem& item : discovered.mid(0, kCreateCardWallpapers)) {
        if (auto video = WallpaperAssets::url(host, item.key, WallpaperAssets::File::Preview))
            media.videos.append(*video);
        if (auto poster = WallpaperAssets::url(host, item.key, WallpaperAssets::File::Poster))
            media.posters.append(*poster);
    }
    return media;
}
