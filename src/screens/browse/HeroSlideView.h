#pragma once

#include "model/WallpaperModel.h"
#include "screens/browse/SlideFramePresenter.h"
#include "ui/AnimatedValue.h"
#include "ui/PaintCache.h"

#include <QCoro/QCoroTask>
#include <QPointer>
#include <QUrl>
#include <QWidget>

class BrowseContext;
class CachedAsyncImage;
class LabelButton;
class LikeButton;
class LoopingVideo;
class VideoCacheService;
class VideoPlayerPool;

// One slide of the home hero: the wallpaper's poster, its silent preview over it once a player
// has a first frame, the carousel's shade, and the text block (FEATURED, title, facts) with the
// "View Wallpaper" and like buttons, 50 in from the left at mid-height, or higher where the page
// covers the slide's foot so far that mid-height would put them under the cover. A slide that is not the
// current one is dimmed to 0.6. A player exists only while the carousel wants the slide loaded;
// the poster stays until that player's first frame, so a slide that comes back never shows a
// blank. The preview is copied into the preview cache for later showings. GUI thread; owned by
// the carousel.
class HeroSlideView : public QWidget {
    Q_OBJECT

public:
    HeroSlideView(const WallpaperModel& wallpaper, BrowseContext* context, VideoCacheService& videoCache,
        VideoPlayerPool& players, QWidget* parent = nullptr);
    ~HeroSlideView() override;

    const WallpaperModel& wallpaper() const { return wallpaper_; }
    // A newer record of the same wallpaper (its category named, say): text and poster follow.
    void setWallpaper(const WallpaperModel& wallpaper);
    // Holds a player (the current and the next slide do).
    void setShouldLoadVideo(bool load);
    // The current slide plays; any other shows its first frame or its poster, dimmed.
    void setCurrent(bool current);
    bool isCurrent() const { return current_; }
    // While the carousel turns: the slide is painted from one picture of itself (frame, shade,
    // text) taken now, and its player holds still, so a move copies no live frame.
    void setFrozen(bool frozen);
    bool isFrozen() const { return frozen_; }
    // The carousel's shade, painted over the picture where this slide lies in the carousel.
    void setShade(const QImage* shade);
    // The page's pull-down past its top: the picture grows from its top edge, the text stays.
    void setPull(double pull);
    double pull() const { return pull_; }
    // How much of the slide's foot lies under what the page lays over it (the thumbnail row): the
    // text block and its buttons end kCoverClearance above it at the lowest.
    void setCoveredBottom(int covered);
    static constexpr int kCoverClearance = 16;

    bool hasPoster() const;
    bool hasPlayer() const;
    bool isVideoReady() const;
    bool isPlaying() const;
    // What the slide's player is given: the preview's address, or its copy in the cache.
    QUrl videoUrl() const;
    LabelButton* viewButton() const { return viewButton_; }
    LikeButton* likeButton() const { return likeButton_; }
    // Video frames copied into the slide's painting or put on the screen so far, for tests that
    // check what a repaint costs.
    int framesPainted() const { return framesPainted_; }
    // Frames that went to the screen without a repaint through Qt.
    int framesPresented() const { return presenter_.framesPresented(); }
    // The slide's text, kept between repaints.
    const PaintCache& text() const { return text_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct TextLayout {
        QRectF featured;
        QRectF title;
        QRectF facts;
        QPoint buttons;
    };
    TextLayout textLayout() const;
    // Lays out the text and the buttons for the slide's size and wallpaper.
    void relayout();
    QStringList facts() const;
    // The title in at most two lines of the text column, elided after that.
    QString titleLines() const;
    // The featured line, the title and the facts, which change far less often than the video's
    // frames and do not change as the slide moves or fades.
    void paintText(QPainter& painter) const;
    // Picture, shade and text, with the shade laid as when the slide is at rest.
    void paintSlide(QPainter& painter, const QPointF& shadeAt);
    // The shade with the text over it, as one premultiplied picture of the slide's size: what
    // covers every frame, kept until the slide's size, text, shade or place under it changes.
    const QImage& cover(const QPointF& shadeAt);
    void freeze();
    // A new frame of a slide at rest goes straight to the screen; false when it must be repainted.
    bool presentFrame();
    void makeVideo();
    void updatePlayback();
    void cacheLocalCopy();
    // The cache was emptied: a player of the copy would open a missing file.
    void forgetLocalCopy();
    static QCoro::Task<> copyPreview(QPointer<HeroSlideView> self, VideoCacheService* cache, QUrl url, qint64 key);

    WallpaperModel wallpaper_;
    QPointer<BrowseContext> context_;
    VideoCacheService& videoCache_;
    VideoPlayerPool& players_;
    CachedAsyncImage* poster_;
    LoopingVideo* video_ = nullptr;
    LabelButton* viewButton_;
    LikeButton* likeButton_;
    const QImage* shade_ = nullptr;
    AnimatedValue dim_;
    // Laid out with the size and the wallpaper, not for every frame.
    TextLayout layout_;
    PaintCache text_;
    QImage cover_;
    // What cover_ was made of.
    QPointF coverShadeAt_;
    qint64 coverShadeKey_ = 0;
    bool coverStale_ = true;
    // What a frozen slide paints.
    QImage still_;
    SlideFramePresenter presenter_;
    std::optional<QUrl> localCopy_;
    bool shouldLoad_ = false;
    bool current_ = false;
    bool cacheAsked_ = false;
    bool frozen_ = false;
    int framesPainted_ = 0;
    double pull_ = 0;
    int coveredBottom_ = 0;
};
