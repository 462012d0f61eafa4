#pragma once

#include "model/WallpaperPlaylist.h"
#include "ui/PressableWidget.h"

#include <optional>

// One row of the playlist popover: a list symbol, the playlist's name on one line and, when the
// playlist holds the shown wallpaper, a check mark at the right end. The whole row takes clicks;
// hovering changes only the cursor.
class PlaylistRowButton : public PressableWidget {
    Q_OBJECT

public:
    PlaylistRowButton(const WallpaperPlaylist& playlist, std::optional<qint64> wallpaperKey, QWidget* parent = nullptr);

    const WallpaperPlaylist& playlist() const { return playlist_; }
    bool isMarked() const { return marked_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    WallpaperPlaylist playlist_;
    bool marked_;
};
