#include "screens/library/CreatePlaylistWallpaperPickerSheet.h"

#include "engine/WallpaperManager.h"
#include "library/WallpaperPlaylistService.h"
#include "screens/library/PlaylistPickerOffer.h"

CreatePlaylistWallpaperPickerSheet::CreatePlaylistWallpaperPickerSheet(QString playlistName, qint64 autoChangeIntervalSeconds,
    std::function<void()> onPlaylistCreated, QWidget* parent)
    : PlaylistPickerSheet(tr("Select wallpapers for \"%1\"").arg(playlistName), tr("Create Playlist"),
          {}, parent),
      name_(std::move(playlistName)), interval_(autoChangeIntervalSeconds), playlists_(WallpaperPlaylistService::shared()),
      onPlaylistCreated_(std::move(onPlaylistCreated))
{
    followSelection();
}

QList<WallpaperModel> CreatePlaylistWallpaperPickerSheet::arrange(const QList<WallpaperModel>& combined) const
{
    return PlaylistPickerOffer::forNewPlaylist(combined, selectedKeys());
}

void CreatePlaylistWallpaperPickerSheet::confirm()
{
    if (selectedKeys().isEmpty())
        return;
    const WallpaperPlaylist created = playlists_.createPlaylist(name_, interval_);
    playlists_.setWallpaperKeys(selectedKeys(), created.id);
    WallpaperManager::shared().send(QStringLiteral("Playlist.created"), {});
    // This sheet goes first: the one beneath closes itself next.
    const std::function<void()> done = onPlaylistCreated_;
    dismiss();
    if (done)
        done();
}
