#pragma once

#include "model/WallpaperModel.h"
#include "ui/AnimatedValue.h"

#include <QImage>
#include <QPointer>
#include <QTimer>
#include <QWidget>

class BrowseContext;
class HeroSlideView;
class VideoCacheService;
class VideoPlayerPool;

// The full-width band at the top of the home page: one slide per featured wallpaper in a strip
// that springs to the current slide, under a vignette and a fade into the page at the bottom. It
// advances by itself every interval while it is on screen; any change of the current index (the
// timer's, a thumbnail's, the owner's) springs to that slide and starts the interval anew. Only
// the current and the next slide hold a video player. While the strip moves, the slides it
// passes are frozen pictures and no player runs or starts: the incoming slide plays, and the
// one after it gets its player, once the strip has landed. Draws nothing without wallpapers.
// GUI thread.
class HomeHeroCarousel : public QWidget {
    Q_OBJECT

public:
    static constexpr int kSlideIntervalMs = 7000;

    explicit HomeHeroCarousel(BrowseContext* context, QWidget* parent = nullptr);
    HomeHeroCarousel(BrowseContext* context, VideoCacheService& videoCache, VideoPlayerPool& players, int slideIntervalMs,
        QWidget* parent = nullptr);

    // Slides of the same wallpapers (by key, in order) stay, players and all, and only take the
    // new records; any other list builds the slides anew.
    void setWallpapers(const QList<WallpaperModel>& wallpapers);
    int count() const { return int(slides_.size()); }
    int currentIndex() const { return current_; }
    // Springs to `index`, even one out of range (then no slide is current until the next tick).
    void setCurrentIndex(int index);
    HeroSlideView* slide(int index) const;
    // Whether slide `index` holds a player: the current and the next one.
    bool shouldLoadVideo(int index) const;
    bool isAutoSliding() const { return timer_.isActive(); }
    // Milliseconds until the carousel moves on by itself; -1 while it does not.
    int msToNextSlide() const { return timer_.remainingTime(); }
    // Where the strip is scrolled to, in slide widths.
    qreal position() const;
    // True from a change of the current index until the strip rests on that slide.
    bool isTurning() const;
    // The page's pull-down past its top: every slide's picture grows from its top edge.
    void setPull(double pull);
    // How much of the carousel's foot the page covers (with the thumbnail row): every slide keeps
    // its text and buttons above it.
    void setCoveredBottom(int covered);

Q_SIGNALS:
    void currentIndexChanged(int index);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void advanceSlide();
    void restartTimer();
    // Freezes every slide the strip passes on its way from where it is to `index`.
    void freezeTowards(int index);
    void land();
    void placeSlides();
    void updateSlides();
    void renderShade();

    QPointer<BrowseContext> context_;
    VideoCacheService& videoCache_;
    VideoPlayerPool& players_;
    QList<HeroSlideView*> slides_;
    int current_ = 0;
    int coveredBottom_ = 0;
    QTimer timer_;
    AnimatedValue offset_;
    QImage shade_;
    QPointer<QWidget> watchedWindow_;
};
