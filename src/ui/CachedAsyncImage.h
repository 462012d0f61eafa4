#pragma once

#include "engine/WallpaperImageLoader.h"
#include "ui/CoverPicture.h"

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QUrl>

class QPainter;
class QRectF;
class QWidget;

// A remote picture painted by the widget that owns its shape: that widget sets its clip (a rounded
// card, say), asks paint() to fill a rectangle with the picture, scaled to fill and cropped, and
// draws its own placeholder while paint() answers false. The picture of an earlier address is
// never painted for the current one. The host is repainted when the picture arrives, and each
// time the host comes on screen a load that gave up is tried again. While the host is off the
// screen (its page left) only the copy scaled for its last paint is kept, not the full decoded
// picture; that copy is painted until the full one is back from the cache. GUI thread only.
class CachedAsyncImage : public QObject {
    Q_OBJECT
public:
    explicit CachedAsyncImage(QWidget* host);
    CachedAsyncImage(QWidget* host, WallpaperImageCache& cache, WallpaperImageLoader::RetryPolicy policy);

    // An empty address shows the placeholder and stops a running load.
    void setUrl(const QUrl& url);
    QUrl url() const { return url_; }
    // The full picture of the current address, or null while it is not there (off screen too).
    QImage image() const;
    // Whether paint() has a picture of the current address to paint, full or kept.
    bool hasImage() const { return !image().isNull() || cover_.hasKept(); }

    // Fills `target` (in the painter's coordinates) with the picture; false when there is none
    // or `target` is empty, and then nothing is painted.
    bool paint(QPainter& painter, const QRectF& target) const;

Q_SIGNALS:
    void imageChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void releaseIfOffScreen();
    void followHostHidden();
    void followHostShown();

    QPointer<QWidget> host_;
    WallpaperImageLoader* loader_;
    CoverPicture cover_;
    // The address shown; the loader holds none while the host is off the screen.
    QUrl url_;
    bool offScreen_ = false;
};
