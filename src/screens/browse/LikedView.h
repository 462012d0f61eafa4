#pragma once

#include "library/WallpapersByKey.h"
#include "model/WallpaperPlaylist.h"

#include <QPointer>
#include <QWidget>

class AppStore;
class BrowseContext;
class CreatePlaylistCardView;
class CreatePlaylistPopupService;
class CreatePlaylistSheet;
class CustomWallpapersService;
class ExplorePageService;
class LazyGridView;
class LikedWallpapersService;
struct PageLinks;
class LabelButton;
class SectionTitleComponent;
class QStackedWidget;
class SheetHost;
class WallpaperPlaylistService;

// The library tab: the user's playlists (after the card that creates one) above the grid of saved
// (liked) wallpapers. It owns no data: it follows the shared playlist, liked, own-wallpaper and
// application stores and the explore service's Discover strip (the create card's previews), and
// opens three things: the create-playlist sheet (when the create card asks for it), the
// add-wallpapers sheet of a playlist, and the confirmation that deletes every playlist. GUI thread.
class LikedView : public QWidget {
    Q_OBJECT

public:
    static constexpr int kPlaylistSpacing = 20;
    static constexpr int kSavedSpacing = 24;

    // Sheets go to the window's sheets of `links`; poster cards open wallpapers through `context`.
    LikedView(BrowseContext* context, const PageLinks& links, QWidget* parent = nullptr);
    ~LikedView() override;

    LazyGridView* playlistGrid() const { return playlistGrid_; }
    LazyGridView* savedGrid() const { return savedGrid_; }
    CreatePlaylistCardView* createCard() const;
    LabelButton* clearAllButton() const { return clearAll_; }
    SectionTitleComponent* savedTitle() const { return savedTitle_; }
    bool isEmptyStateShown() const;
    // The liked list is still being read.
    bool isLoadingStateShown() const;

    // The key of the create card's cell in the playlist grid.
    static QUuid createCardKey();
    // "Your collection of 3 saved wallpapers" (the count in the user's locale: "78,000"), or the
    // invitation when there are none.
    static QString savedSubtitleText(qsizetype count);

    // Opens the add-wallpapers sheet for the stored playlist with this id.
    void showAddWallpapers(const QUuid& playlistId);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void followPopup(bool presented);
    void refreshPlaylists();
    // The key list of the saved grid, from the liked order.
    void refreshSaved();
    // The live saved cards take their current records.
    void refreshSavedCards();
    void refreshCreateCard();
    void confirmClearAll();
    QWidget* makePlaylistCell(int index);
    QWidget* makeSavedCell(int index);
    WallpaperModel savedAt(int index) const;
    const WallpapersByKey& likedRecords() const;

    QPointer<BrowseContext> context_;
    QPointer<SheetHost> sheets_;
    AppStore& appStore_;
    LikedWallpapersService& liked_;
    CustomWallpapersService& custom_;
    WallpaperPlaylistService& playlists_;
    ExplorePageService& explore_;
    CreatePlaylistPopupService& popup_;

    LabelButton* clearAll_;
    LazyGridView* playlistGrid_;
    SectionTitleComponent* savedTitle_;
    QStackedWidget* saved_;
    LazyGridView* savedGrid_;
    QPointer<CreatePlaylistCardView> createCard_;
    QPointer<CreatePlaylistSheet> createSheet_;
    QList<WallpaperPlaylist> shownPlaylists_;
    // The liked order the saved grid shows, and its keys.
    QList<qint64> shownOrder_;
    QList<QUuid> savedKeys_;
};
