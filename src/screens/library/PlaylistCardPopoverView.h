#pragma once

#include "library/AutoChangeTimeOption.h"
#include "model/WallpaperPlaylist.h"

#include <QWidget>

class QComboBox;
class QLineEdit;
class QPushButton;
class WallpaperPlaylistService;

// The settings of one playlist, in its card's popover: rename, rotation interval, "Add
// wallpapers" and "Delete". A rename (trimmed; a blank one keeps the stored name) and an interval
// the user picks are stored at once; opening on an interval that is none of the options stores
// nothing. The popover asks its owner for the rest: the delete confirmation is the card's, shown
// once the popover has closed. GUI thread.
class PlaylistCardPopoverView : public QWidget {
    Q_OBJECT

public:
    static constexpr QSize kMinimumSize{260, 180};

    PlaylistCardPopoverView(const WallpaperPlaylist& playlist, WallpaperPlaylistService& playlists, QWidget* parent = nullptr);

    QLineEdit* nameField() const { return name_; }
    QComboBox* intervalPicker() const { return interval_; }
    QPushButton* addWallpapersButton() const { return add_; }
    QPushButton* deleteButton() const { return delete_; }

Q_SIGNALS:
    void addWallpapersRequested();
    void deleteRequested();

private:
    void rename(const QString& typed);
    void pickInterval(int index);

    const WallpaperPlaylist playlist_;
    WallpaperPlaylistService& playlists_;
    AutoChangeTimeOption selected_;
    QLineEdit* name_;
    QComboBox* interval_;
    QPushButton* add_;
    QPushButton* delete_;
};
