#pragma once

#include "screens/library/CreatePlaylistCardCycle.h"
#include "screens/library/PlaylistCardFrame.h"
#include "ui/AnimatedValue.h"
#include "ui/AppearanceAware.h"
#include "ui/PressableWidget.h"

#include <QPixmap>

#include <array>

class CachedAsyncImage;
class CreatePlaylistPopupService;
class LoopingVideo;
class VideoPlayerPool;
class WallpaperImageCache;

// The tile that invites the user to create a playlist: a 16:9 card that keeps cross-fading
// between silent looping previews of wallpapers, darkened, with a dashed white border and a
// "Create Playlist" button in its middle. A click anywhere on it asks for the create-playlist
// popup. Two video layers make the fade seamless: both play while the card is on screen, the
// hidden one already the next wallpaper (its poster shows until then), and a fade starts only
// once it can play.
// Painted by this one widget. GUI thread.
class CreatePlaylistCardView : public PressableWidget, public AppearanceAware {
    Q_OBJECT

public:
    explicit CreatePlaylistCardView(QWidget* parent = nullptr);
    CreatePlaylistCardView(CreatePlaylistPopupService& popup, VideoPlayerPool& players, WallpaperImageCache& images,
        std::unique_ptr<CreatePlaylistCardCycle> cycle, QWidget* parent = nullptr);
    ~CreatePlaylistCardView() override;

    // One preview video and one poster per wallpaper, in the same order.
    void setMedia(const QList<QUrl>& videoUrls, const QList<QUrl>& posterUrls);
    CreatePlaylistCardCycle& cycle() { return *cycle_; }
    LoopingVideo* layerVideo(int layer) const { return videos_.at(layer); }
    // The button's rectangle, unscaled.
    QRectF buttonRect() const;

    void appeared() override;
    void disappeared() override;

protected:
    bool hitTest(const QPointF& point) const override;
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void followLayers();
    void followCrossfade();
    void followOpacity(int layer);
    void setPlaying(bool playing);
    // The border and the button, drawn again only when the size or a hover changes: a frame of
    // video repaints the card thirty times a second.
    const QPixmap& overlay() const;
    // Everything the card shows, within the painter's clip.
    void paintCard(QPainter& painter, const QRectF& card) const;
    void paintOverlay(QPainter& painter, const QRectF& card) const;
    void paintLayer(QPainter& painter, const QRectF& card, int layer) const;
    void paintButton(QPainter& painter, const QRectF& card) const;
    void setButtonHovered(bool hovered);

    CreatePlaylistPopupService& popup_;
    std::unique_ptr<CreatePlaylistCardCycle> cycle_;
    std::array<LoopingVideo*, 2> videos_;
    std::array<CachedAsyncImage*, 2> posters_;
    std::array<AnimatedValue, 2> opacity_;
    AnimatedValue buttonHover_;
    bool buttonHovered_ = false;
    PlaylistCardFrame::Clip clip_;
    mutable QRectF buttonRect_;
    mutable QSize buttonRectSize_;
    mutable QPixmap overlay_;
    mutable std::array<qreal, 2> overlayHover_{-1, -1};
};
