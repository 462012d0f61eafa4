#pragma once

#include "backend/WallpaperResponseItem.h"
#include "library/WallpapersByKey.h"
#include "model/WallpaperModel.h"
#include "model/WallpaperPlaylist.h"

#include <QList>
#include <QUrl>

#include <optional>

// What the playlist cards and sheets show for a wallpaper or a playlist, decided apart from their
// painting: an own video (stored on this machine) shows its first frame, a partner-site
// wallpaper its own video, a catalogue wallpaper the poster on the asset host. Pure functions.
class PlaylistArtwork {
public:
    // Stored on this machine: category exactly "Custom", or a file as its master video.
    static bool isOwn(const WallpaperModel& wallpaper);
    // An own wallpaper's video: its master, else its picture when that is an ".mp4" (exactly,
    // case and all); nothing for other wallpapers.
    static std::optional<QUrl> ownVideoUrl(const WallpaperModel& wallpaper);
    // The still video of a playlist card: the own video, else for a partner-site wallpaper the
    // first of its master, video and HD preview; a catalogue wallpaper shows its image instead.
    static std::optional<QUrl> cardPreviewVideoUrl(const std::optional<WallpaperModel>& firstWallpaper);
    // A sheet thumbnail's picture: the poster on the asset host for a catalogue wallpaper with a
    // key, else the wallpaper's own poster, else its image.
    static std::optional<QUrl> pickerPosterUrl(const WallpaperModel& wallpaper, const std::optional<QString>& host);

    // The record of a playlist's first key: the own one, else the liked one.
    static std::optional<WallpaperModel> firstWallpaper(const WallpaperPlaylist& playlist, const WallpapersByKey& own,
        const WallpapersByKey& liked);
    // A playlist card's still image: a partner-site wallpaper's poster (else its image), else the
    // asset host's poster of the first key; nothing without a known first wallpaper.
    static std::optional<QUrl> thumbnailUrl(const WallpaperPlaylist& playlist,
        const std::optional<WallpaperModel>& firstWallpaper, const std::optional<QString>& host);

    // The create card's media: the short previews and the posters of the first six discovered
    // wallpapers, in order; empty without a host.
    struct CreateCardMedia {
        QList<QUrl> videos;
        QList<QUrl> posters;
    };
    static constexpr int kCreateCardWallpapers = 6;
    static CreateCardMedia createCardMedia(const QList<WallpaperResponseItem>& discovered, const std::optional<QString>& host);
};
