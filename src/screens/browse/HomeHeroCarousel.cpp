#include "screens/browse/HomeHeroCarousel.h"

#include "engine/VideoCacheService.h"
#include "screens/browse/HeroSlideView.h"
#include "ui/BrowseContext.h"
#include "ui/Theme.h"
#include "ui/VideoPlayerPool.h"

#include <QEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {
// The strip moves like a critically damped spring that takes about a second.
const AnimatedValue::Curve kSlideSpring = AnimatedValue::Curve::spring(1.0, 1.0);
} // namespace

HomeHeroCarousel::HomeHeroCarousel(BrowseContext* context, QWidget* parent)
    : HomeHeroCarousel(context, VideoCacheService::shared(), VideoPlayerPool::shared(), kSlideIntervalMs, parent)
{
}

HomeHeroCarousel::HomeHeroCarousel(BrowseContext* context, VideoCacheService& videoCache, VideoPlayerPool& players,
    int slideIntervalMs, QWidget* parent)
    : QWidget(parent), context_(context), videoCache_(videoCache), players_(players)
{
    timer_.setInterval(slideIntervalMs);
    connect(&timer_, &QTimer::timeout, this, &HomeHeroCarousel::advanceSlide);
    connect(&offset_, &AnimatedValue::valueChanged, this, &HomeHeroCarousel::placeSlides);
    connect(&offset_, &AnimatedValue::finished, this, &HomeHeroCarousel::land);
}

void HomeHeroCarousel::setWallpapers(const QList<WallpaperModel>& wallpapers)
{
    const bool sameSlides = wallpapers.size() == slides_.size()
        && std::equal(wallpapers.cbegin(), wallpapers.cend(), slides_.cbegin(), [](const WallpaperModel& wallpaper, HeroSlideView* slide) {
               return wallpaper.key && wallpaper.key == slide->wallpaper().key && wallpaper.previewhdUrl == slide->wallpaper().previewhdUrl;
           });
    if (sameSlides) {
        for (int i = 0; i < count(); ++i)
            slides_[i]->setWallpaper(wallpapers[i]);
        return;
    }
    qDeleteAll(std::exchange(slides_, {}));
    for (const WallpaperModel& wallpaper : wallpapers) {
        auto* slide = new HeroSlideView(wallpaper, context_, videoCache_, players_, this);
        slide->setShade(&shade_);
        slide->setCoveredBottom(coveredBottom_);
        slide->show();
        slides_.append(slide);
    }
    placeSlides();
    updateSlides();
    restartTimer();
}

HeroSlideView* HomeHeroCarousel::slide(int index) const { return slides_.value(index); }

bool HomeHeroCarousel::shouldLoadVideo(int index) const
{
    if (slides_.isEmpty())
        return false;
    return index == current_ || index == (current_ + 1) % count();
}

void HomeHeroCarousel::setPull(double pull)
{
    for (HeroSlideView* slide : slides_)
        slide->setPull(pull);
}

void HomeHeroCarousel::setCoveredBottom(int covered)
{
    coveredBottom_ = covered;
    for (HeroSlideView* slide : slides_)
        slide->setCoveredBottom(covered);
}

qreal HomeHeroCarousel::position() const { return width() > 0 ? offset_.value() / width() : 0; }

bool HomeHeroCarousel::isTurning() const { return offset_.state() == QAbstractAnimation::Running; }

void HomeHeroCarousel::setCurrentIndex(int index)
{
    if (index == current_)
        return;
    current_ = index;
    // Moving full-size live video costs a copy of each frame and a blend of its shade for every
    // step of the move; frozen pictures are blitted. Players wait for the landing.
    freezeTowards(current_);
    for (int i = 0; i < count(); ++i)
        slides_[i]->setCurrent(i == current_);
    offset_.animateTo(double(current_) * width(), kSlideSpring);
    if (!isTurning())
        land();
    restartTimer();
    Q_EMIT currentIndexChanged(current_);
}

void HomeHeroCarousel::freezeTowards(int index)
{
    if (slides_.isEmpty())
        return;
    const qreal at = position();
    const int first = std::clamp(std::min(int(std::floor(at)), index), 0, count() - 1);
    const int last = std::clamp(std::max(int(std::ceil(at)), index), 0, count() - 1);
    for (int i = first; i <= last; ++i)
        slides_[i]->setFrozen(true);
}

void HomeHeroCarousel::land()
{
    updateSlides();
    for (HeroSlideView* slide : slides_)
        slide->setFrozen(false);
}

void HomeHeroCarousel::advanceSlide()
{
    // Nothing moves while the window is minimised: the next tick tries again.
    if (slides_.isEmpty() || window()->isMinimized())
        return;
    setCurrentIndex((current_ + 1) % count());
}

void HomeHeroCarousel::restartTimer()
{
    timer_.stop();
    if (!slides_.isEmpty() && isVisible())
        timer_.start();
}

void HomeHeroCarousel::updateSlides()
{
    for (int i = 0; i < count(); ++i) {
        slides_[i]->setShouldLoadVideo(shouldLoadVideo(i));
        slides_[i]->setCurrent(i == current_);
    }
}

void HomeHeroCarousel::placeSlides()
{
    const int offset = int(std::lround(offset_.value()));
    for (int i = 0; i < count(); ++i)
        slides_[i]->setGeometry(i * width() - offset, 0, width(), height());
}

void HomeHeroCarousel::renderShade()
{
    const qreal ratio = devicePixelRatioF();
    shade_ = QImage(size() * ratio, QImage::Format_ARGB32_Premultiplied);
    shade_.setDevicePixelRatio(ratio);
    shade_.fill(Qt::transparent);
    if (size().isEmpty())
        return;
    QPainter painter(&shade_);
    const QRectF area = rect();
    QRadialGradient vignette(area.center(), 0.8 * std::max(area.width(), area.height()));
    vignette.setColorAt(0, Theme::withOpacity(Qt::black, 0));
    vignette.setColorAt(0.5, Theme::withOpacity(Qt::black, 0.1));
    vignette.setColorAt(1, Theme::withOpacity(Qt::black, 0.3));
    painter.fillRect(area, vignette);
    // The lower half fades into the page.
    QLinearGradient fade(area.center(), QPointF(area.center().x(), area.bottom()));
    const QColor page = Theme::appBackgroundColor();
    fade.setColorAt(0, Theme::withOpacity(page, 0));
    fade.setColorAt(1.0 / 3, Theme::withOpacity(page, 0.2));
    fade.setColorAt(2.0 / 3, Theme::withOpacity(page, 0.6));
    fade.setColorAt(1, page);
    painter.fillRect(QRectF(0, area.center().y(), area.width(), area.height() / 2), fade);
}

void HomeHeroCarousel::resizeEvent(QResizeEvent*)
{
    renderShade();
    // A resize ends a turn where it was going.
    offset_.setValue(double(current_) * width());
    placeSlides();
    land();
}

void HomeHeroCarousel::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Minimising only tells the top-level widget.
    if (QWidget* top = window(); top != this && top != watchedWindow_) {
        if (watchedWindow_)
            watchedWindow_->removeEventFilter(this);
        watchedWindow_ = top;
        top->installEventFilter(this);
    }
    restartTimer();
}

void HomeHeroCarousel::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    timer_.stop();
}

bool HomeHeroCarousel::eventFilter(QObject* watched, QEvent* event)
{
    // Back from the task bar the interval starts anew, as when the carousel comes on screen.
    if (watched == watchedWindow_ && event->type() == QEvent::WindowStateChange && !watchedWindow_->isMinimized())
        restartTimer();
    return QWidget::eventFilter(watched, event);
}
