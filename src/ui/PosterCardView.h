#pragma once

#include "foundation/Clock.h"
#include "model/WallpaperModel.h"
#include "ui/AppearanceAware.h"
#include "ui/PaintCache.h"
#include "ui/PosterCardRules.h"
#include "ui/PressableWidget.h"

#include <QPointer>
#include <QTimer>

#include <optional>

class AppStore;
class BrowseContext;
class CachedAsyncImage;
class VideoStill;
class LikeButton;
class LikedWallpapersService;
class LoopingVideo;
class QGraphicsOpacityEffect;
class TapHandler;
class VideoCacheService;
class VideoPlayerPool;
class WallpaperDownloadService;
class WallpaperImageCache;

// The wallpaper card of every grid and row: a 16:9 rounded card showing the poster (a shimmer
// while it loads), a silent preview that fades in over it while the pointer rests on the card
// (or from the moment it appears, for autoplay cards), the status, partner, NEW and rank badges,
// and on hover the heart with the popularity count and the title band. A click opens the
// wallpaper through the browse context. Painted by this one widget; only the heart is a child.
// GUI thread; a card made by a lazy grid lives as long as its cell.
class PosterCardView : public PressableWidget, public AppearanceAware {
    Q_OBJECT

public:
    struct Options {
        std::optional<QString> uploadStatus;     // the own upload's status; none shows no badge
        std::optional<int> rank;                 // a large number at the top left
        bool autoplayPreviewWhenVisible = false; // plays while on screen, not only on hover
        bool emphasizedBorder = false;
        bool usePreviewHdForCard = false;
        bool lightPlaceholderWhileLoading = false;
        bool suppressCardTap = false; // the container handles clicks
    };

    // What the card reads and plays through; shared() gives the application's instances.
    struct Services {
        LikedWallpapersService& liked;
        VideoCacheService& videoCache;
        WallpaperDownloadService& downloads;
        AppStore* appStore; // the asset host; none means no host is known
        VideoPlayerPool& players;
        WallpaperImageCache& images;
        const Clock& clock = Clock::system(); // when the NEW badge ends

        static Services shared();
    };

    PosterCardView(const WallpaperModel& wallpaper, const Options& options, BrowseContext* context,
        QWidget* parent = nullptr);
    PosterCardView(const WallpaperModel& wallpaper, const Options& options, BrowseContext* context, const Services& services,
        QWidget* parent = nullptr);
    ~PosterCardView() override;

    const WallpaperModel& wallpaper() const { return wallpaper_; }
    // A refreshed record of the same wallpaper: new counts replace the card's own like.
    void setWallpaper(const WallpaperModel& wallpaper);
    // What a grid's cell updater does: a card it kept for a key gets that key's current record.
    static void refresh(QWidget* cell, const WallpaperModel& wallpaper);

    // +1 after this wallpaper was liked since its counts last changed, -1 after it was unliked.
    int optimisticLikeDelta() const;
    std::optional<QString> likeCountText() const;
    // Whether the NEW badge shows now.
    bool isNew() const;
    // The poster is loaded (an own video has none).
    bool hasPoster() const;
    // The preview is asked to run, and it has a picture on the card.
    bool isPreviewPlaying() const;
    // An own video's first frame is on the card in place of a poster.
    bool isStillShown() const;
    bool isPreviewShown() const;
    // Where the preview plays from (a cached file, the own video, or the remote address).
    QUrl previewSource() const;
    LikeButton* likeButton() const { return heart_; }

    void appeared() override;
    void disappeared() override;

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QRectF cardRect() const;
    qreal scale() const;
    // The card as the hover scale draws it: everything the card paints lies inside it.
    QRectF scaledCardRect() const;
    std::optional<QString> host() const;
    void startPreviewPlayback();
    void setPlaying(bool playing);
    void dropPreview();
    void followPause(bool pause);
    void followHost();
    void followVideoReady(bool ready);
    void rememberLikedState();
    // Sets the badge's end to repaint the card then, also when nothing else paints it.
    void watchBadgeEnd();
    void updateShimmer();
    void placeHeart();
    void paintCard(QPainter& painter) const;
    void paintBadges(QPainter& painter, const QRectF& card) const;
    void paintHeartCount(QPainter& painter, const QRectF& card) const;
    void paintTitleBand(QPainter& painter, const QRectF& card) const;

    WallpaperModel wallpaper_;
    const Options options_;
    QPointer<BrowseContext> context_;
    Services services_;
    // When the NEW badge shows, read once per record; the clock decides on each paint.
    std::optional<PosterCardRules::NewSpan> newSpan_;
    QTimer* badgeEnd_;

    CachedAsyncImage* poster_ = nullptr;
    // An own video's first frame, standing in for the poster it does not have.
    VideoStill* still_ = nullptr;
    LoopingVideo* video_;
    LikeButton* heart_;
    QGraphicsOpacityEffect* heartOpacity_;
    TapHandler* tap_;
    AnimatedValue shimmer_;
    AnimatedValue videoOpacity_;

    bool playing_ = false;
    bool cachedSource_ = false;
    // Whether the wallpaper was liked when its counts last changed; not known while the stored
    // list was still being read then (the heart shows empty meanwhile, which says nothing).
    std::optional<bool> likedAtCounts_;
    // The card without a preview on it; a new record paints it afresh.
    PaintCache cache_;
    int recordGeneration_ = 0;
};
