#include "screens/library/CreatePlaylistCardCycle.h"

#include "library/RotationTimer.h"

#include <algorithm>
#include <chrono>

CreatePlaylistCardCycle::CreatePlaylistCardCycle(QObject* parent)
    : CreatePlaylistCardCycle(std::make_unique<RotationTimer>(), std::make_unique<RotationTimer>(), parent)
{
}

CreatePlaylistCardCycle::CreatePlaylistCardCycle(std::unique_ptr<RotationTimer> cycle, std::unique_ptr<RotationTimer> swap,
    QObject* parent)
    : QObject(parent), cycle_(std::move(cycle)), swap_(std::move(swap))
{
    connect(cycle_.get(), &RotationTimer::timeout, this, &CreatePlaylistCardCycle::tick);
    connect(swap_.get(), &RotationTimer::timeout, this, &CreatePlaylistCardCycle::swap);
}

CreatePlaylistCardCycle::~CreatePlaylistCardCycle() = default;

void CreatePlaylistCardCycle::setMedia(const QList<QUrl>& videos, const QList<QUrl>& posters)
{
    if (videos == videos_ && posters == posters_)
        return;
    const bool running = isRunning();
    videos_ = videos;
    posters_ = posters;
    stop();
    currentIndex_ = 0;
    visibleLayer_ = 0;
    opacity_ = {1.0, 0.0};
    if (running)
        start();
    Q_EMIT layersChanged();
}

int CreatePlaylistCardCycle::length() const { return int(std::max(videos_.size(), posters_.size())); }

int CreatePlaylistCardCycle::indexOfLayer(int layer) const
{
    const int n = length();
    if (n == 0)
        return 0;
    return layer == visibleLayer_ ? currentIndex_ : (currentIndex_ + 1) % n;
}

QUrl CreatePlaylistCardCycle::videoOfLayer(int layer) const
{
    // With more posters than videos the index can pass the videos' end: they repeat.
    return videos_.isEmpty() ? QUrl() : videos_.at(indexOfLayer(layer) % videos_.size());
}

QUrl CreatePlaylistCardCycle::posterOfLayer(int layer) const
{
    const int index = indexOfLayer(layer);
    return index < posters_.size() ? posters_.at(index) : QUrl();
}

bool CreatePlaylistCardCycle::isRunning() const { return cycle_->isActive(); }

void CreatePlaylistCardCycle::start()
{
    if (videos_.isEmpty() || length() < 2)
        return;
    swap_->stop();
    fading_ = false;
    opacity_ = {1.0, 0.0};
    visibleLayer_ = 0;
    currentIndex_ = 0;
    cycle_->start(std::chrono::milliseconds(kCycleIntervalMs));
    Q_EMIT layersChanged();
}

void CreatePlaylistCardCycle::stop()
{
    cycle_->stop();
    swap_->stop();
    fading_ = false;
}

void CreatePlaylistCardCycle::setLayerReady(int layer, bool ready) { ready_.at(layer) = ready; }

void CreatePlaylistCardCycle::tick()
{
    const int hidden = 1 - visibleLayer_;
    if (fading_ || !ready_.at(hidden))
        return;
    fading_ = true;
    opacity_.at(hidden) = 1.0;
    opacity_.at(visibleLayer_) = 0.0;
    Q_EMIT crossfadeStarted();
    swap_->start(std::chrono::milliseconds(kCrossfadeMs));
}

void CreatePlaylistCardCycle::swap()
{
    swap_->stop();
    fading_ = false;
    const int n = length();
    if (n == 0)
        return;
    // The front layer goes to the back, where it will load the wallpaper after the new current.
    const int leaving = visibleLayer_;
    const QUrl videoBefore = videoOfLayer(leaving);
    currentIndex_ = (currentIndex_ + 1) % n;
    visibleLayer_ = 1 - leaving;
    opacity_ = {visibleLayer_ == 0 ? 1.0 : 0.0, visibleLayer_ == 1 ? 1.0 : 0.0};
    // A player that keeps its address never reports ready again: only a new video must wait.
    if (videoOfLayer(leaving) != videoBefore)
        ready_.at(leaving) = false;
    Q_EMIT layersChanged();
}
