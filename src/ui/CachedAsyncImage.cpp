#include "ui/CachedAsyncImage.h"

#include "foundation/CoverCrop.h"
#include "ui/WallpaperImageCache.h"

#include <QEvent>
#include <QPainter>
#include <QWidget>

#include <cmath>

CachedAsyncImage::CachedAsyncImage(QWidget* host)
    : CachedAsyncImage(host, WallpaperImageCache::shared(), WallpaperImageLoader::RetryPolicy{})
{
}

CachedAsyncImage::CachedAsyncImage(QWidget* host, WallpaperImageCache& cache, WallpaperImageLoader::RetryPolicy policy)
    : QObject(host), host_(host), loader_(new WallpaperImageLoader(cache, policy, this))
{
    connect(loader_, &WallpaperImageLoader::imageChanged, this, [this] {
        if (host_)
            host_->update();
        Q_EMIT imageChanged();
    });
    if (host_)
        host_->installEventFilter(this);
}

void CachedAsyncImage::setUrl(const QUrl& url)
{
    const bool had = hasImage();
    loader_->setUrl(url);
    // The loader keeps the old picture until the new one is there; this view shows none meanwhile.
    if (had && !hasImage()) {
        if (host_)
            host_->update();
        Q_EMIT imageChanged();
    }
}

QImage CachedAsyncImage::image() const
{
    if (loader_->url().isEmpty() || loader_->imageUrl() != loader_->url())
        return {};
    return loader_->image();
}

bool CachedAsyncImage::paint(QPainter& painter, const QRectF& target) const
{
    const QImage picture = image();
    if (picture.isNull() || target.isEmpty())
        return false;
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QSize pixels(int(std::ceil(target.width() * ratio)), int(std::ceil(target.height() * ratio)));
    if (scaledFrom_ != picture.cacheKey() || scaled_.size() != pixels) {
        const QRect source = CoverCrop::sourceRect(picture.size(), pixels).toAlignedRect() & picture.rect();
        scaled_ = picture.copy(source).scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        scaledFrom_ = picture.cacheKey();
    }
    painter.drawImage(target, scaled_);
    return true;
}

bool CachedAsyncImage::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == host_ && event->type() == QEvent::Show)
        loader_->retryIfGivenUp();
    return QObject::eventFilter(watched, event);
}
