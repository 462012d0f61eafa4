#pragma once

#include "screens/library/PlaylistPickerSheet.h"

#include <functional>

class WallpaperPlaylistService;

// The second step of creating a playlist: the user ticks any of the own and liked wallpapers
// (the ticked ones move to the top), and "Create Playlist" stores the new playlist with them,
// records "Playlist.created", tells the first step and closes. "Cancel" creates nothing.
class CreatePlaylistWallpaperPickerSheet : public PlaylistPickerSheet {
    Q_OBJECT

public:
    CreatePlaylistWallpaperPickerSheet(QString playlistName, qint64 autoChangeIntervalSeconds,
        std::function<void()> onPlaylistCreated, QWidget* parent = nullptr);

protected:
    QList<WallpaperModel> arrange(const QList<WallpaperModel>& combined) const override;
    void confirm() override;

private:
    const QString name_;
    const qint64 interval_;
    WallpaperPlaylistService& playlists_;
    std::function<void()> onPlaylistCreated_;
};
