#pragma once

#include "model/WallpaperPlaylist.h"
#include "screens/library/PlaylistPickerSheet.h"

class WallpaperPlaylistService;

// Changes the wallpapers of an existing playlist: the own and liked wallpapers, the playlist's
// own ticked and listed first in its order. "Done" stores exactly the ticked keys, so it adds and
// removes; keys of wallpapers no longer own or liked are not shown but stay ticked and are kept.
// Nothing is stored when the playlist was deleted meanwhile.
class AddWallpapersToPlaylistSheet : public PlaylistPickerSheet {
    Q_OBJECT

public:
    explicit AddWallpapersToPlaylistSheet(const WallpaperPlaylist& playlist, QWidget* parent = nullptr);

    const WallpaperPlaylist& playlist() const { return playlist_; }

protected:
    QList<WallpaperModel> arrange(const QList<WallpaperModel>& combined) const override;
    void confirm() override;

private:
    const WallpaperPlaylist playlist_;
    WallpaperPlaylistService& playlists_;
};
