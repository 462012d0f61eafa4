#pragma once

#include "model/WallpaperModel.h"
#include "model/WallpaperPlaylist.h"
#include "ui/PressableWidget.h"

#include <QPointer>

#include <optional>

class CachedAsyncImage;
class PlaylistCardPopoverView;
class PlaylistPlaybackService;
class PopoverHost;
class VideoStill;
class WallpaperPlaylistService;

// One playlist as a 16:9 card of the library: a still preview of its first wallpaper (an own or
// partner-site video held at its first frame, else the poster, else a faint gradient), darkened
// at the bottom under the playlist's name. Under the pointer it grows a little, brightens its rim
// and shows a play/stop control, which stays while the playlist is the one rotating. A click
// elsewhere opens the playlist's settings in a popover; deleting from there is confirmed first,
// once the popover has closed. Painted by this one widget. GUI thread.
class PlaylistCardView : public PressableWidget {
    Q_OBJECT

public:
    static constexpr qreal kNameSize = 40;
    static constexpr qreal kControlSize = 32;

    PlaylistCardView(const WallpaperPlaylist& playlist, const std::optional<QUrl>& thumbnailUrl,
        const std::optional<WallpaperModel>& firstWallpaper, QWidget* parent = nullptr);
    ~PlaylistCardView() override;

    const WallpaperPlaylist& playlist() const { return playlist_; }
    // A changed record of the same playlist (renamed, refilled): the card shows it.
    void setPlaylist(const WallpaperPlaylist& playlist, const std::optional<QUrl>& thumbnailUrl,
        const std::optional<WallpaperModel>& firstWallpaper);

    // What the preview shows: a video's still, the image, or the placeholder.
    enum class Preview { Video, Image, Placeholder };
    Preview preview() const;
    QUrl previewUrl() const;
    // The preview's picture has arrived (the placeholder shows until then).
    bool hasPreviewPicture() const;
    bool isActive() const;
    bool isControlShown() const;
    // The control's square, in the card's coordinates.
    QRectF controlRect() const;
    QString controlSymbol() const;
    PopoverHost* popover() const { return popover_; }
    PlaylistCardPopoverView* popoverView() const;

    // The control's action: stops this playlist when it rotates, else starts it.
    void toggleRotation();
    void openPopover();

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;

Q_SIGNALS:
    // "Add wallpapers" was chosen in the popover, which has closed.
    void addWallpapersRequested(const WallpaperPlaylist& playlist);

protected:
    bool hitTest(const QPointF& point) const override;
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void handleClick();
    void confirmDelete();
    void paintName(QPainter& painter, const QRectF& card) const;

    WallpaperPlaylist playlist_;
    std::optional<QUrl> thumbnailUrl_;
    std::optional<WallpaperModel> firstWallpaper_;
    PlaylistPlaybackService& rotation_;
    WallpaperPlaylistService& playlists_;
    VideoStill* still_;
    CachedAsyncImage* thumbnail_;
    PopoverHost* popover_;
    QPointF releasedAt_;
};
