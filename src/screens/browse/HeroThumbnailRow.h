#pragma once

#include "model/WallpaperModel.h"
#include "ui/AnimatedValue.h"
#include "ui/PaintCache.h"

#include <QWidget>

#include <memory>
#include <optional>
#include <vector>

class CachedAsyncImage;

// The row of hero thumbnails under the carousel: one 160 × 100 rounded picture per featured
// wallpaper, the selected one ringed in white, a hovered one brightened and ringed. A click picks
// that slide. The row scrolls sideways with the wheel when it is wider than the window; it never
// scrolls by itself. "No wallpapers available" without wallpapers. Painted by this one widget.
// GUI thread.
class HeroThumbnailRow : public QWidget {
    Q_OBJECT

public:
    static constexpr int kHeight = 112;
    static constexpr QSize kThumbnail{160, 100};
    static constexpr int kSpacing = 12;
    static constexpr int kSidePadding = 50;

    explicit HeroThumbnailRow(QWidget* parent = nullptr);
    ~HeroThumbnailRow() override;

    void setWallpapers(const QList<WallpaperModel>& wallpapers);
    void setSelectedIndex(int index);
    std::optional<int> hoveredIndex() const { return hovered_; }
    // Where thumbnail `index` is drawn, scrolling included.
    QRect thumbnailRect(int index) const;
    std::optional<int> indexAt(const QPoint& point) const;
    qreal thumbnailOpacity(int index) const;
    bool hasPicture(int index) const;

    QSize sizeHint() const override;

Q_SIGNALS:
    // The user clicked thumbnail `index`.
    void picked(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Thumbnail {
        CachedAsyncImage* picture;
        std::unique_ptr<AnimatedValue> selectedRing;
        std::unique_ptr<AnimatedValue> hoveredRing;
    };
    int contentWidth() const;
    void setHovered(std::optional<int> index);
    void setScroll(int offset);
    void paintRow(QPainter& painter) const;

    std::vector<Thumbnail> thumbnails_;
    int selected_ = 0;
    std::optional<int> hovered_;
    std::optional<int> pressed_;
    int scroll_ = 0;
    // The row lies over the home hero, whose every frame repaints it.
    PaintCache cache_;
};
