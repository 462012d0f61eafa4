#include "ui/VideoStill.h"

#include "foundation/AppError.h"
#include "foundation/Async.h"
#include "foundation/Log.h"
#include "foundation/Shared.h"
#include "platform/MediaTools.h"
#include "ui/LoopingVideo.h"
#include "ui/VideoPlayerPool.h"

#include <QPainter>
#include <QWidget>

VideoStill::VideoStill(QWidget* host) : VideoStill(host, MediaTools::shared(), VideoPlayerPool::shared()) {}

VideoStill::VideoStill(QWidget* host, MediaTools& media, VideoPlayerPool& players)
    : QObject(host), host_(host), media_(media), players_(players)
{
}

void VideoStill::setUrl(const QUrl& url)
{
    if (url == url_)
        return;
    url_ = url;
    setImage({});
    delete remote_;
    remote_ = nullptr;
    if (url_.isEmpty())
        return;
    if (url_.isLocalFile())
        readFile();
    else
        takeFirstFrame();
}

void VideoStill::readFile()
{
    fireAndForget([](QPointer<VideoStill> self, MediaTools& media, QUrl url) -> QCoro::Task<> {
        QImage frame;
        try {
            frame = co_await media.frameAtAsync(url.toLocalFile(), 0, kBounds);
        } catch (const std::exception& error) {
            // Unreadable: the host keeps its placeholder.
            logLine(QStringLiteral("⚠️"), QStringLiteral("VideoStill"),
                QStringLiteral("Still not read from ") + url.toLocalFile() + QStringLiteral(": ") + describeError(error));
            co_return;
        }
        if (self && self->url_ == url)
            self->setImage(frame);
    }(this, media_, url_), QStringLiteral("VideoStill"));
}

void VideoStill::takeFirstFrame()
{
    remote_ = new LoopingVideo(host_, players_);
    remote_->setParent(this);
    remote_->setFrameSize(kBounds);
    connect(remote_, &LoopingVideo::readyChanged, this, [this](bool ready) {
        if (!ready || !remote_)
            return;
        QImage frame(kBounds, QImage::Format_RGB32);
        QPainter painter(&frame);
        remote_->paint(painter, QRectF(QPointF(), kBounds));
        painter.end();
        // Later: this is the player's own signal.
        remote_->deleteLater();
        remote_ = nullptr;
        setImage(frame);
    });
    remote_->setUrl(url_);
    remote_->setPlaying(true);
}

void VideoStill::setImage(const QImage& image)
{
    if (image.isNull() && image_.isNull())
        return;
    image_ = image;
    if (host_)
        host_->update();
    Q_EMIT imageChanged();
}

bool VideoStill::paint(QPainter& painter, const QRectF& target) const { return cover_.paint(painter, target, image_); }
