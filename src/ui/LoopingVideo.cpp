#include "ui/LoopingVideo.h"

#include "platform/VideoPlayer.h"
#include "foundation/CoverCrop.h"
#include "ui/VideoPlayerPool.h"

#include <QEvent>
#include <QPainter>
#include <QWidget>

LoopingVideo::LoopingVideo(QWidget* host) : LoopingVideo(host, VideoPlayerPool::shared()) {}

LoopingVideo::LoopingVideo(QWidget* host, VideoPlayerPool& pool) : QObject(host), host_(host), pool_(pool)
{
    if (host_)
        host_->installEventFilter(this);
}

LoopingVideo::~LoopingVideo()
{
    pool_.release(this);
}

void LoopingVideo::setUrl(const QUrl& url)
{
    if (url == url_)
        return;
    url_ = url;
    setReady(false);
    if (url_.isEmpty()) {
        dropPlayer();
        return;
    }
    if (player_)
        player_->load(url_);
    updatePlayback();
}

void LoopingVideo::setPlaying(bool playing)
{
    if (wantsToPlay_ == playing)
        return;
    wantsToPlay_ = playing;
    updatePlayback();
}

bool LoopingVideo::isRunning() const
{
    return player_ && !player_->isPaused();
}

bool LoopingVideo::isSeen() const
{
    return host_ && host_->isVisible() && !host_->window()->isMinimized();
}

void LoopingVideo::updatePlayback()
{
    const bool run = wantsToPlay_ && !url_.isEmpty() && isSeen();
    // A player is made only for a video that is to run; a paused one keeps its last frame.
    if (run && !player_)
        makePlayer();
    if (!player_)
        return;
    player_->setPaused(!run);
    pool_.setActive(this, run);
}

void LoopingVideo::makePlayer()
{
    pool_.acquire(this, [this] { dropPlayer(); });
    player_ = new VideoPlayer(this);
    connect(player_, &VideoPlayer::ready, this, [this] { setReady(true); });
    connect(player_, &VideoPlayer::error, this, &LoopingVideo::failed);
    connect(player_, &VideoPlayer::frameReady, this, [this] {
        if (host_ && ready_ && !(present_ && present_()))
            host_->update();
    });
    applyTargetSize();
    player_->load(url_);
    watchWindow();
}

void LoopingVideo::dropPlayer()
{
    pool_.release(this);
    if (!player_)
        return;
    // Disconnected first: nothing of the old player reaches the host while it shuts down.
    player_->disconnect(this);
    delete player_;
    player_ = nullptr;
    setReady(false);
}

void LoopingVideo::setReady(bool ready)
{
    if (ready_ == ready)
        return;
    ready_ = ready;
    applyTargetSize();
    if (host_)
        host_->update();
    Q_EMIT readyChanged(ready_);
}

void LoopingVideo::setFrameSize(const QSize& size)
{
    if (size == frameSize_)
        return;
    frameSize_ = size;
    applyTargetSize();
}

void LoopingVideo::setShown(bool shown)
{
    if (shown == shown_)
        return;
    shown_ = shown;
    applyTargetSize();
}

void LoopingVideo::applyTargetSize()
{
    if (!player_ || !host_)
        return;
    // Out of sight, a video that has its first frame plays on without drawing its frames; shown
    // again, its current frame is drawn at once.
    player_->setTargetSize(shown_ || !ready_ ? frameSize() : QSize(), host_->devicePixelRatioF());
}

QSize LoopingVideo::frameSize() const
{
    if (!frameSize_.isEmpty())
        return frameSize_;
    return host_ ? host_->size() : QSize();
}

QImage LoopingVideo::frame() const
{
    return ready_ && player_ ? player_->currentFrame() : QImage();
}

bool LoopingVideo::paint(QPainter& painter, const QRectF& target) const
{
    if (target.isEmpty())
        return false;
    const QImage frame = this->frame();
    if (frame.isNull())
        return false;
    // The player draws at the host's size already; only right after a resize does a frame of the
    // old size need cropping here.
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    painter.drawImage(target, frame, CoverCrop::sourceRect(frame.size(), target.size() * ratio));
    return true;
}

void LoopingVideo::watchWindow()
{
    // Minimizing only tells the top-level widget.
    QWidget* window = host_ ? host_->window() : nullptr;
    if (window == host_)
        window = nullptr;
    if (watchedWindow_ == window)
        return;
    if (watchedWindow_)
        watchedWindow_->removeEventFilter(this);
    watchedWindow_ = window;
    if (window)
        window->installEventFilter(this);
}

bool LoopingVideo::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::Show:
        if (watched == host_)
            watchWindow();
        updatePlayback();
        break;
    case QEvent::Hide:
        // A host taken off the screen (its page left, its window hidden) gives its player up, with
        // the decoder's threads and frames; it comes back with a new one, over its poster until the
        // first frame. A minimised window only pauses: it is back in an instant.
        // Dropped a turn later, when the host is still off the screen: a host hidden on its way
        // to deletion, or shown again at once, keeps it.
        if (watched == host_ && !event->spontaneous()) {
            QMetaObject::invokeMethod(this, [this] {
                if (host_ && !host_->isVisible() && !host_->window()->isMinimized())
                    dropPlayer();
            }, Qt::QueuedConnection);
        }
        updatePlayback();
        break;
    case QEvent::WindowStateChange:
        updatePlayback();
        break;
    case QEvent::Resize:
        if (watched == host_)
            applyTargetSize();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
