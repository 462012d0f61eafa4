#include "pictor/views/Animator.h"

#include "pictor/core/CallbackQueue.h"

#include <limits>

namespace pictor {

namespace {
constexpr double kMaxTimeStep = 1.0;
}

std::shared_ptr<Animator> Animator::create(Settings settings)
{
    std::shared_ptr<Animator> animator(new Animator(std::move(settings)));
    std::weak_ptr<Animator> weak = animator;
    animator->settings_.preloadQueue->async([weak] {
        if (const std::shared_ptr<Animator> self = weak.lock())
            self->loadInitialFrames();
    });
    return animator;
}

Animator::Animator(Settings settings)
    : settings_(std::move(settings)), frameCount_(settings_.frameSource ? std::max(0, settings_.frameSource->frameCount()) : 0)
{
    frames_.reserve(frameCount_);
}

QImage Animator::frame(int index) const
{
    const std::optional<AnimatedFrame> found = frames_.value(index);
    return found ? found->image : QImage();
}

double Animator::duration(int index) const
{
    const std::optional<AnimatedFrame> found = frames_.value(index);
    return found ? found->duration : std::numeric_limits<double>::infinity();
}

int Animator::decodedFrameCount() const
{
    int count = 0;
    for (qsizetype i = 0; i < frames_.size(); ++i)
        count += !frame(int(i)).isNull();
    return count;
}

QImage Animator::decode(int index) const
{
    std::optional<QSizeF> maxSize;
    if (settings_.needsPrescaling && !settings_.size.isEmpty())
        maxSize = QSizeF(settings_.size);
    QImage image = settings_.frameSource->frame(index, maxSize);
    // The format the backing store blits without converting.
    if (!image.isNull() && image.format() != QImage::Format_ARGB32_Premultiplied)
        image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    return image;
}

void Animator::loadInitialFrames()
{
    frames_.clear();
    double total = 0.0;
    for (int i = 0; i < frameCount_; ++i) {
        const double duration = settings_.frameSource->duration(i);
        frames_.append({QImage(), duration});
        if (i <= settings_.maxFrameCount)
            frames_.replace(i, {decode(i), duration});
        total += std::min(duration, kMaxTimeStep);
    }
    loopDuration_ = total;
}

QList<int> Animator::upcomingFrameIndexes(int after) const
{
    QList<int> indexes;
    const int n = frameCount_;
    for (int step = 1; step <= std::min(settings_.maxFrameCount, n); ++step)
        indexes.append((after + step) % n);
    return indexes;
}

void Animator::refreshPreloadedFrames(int previous, int current)
{
    if (settings_.maxFrameCount >= frameCount_ - 1)
        return;
    QImage dropped;
    if (std::optional<AnimatedFrame> left = frames_.value(previous)) {
        dropped = std::move(left->image);
        frames_.replace(previous, {QImage(), left->duration});
    }
    for (const int index : upcomingFrameIndexes(current)) {
        const std::optional<AnimatedFrame> upcoming = frames_.value(index);
        if (upcoming && upcoming->image.isNull())
            frames_.replace(index, {decode(index), upcoming->duration});
    }
    // The last reference to a dropped frame goes away on the GUI thread, which may still paint it.
    if (!dropped.isNull())
        CallbackQueue::runMainAsync([dropped] {});
}

void Animator::advanceFrame()
{
    const int n = frameCount_;
    const int old = currentFrameIndex_;
    currentFrameIndex_ = (old + 1) % n;
    settings_.preloadQueue->async([self = shared_from_this(), old, current = currentFrameIndex_] { self->refreshPreloadedFrames(old, current); });
    if (currentFrameIndex_ == n - 1) {
        ++currentRepeatCount_;
        if (settings_.maxRepeatCount.isReached(currentRepeatCount_)) {
            isFinished_ = true;
            if (onLoopsPlayed)
                onLoopsPlayed(currentRepeatCount_);
        }
    } else if (old == n - 1 && onLoopsPlayed) {
        onLoopsPlayed(currentRepeatCount_);
    }
}

bool Animator::tick(double seconds)
{
    if (isFinished_ || frameCount_ == 0)
        return false;
    timeSinceLastFrameChange_ += std::min(seconds, kMaxTimeStep);
    const double current = duration(currentFrameIndex_);
    if (timeSinceLastFrameChange_ < current)
        return false;
    timeSinceLastFrameChange_ -= current;
    advanceFrame();
    return true;
}

} // namespace pictor
