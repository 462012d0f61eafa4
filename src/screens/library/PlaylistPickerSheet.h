#pragma once

#include "model/WallpaperModel.h"
#include "screens/library/PlaylistSheet.h"

#include <QList>

class AppStore;
class CreatePlaylistPickerThumbnail;
class CustomWallpapersService;
class LazyGridView;
class LikedWallpapersService;
class QLabel;
class QScrollArea;
class QStackedWidget;

// What the two wallpaper sheets of a playlist share (picking the wallpapers of a new playlist,
// and changing an existing playlist's): a lazy grid of the user's own and liked wallpapers, three
// to a row, each ticked or not; an empty state when there are none; and, while something is
// ticked, a footer with the count and the confirming button. The offer follows the lists as they
// change. The ticked keys keep the order they were ticked in (an existing playlist's first, in its
// order). GUI thread.
class PlaylistPickerSheet : public PlaylistSheet {
    Q_OBJECT

public:
    static constexpr QSize kSize{620, 540};

    const QList<qint64>& selectedKeys() const { return selected_; }
    const QList<WallpaperModel>& offered() const { return offered_; }
    bool isEmptyStateShown() const;
    QPushButton* confirmButton() const { return confirm_; }
    QLabel* countLabel() const { return count_; }
    LazyGridView* grid() const { return grid_; }
    CreatePlaylistPickerThumbnail* thumbnailOf(qint64 key) const;
    // The thumbnail's click: ticks or unticks a wallpaper with a key.
    void toggleSelection(const WallpaperModel& wallpaper);

protected:
    PlaylistPickerSheet(const QString& title, const QString& confirmText, QList<qint64> selected, QWidget* parent);

    // The sheet's order of the offered wallpapers.
    virtual QList<WallpaperModel> arrange(const QList<WallpaperModel>& combined) const = 0;
    virtual void confirm() = 0;
    // Rebuilds the offer from the lists.
    void refresh();
    // Shows the selection; the subclass calls it once it is built.
    void followSelection();

private:

    AppStore& appStore_;
    LikedWallpapersService& liked_;
    CustomWallpapersService& custom_;
    QList<qint64> selected_;
    QList<WallpaperModel> offered_;
    QStackedWidget* pages_;
    QScrollArea* scroll_;
    LazyGridView* grid_;
    QWidget* footer_;
    QLabel* count_;
    QPushButton* confirm_;
};
