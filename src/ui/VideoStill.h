#pragma once

#include "ui/CoverPicture.h"

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QUrl>

class LoopingVideo;
class MediaTools;
class QPainter;
class QRectF;
class QWidget;
class VideoPlayerPool;

// A video held at its first frame, as a still picture painted by the widget that owns its shape
// (a playlist card, a sheet thumbnail). A file on this machine is read by the media tools off the
// GUI thread, so it costs no player; a remote video runs in a pooled player until its first
// frame, which is kept, and the player is let go. A video that cannot be read leaves no picture:
// the host draws its placeholder. The host is repainted when the picture arrives. GUI thread only.
class VideoStill : public QObject {
    Q_OBJECT
public:
    // The picture is made at most this large.
    static constexpr QSize kBounds{640, 360};

    explicit VideoStill(QWidget* host);
    VideoStill(QWidget* host, MediaTools& media, VideoPlayerPool& players);

    // The same address again keeps the picture; an empty one drops it.
    void setUrl(const QUrl& url);
    QUrl url() const { return url_; }
    const QImage& image() const { return image_; }
    bool hasImage() const { return !image_.isNull(); }

    // Fills `target` with the picture, cropped; false, painting nothing, while there is none.
    bool paint(QPainter& painter, const QRectF& target) const;

Q_SIGNALS:
    void imageChanged();

private:
    void readFile();
    void takeFirstFrame();
    void setImage(const QImage& image);

    QPointer<QWidget> host_;
    MediaTools& media_;
    VideoPlayerPool& players_;
    QUrl url_;
    QImage image_;
    LoopingVideo* remote_ = nullptr;
    CoverPicture cover_;
};
