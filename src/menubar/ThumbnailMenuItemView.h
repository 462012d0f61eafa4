#pragma once

#include <QImage>
#include <QWidget>

// The first row of the tray menu: a picture of the wallpaper on the desktop across the whole
// menu width, centred vertically when it is shorter than the row, anchored at the bottom and cut
// at the top when it is taller. Draws nothing without a picture. GUI thread; owned by the menu.
class ThumbnailMenuItemView : public QWidget {
    Q_OBJECT

public:
    static constexpr QSize kSize{240, 135};

    explicit ThumbnailMenuItemView(QWidget* parent = nullptr);

    const QImage& thumbnailImage() const { return thumbnailImage_; }
    // Redraws after every change; a null image is no picture.
    void setThumbnailImage(QImage image);

    QSize sizeHint() const override { return kSize; }

    // Where the picture lands in a row of `bounds`: the full width, its height by the picture's
    // proportions.
    static QRectF pictureRect(const QSizeF& bounds, const QSizeF& picture);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage thumbnailImage_;
};
