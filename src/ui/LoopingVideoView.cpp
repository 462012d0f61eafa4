#include "ui/LoopingVideoView.h"

#include "ui/LoopingVideo.h"
#include "ui/VideoPlayerPool.h"

#include <QPainter>

LoopingVideoView::LoopingVideoView(QWidget* parent) : LoopingVideoView(VideoPlayerPool::shared(), parent) {}

LoopingVideoView::LoopingVideoView(VideoPlayerPool& pool, QWidget* parent)
    : QWidget(parent), video_(new LoopingVideo(this, pool))
{
    connect(video_, &LoopingVideo::readyChanged, this, &LoopingVideoView::readyChanged);
}

void LoopingVideoView::setUrl(const QUrl& url)
{
    video_->setUrl(url);
}

void LoopingVideoView::setPlaying(bool playing)
{
    video_->setPlaying(playing);
}

bool LoopingVideoView::isReady() const
{
    return video_->isReady();
}

void LoopingVideoView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    video_->paint(painter, rect());
}
