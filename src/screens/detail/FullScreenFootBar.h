#pragma once

#include "model/WallpaperModel.h"
#include "model/WallpaperPlaylist.h"
#include "screens/detail/FootBarApplyControl.h"
#include "ui/GlassBackground.h"

class FloatingNote;
class FootBarIconButton;
class LikeButton;
class LikedWallpapersService;
class PlaylistAddPopoverContent;
class PopoverHost;
class RecentsWallpapersService;
class WallpaperPlaylistService;

// The floating bar at the bottom of the full-screen view: back, the title with its detail
// items, and the controls: copy the share link, add to a playlist, like, and the apply control.
// Going back and applying are the view's, reported through signals; playlists, likes and
// recents go to their services here. Sized to its content; its owner places it. GUI thread.
class FullScreenFootBar : public GlassBackground {
    Q_OBJECT

public:
    // Where a shared link points.
    static inline const QString kWebsite = QStringLiteral("https://quorvelle.app");
    static constexpr int kCopiedNoteMs = 1200;

    struct Services {
        WallpaperPlaylistService& playlists;
        LikedWallpapersService& liked;
        RecentsWallpapersService& recents;

        static Services shared();
    };

    // `parent` (the view it floats over) also holds the "Copied!" note.
    FullScreenFootBar(const WallpaperModel& wallpaper, FootBarApplyControl::Actions actions, QWidget* parent);
    FullScreenFootBar(const WallpaperModel& wallpaper, FootBarApplyControl::Actions actions, const Services& services,
        QWidget* parent);

    // The website's page of the wallpaper; a partner-site wallpaper's link says where it came from.
    static QString shareLink(const WallpaperModel& wallpaper);

    void setApplying(std::optional<ApplyToast::Stage> stage) { applyControl_->setApplying(stage); }
    void setWallpaperApplied(bool applied) { applyControl_->setWallpaperApplied(applied); }

    FootBarIconButton* backButton() const { return back_; }
    // Null for a wallpaper without a key.
    FootBarIconButton* shareButton() const { return share_; }
    FootBarIconButton* playlistButton() const { return playlist_; }
    LikeButton* likeButton() const { return like_; }
    FootBarApplyControl* applyControl() const { return applyControl_; }
    FloatingNote* copiedNote() const { return copiedNote_; }
    // The open playlist popover's content, or null.
    PlaylistAddPopoverContent* playlistPopover() const;

    void copyShareLink();
    void togglePlaylistPopover();
    // Adds the wallpaper to the playlist, or takes it out when the playlist holds it; the
    // popover closes either way.
    void selectPlaylist(const WallpaperPlaylist& playlist);

Q_SIGNALS:
    void backRequested();
    void rightButtonTapped(std::optional<int> index, std::optional<WallpaperFullscreenApplyTarget> target);
    void applyToAllRequested(WallpaperFullscreenApplyTarget target);
    void lockScreenOnlyRequested();

protected:
    bool event(QEvent* event) override;

private:
    void placeCopiedNote();

    const WallpaperModel wallpaper_;
    Services services_;
    FootBarIconButton* back_;
    FootBarIconButton* share_ = nullptr;
    FootBarIconButton* playlist_;
    LikeButton* like_;
    FootBarApplyControl* applyControl_;
    FloatingNote* copiedNote_;
    PopoverHost* playlistHost_;
};
