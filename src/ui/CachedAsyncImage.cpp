#include "ui/CachedAsyncImage.h"

#include "engine/WallpaperImageCache.h"

#include <QEvent>
#include <QWidget>

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
    return cover_.paint(painter, target, image());
}

bool CachedAsyncImage::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == host_ && event->type() == QEvent::Show)
        loader_->retryIfGivenUp();
    return QObject::eventFilter(watched, event);
}
