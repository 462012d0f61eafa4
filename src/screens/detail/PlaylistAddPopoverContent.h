#pragma once

#include "model/WallpaperModel.h"
#include "model/WallpaperPlaylist.h"

#include <QList>
#include <QWidget>

class PlaylistRowButton;

// The playlist popover's content: "Add to playlist" over one row per playlist, in stored order,
// each marked when it holds the shown wallpaper; "No playlist found" without playlists. It only
// reports the clicked playlist; what that does is its owner's. Between 180 and 320 wide, at least
// 80 high.
class PlaylistAddPopoverContent : public QWidget {
    Q_OBJECT

public:
    static constexpr int kMinWidth = 180;
    static constexpr int kMaxWidth = 320;
    static constexpr int kMinHeight = 80;

    PlaylistAddPopoverContent(const WallpaperModel& wallpaper, const QList<WallpaperPlaylist>& playlists, QWidget* parent = nullptr);

    QList<PlaylistRowButton*> rows() const { return rows_; }

Q_SIGNALS:
    void playlistSelected(const WallpaperPlaylist& playlist);

private:
    QList<PlaylistRowButton*> rows_;
};
