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
        // A load that ends while the host is away only fills the cache.
        releaseIfOffScreen();
    });
    if (host_)
        host_->installEventFilter(this);
}

void CachedAsyncImage::setUrl(const QUrl& url)
{
    if (url == url_)
        return;
    const bool had = hasImage();
    url_ = url;
    cover_.clear();
    if (!offScreen_)
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
    if (url_.isEmpty() || loader_->url() != url_ || loader_->imageUrl() != url_)
        return {};
    return loader_->image();
}

bool CachedAsyncImage::paint(QPainter& painter, const QRectF& target) const
{
    const QImage full = image();
    return full.isNull() ? cover_.paintKept(painter, target) : cover_.paint(painter, target, full);
}

void CachedAsyncImage::releaseIfOffScreen()
{
    // The cache keeps the full picture as long as it has room; the loader lets its copy go.
    if (offScreen_ && !loader_->image().isNull())
        loader_->setUrl(QUrl());
}

void CachedAsyncImage::followHostHidden()
{
    // Checked a turn later: a host hidden on its way to deletion, or shown again at once, keeps
    // its picture.
    QMetaObject::invokeMethod(this, [this] {
        if (!host_ || host_->isVisible() || offScreen_)
            return;
        offScreen_ = true;
        releaseIfOffScreen();
    }, Qt::QueuedConnection);
}

void CachedAsyncImage::followHostShown()
{
    if (offScreen_) {
        offScreen_ = false;
        loader_->setUrl(url_);
    }
    loader_->retryIfGivenUp();
}

bool CachedAsyncImage::eventFilter(QObject* watched, QEvent* event)
{
    // A minimised window hides its widgets spontaneously; it is back in an instant.
    if (watched == host_ && event->type() == QEvent::Show)
        followHostShown();
    else if (watched == host_ && event->type() == QEvent::Hide && !event->spontaneous())
        followHostHidden();
    return QObject::eventFilter(watched, event);
}
