#include "platform/VideoSurface.h"

#include "foundation/CoverCrop.h"
#include "platform/FramePresenter.h"
#include "platform/VideoFrameBuffer.h"
#include "platform/VideoPlayer.h"
#include "platform/X11FramePresenter.h"
#include "platform/X11WindowVisibility.h"

#include <QEvent>
#include <QHideEvent>
#include <QPainter>
#include <QWindow>

VideoSurface::VideoSurface(QWidget* parent) : QWidget(parent), player_(new VideoPlayer(this))
{
    // Every pixel is painted (frame or black), so Qt need not clear first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    connect(player_, &VideoPlayer::frameReady, this, &VideoSurface::showFrame);
    connect(player_, &VideoPlayer::ready, this, &VideoSurface::ready);
    connect(player_, &VideoPlayer::error, this, &VideoSurface::error);
    updatePlayback();
}

VideoSurface::~VideoSurface() = default;

void VideoSurface::setPresentsDirectly(bool direct)
{
    presentsDirectly_ = direct;
    if (!direct) {
        presenter_.reset();
        presenterWindow_ = 0;
        presenterFailed_ = false;
        setWindowPainted(true);
    }
}

void VideoSurface::setFramePresenter(FramePresenter* presenter)
{
    givenPresenter_ = presenter;
}

void VideoSurface::setCovered(bool covered)
{
    if (covered_ == covered)
        return;
    covered_ = covered;
    updatePlayback();
}

void VideoSurface::setPixelRatio(qreal ratio)
{
    pixelRatio_ = ratio;
    updateTargetSize();
}

qreal VideoSurface::pixelRatio() const
{
    return pixelRatio_ > 0 ? pixelRatio_ : devicePixelRatioF();
}

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
    painter.drawImage(QRectF(rect()), frame, CoverCrop::sourceRect(frame.size(), QSizeF(size()) * devicePixelRatioF()));
}

void VideoSurface::resizeEvent(QResizeEvent*)
{
    updateTargetSize();
}

void VideoSurface::showEvent(QShowEvent*)
{
    hiddenBySystem_ = false;
    watchWindow();
    watchNativeWindow();
    if (presentsDirectly_ && !givenPresenter_)
        makePresenter();
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
    // The server fills an exposed window with black, or Qt with its backing store: the current
    // frame goes there again, painted through Qt only when it cannot go directly.
    if (presentsDirectly_ && event->type() == QEvent::Expose && watched == window()->windowHandle() && !presentFrame())
        update();
    return QWidget::eventFilter(watched, event);
}

bool VideoSurface::isSeen() const
{
    return isVisible() && !hiddenBySystem_ && !covered_ && !window()->isMinimized() && !(visibility_ && visibility_->isFullyObscured());
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

void VideoSurface::watchNativeWindow()
{
    // The native window comes with the first show, and Qt may make a new one later.
    QWindow* handle = window()->windowHandle();
    if (!handle || !handle->handle())
        return;
    if (nativeWindow_ != handle) {
        if (nativeWindow_)
            nativeWindow_->removeEventFilter(this);
        nativeWindow_ = handle;
        handle->installEventFilter(this);
    }
    if (visibility_ && visibility_->windowId() == handle->winId())
        return;
    delete visibility_;
    visibility_ = X11WindowVisibility::watch(handle, this);
    if (visibility_)
        connect(visibility_, &X11WindowVisibility::fullyObscuredChanged, this, &VideoSurface::updatePlayback);
}

void VideoSurface::updateTargetSize()
{
    player_->setTargetSize(size(), pixelRatio());
}

void VideoSurface::showFrame()
{
    if (presentsDirectly_ && presentFrame())
        return;
    // A given presenter's surface is the only place the frame could show.
    if (!givenPresenter_)
        update();
}

bool VideoSurface::presentFrame()
{
    const std::shared_ptr<const VideoFrameBuffer> frame = player_->currentBuffer();
    if (givenPresenter_)
        return frame && player_->isReady() && givenPresenter_->present(frame, QPoint());
    const qreal ratio = devicePixelRatioF();
    QWindow* handle = window()->windowHandle();
    // A frame of another size (just after a resize) needs the crop that painting does.
    if (!frame || !player_->isReady() || !handle || !handle->isExposed() || frame->size() != (QSizeF(size()) * ratio).toSize())
        return false;
    if (!makePresenter())
        return false;
    if (presenter_->present(frame, (QPointF(mapTo(window(), QPoint())) * ratio).toPoint()))
        return true;
    presenter_.reset();
    presenterFailed_ = true;
    setWindowPainted(true);
    return false;
}

bool VideoSurface::makePresenter()
{
    // Qt may give the window a new native window; each gets a presenter of its own.
    QWindow* handle = window()->windowHandle();
    if (!handle || !handle->handle())
        return false;
    if (presenterWindow_ != handle->winId()) {
        presenterWindow_ = handle->winId();
        presenter_ = X11FramePresenter::create(handle);
        presenterFailed_ = !presenter_;
    }
    setWindowPainted(presenterFailed_);
    return !presenterFailed_;
}

void VideoSurface::setWindowPainted(bool painted)
{
    // Painting nothing, Qt never sizes the window's backing store (a display-sized image for a
    // desktop window). Only what was turned off here is turned on again: the window's owner may
    // have its own reasons.
    if (windowUnpainted_ != painted)
        return;
    windowUnpainted_ = !painted;
    window()->setUpdatesEnabled(painted);
}
