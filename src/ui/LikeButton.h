#pragma once

#include "model/WallpaperModel.h"
#include "ui/PaintCache.h"
#include "ui/PressableWidget.h"

class LikedWallpapersService;

// The heart that likes or unlikes one wallpaper. It keeps no liked state of its own: it reads
// the liked list of LikedWallpapersService (and the changes waiting for it while it is read)
// whenever that changes, so every heart of the same wallpaper stays in step, and it changes the
// list through the service (which counts a like on the backend and takes an unliked wallpaper out
// of every playlist). The whole square takes clicks; hovering it brightens or dims the heart as
// its look says.
class LikeButton : public PressableWidget {
    Q_OBJECT

public:
    struct Look {
        bool background = false;        // a dark circle behind the heart
        qreal fontSize = 18;            // the heart's point size
        bool enableGlow = false;        // a soft white glow around the heart
        bool alwaysFullOpacity = false; // never dimmed, hovered or not
        bool hoverSoftOpacity = false;  // dims a little while hovered instead of brightening
        int frameSize = 40;             // side of the square the button takes

        static Look posterCard();
        static Look heroOverlay();
        static Look fullScreenFootBar();
    };

    // Bound to the shared liked list.
    LikeButton(const WallpaperModel& wallpaper, const Look& look, QWidget* parent = nullptr);
    LikeButton(const WallpaperModel& wallpaper, const Look& look, LikedWallpapersService& liked, QWidget* parent = nullptr);

    const WallpaperModel& wallpaper() const { return wallpaper_; }
    void setWallpaper(const WallpaperModel& wallpaper);

    // Liked when the wallpaper has a key and the liked list holds it, or will once the changes
    // waiting for the list are made.
    bool isLiked() const;
    // What the heart shows right now, animations included.
    qreal labelOpacity() const;
    QColor heartColor() const;

    QSize sizeHint() const override;

signals:
    // After each click, with the liked state the click produced.
    void toggled(bool liked);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void tap();
    void followService();
    void paintHeart(QPainter& painter) const;

    WallpaperModel wallpaper_;
    Look look_;
    LikedWallpapersService& liked_;
    AnimatedValue likedness_;
    // Its glow is a blur: worth keeping while a video beneath repaints it.
    PaintCache cache_;
};
