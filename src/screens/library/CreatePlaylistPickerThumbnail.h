#pragma once

#include "model/WallpaperModel.h"

#include <QWidget>

#include <optional>

class CachedAsyncImage;
class VideoStill;

// A wallpaper the playlist sheets offer: its picture at 1.6 : 1 with corners of radius 10 (an own
// video held at its first frame with its name over the frame's foot, else the poster, else a grey
// placeholder), full strength when ticked and half when not, with the tick mark at the top-right
// corner. A click toggles it.
// Painted by this one widget. GUI thread.
class CreatePlaylistPickerThumbnail : public QWidget {
    Q_OBJECT

public:
    static constexpr qreal kAspect = 1.6;
    static constexpr qreal kCornerRadius = 10;

    CreatePlaylistPickerThumbnail(const WallpaperModel& wallpaper, bool selected, const std::optional<QString>& host,
        QWidget* parent = nullptr);

    const WallpaperModel& wallpaper() const { return wallpaper_; }
    bool isSelected() const { return selected_; }
    void setSelected(bool selected);
    // Where the picture comes from: an own video, or an image.
    QUrl videoUrl() const;
    QUrl imageUrl() const;
    bool hasPicture() const;
    // An own video's name is painted over its frame.
    bool showsName() const;

Q_SIGNALS:
    void tapped();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    const WallpaperModel wallpaper_;
    bool selected_;
    bool pressed_ = false;
    VideoStill* still_;
    CachedAsyncImage* image_;
};
