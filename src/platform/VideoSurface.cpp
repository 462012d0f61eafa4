#include "platform/VideoSurface.h"

#include "platform/VideoPlayer.h"

#include <QEvent>
#include <QHideEvent>
#include <QPainter>

#include <algorithm>

namespace {
// The part of an image of `image` size that fills `target` when scaled up or down evenly:
// centred, the overflow on one axis cut off.
QRectF aspectFillSource(QSizeF image, QSizeF target)
{
    const qreal scale = std::max(target.width() / image.width(), target.height() / image.height());
    const QSizeF shown = target / scale;
    return QRectF(QPointF((image.width() - shown.width()) / 2, (image.height() - shown.height()) / 2), shown);
}
} // namespace

VideoSurface::VideoSurface(QWidget* parent) : QWidget(parent), player_(new VideoPlayer(this))
{
    // Every pixel is painted (frame or black), so Qt need not clear first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    connect(player_, &VideoPlayer::frameReady, this, qOverload<>(&QWidget::update));
    connect(player_, &VideoPlayer::ready, this, &VideoSurface::ready);
    connect(player_, &VideoPlayer::error, this, &VideoSurface::error);
    updatePlayback();
}

VideoSurface::~VideoSurface() = default;

void VideoSurface::load(const QUrl& url)
{
    player_->load(url);
    update();
}

void VideoSurface::setPaused(bool paused)
{
    if (paused_ == paused)
        return;
    paused_ = paused;
    updatePlayback();
    Q_EMIT pausedChanged(paused_);
}

bool VideoSurface::isReady() const
{
    return player_->isReady();
}

void VideoSurface::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QImage frame = player_->isReady() ? player_->currentFrame() : QImage();
    if (frame.isNull()) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    // The player already draws at our size, filled and cropped; only right after a resize does a
    // frame of the old size need the same crop here.
    painter.drawImage(QRectF(rect()), frame, aspectFillSource(frame.size(), QSizeF(size()) * devicePixelRatioF()));
}

void VideoSurface::resizeEvent(QResizeEvent*)
{
    updateTargetSize();
}

void VideoSurface::showEvent(QShowEvent*)
{
    hiddenBySystem_ = false;
    watchWindow();
    updateTargetSize();
    updatePlayback();
}

void VideoSurface::hideEvent(QHideEvent* event)
{
    hiddenBySystem_ = event->spontaneous();
    updatePlayback();
}

void VideoSurface::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::WindowStateChange)
        updatePlayback();
    QWidget::changeEvent(event);
}

bool VideoSurface::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == watchedWindow_ && event->type() == QEvent::WindowStateChange)
        updatePlayback();
    return QWidget::eventFilter(watched, event);
}

bool VideoSurface::isSeen() const
{
    return isVisible() && !hiddenBySystem_ && !window()->isMinimized();
}

void VideoSurface::updatePlayback()
{
    player_->setPaused(paused_ || !isSeen());
}

void VideoSurface::watchWindow()
{
    // Minimizing only tells the top-level widget; a surface that is its own window hears it in
    // changeEvent().
    QWidget* top = window() == this ? nullptr : window();
    if (watchedWindow_ == top)
        return;
    if (watchedWindow_)
        watchedWindow_->removeEventFilter(this);
    watchedWindow_ = top;
    if (top)
        top->installEventFilter(this);
}

void VideoSurface::updateTargetSize()
{
    player_->setTargetSize(size(), devicePixelRatioF());
}
