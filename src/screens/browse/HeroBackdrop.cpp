#include "screens/browse/HeroBackdrop.h"

#include "engine/VideoCacheService.h"
#include "foundation/Async.h"
#include "ui/LoopingVideo.h"
#include "ui/OverscrollStretch.h"
#include "ui/Theme.h"
#include "ui/VideoPlayerPool.h"

#include <QPainter>
#include <QRadialGradient>

HeroBackdrop::HeroBackdrop(QWidget* parent)
    : QWidget(parent), cache_(VideoCacheService::shared()), players_(new VideoPlayerPool(1, this)),
      video_(new LoopingVideo(this, *players_))
{
    connect(video_, &LoopingVideo::readyChanged, this, qOverload<>(&QWidget::update));
    connect(&cache_, &VideoCacheService::cacheCleared, this, &HeroBackdrop::forgetStoredFile);
}

// The video gives its lease back to the pool, so it goes first.
HeroBackdrop::~HeroBackdrop() { delete video_; }

void HeroBackdrop::setVideoAddress(const std::optional<QString>& address)
{
    std::optional<QUrl> remote;
    if (address) {
        const QUrl url(*address, QUrl::StrictMode);
        if (url.isValid() && !url.scheme().isEmpty() && !url.host().isEmpty())
            remote = url;
    }
    if (remote == remote_)
        return;
    remote_ = remote;
    video_->setUrl(remote_ ? playedUrl() : QUrl());
    if (playing_)
        startVideo();
    update();
}

QUrl HeroBackdrop::playedUrl() const
{
    if (!remote_)
        return {};
    return cache_.cachedPreviewVideoUrl(*remote_, std::nullopt).value_or(*remote_);
}

bool HeroBackdrop::isVideoReady() const { return video_->isReady(); }

void HeroBackdrop::setVideoPlaying(bool playing)
{
    playing_ = playing;
    video_->setPlaying(playing && remote_);
}

void HeroBackdrop::setPull(double pull)
{
    if (pull == pull_)
        return;
    pull_ = pull;
    update();
}

void HeroBackdrop::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!playing_)
        startVideo();
}

void HeroBackdrop::startVideo()
{
    playing_ = true;
    if (!remote_)
        return;
    video_->setPlaying(true);
    if (cache_.cachedPreviewVideoUrl(*remote_, std::nullopt))
        return;
    // The player streams the address meanwhile; once the file is in the cache a video that has
    // shown no frame yet (a stream the player could not open) plays the file instead. A failed
    // download changes nothing: the player keeps streaming and the next showing tries again.
    fireAndForget(
        [](QPointer<HeroBackdrop> hero, VideoCacheService& cache, QUrl url) -> QCoro::Task<> {
            QUrl file;
            try {
                file = co_await cache.cachePreviewVideo(url, std::nullopt);
            } catch (const std::exception&) {
                co_return;
            }
            if (hero && hero->remote_ == url && !hero->video_->isReady())
                hero->video_->setUrl(file);
        }(this, cache_, *remote_),
        QStringLiteral("HeroBackdrop"));
}

void HeroBackdrop::forgetStoredFile()
{
    if (!remote_ || !video_->url().isLocalFile())
        return;
    // Back to the address; a video on screen fetches the file again.
    video_->setUrl(*remote_);
    if (playing_)
        startVideo();
}

void HeroBackdrop::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area(rect());
    painter.setTransform(OverscrollStretch::stretchTransform(area, pull_));
    if (!remote_ || !video_->paint(painter, area)) {
        QLinearGradient fallback(area.topLeft(), area.bottomRight());
        fallback.setColorAt(0, Theme::withOpacity(QColor(191, 90, 242), 0.8));
        fallback.setColorAt(1, Theme::withOpacity(Theme::systemBlue(), 0.6));
        painter.fillRect(area, Theme::appBackgroundColor());
        painter.fillRect(area, fallback);
    }
    QRadialGradient shade(area.center(), 0.8 * std::max(area.width(), area.height()));
    shade.setColorAt(0, Theme::withOpacity(Qt::black, 0));
    shade.setColorAt(0.5, Theme::withOpacity(Qt::black, 0.2));
    shade.setColorAt(1, Theme::withOpacity(Qt::black, 0.4));
    painter.fillRect(area, shade);
    QLinearGradient fade(area.center(), QPointF(area.center().x(), area.bottom()));
    const QColor page = Theme::appBackgroundColor();
    fade.setColorAt(0, Theme::withOpacity(page, 0));
    fade.setColorAt(1.0 / 3, Theme::withOpacity(page, 0.4));
    fade.setColorAt(2.0 / 3, Theme::withOpacity(page, 0.8));
    fade.setColorAt(1, page);
    painter.fillRect(area, fade);
}
