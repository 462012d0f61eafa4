#include "pictor/processing/ImageProgressiveSerialQueue.h"

#include <QCoreApplication>
#include <QTimer>

#include <chrono>

namespace pictor {

namespace {

qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

} // namespace

std::shared_ptr<ImageProgressiveSerialQueue> ImageProgressiveSerialQueue::create()
{
    return std::shared_ptr<ImageProgressiveSerialQueue>(new ImageProgressiveSerialQueue());
}

void ImageProgressiveSerialQueue::add(double minimumInterval, Work work)
{
    // An update reads the newest data when it runs: one waiting behind the current is enough.
    if (items_.size() >= 2) {
        items_.back() = {minimumInterval, std::move(work)};
        return;
    }
    const bool idle = items_.empty();
    items_.push_back({minimumInterval, std::move(work)});
    if (!idle)
        return;
    const double sinceLast = lastTimeNs_ ? double(nowNs() - *lastTimeNs_) / 1e9 : minimumInterval;
    runFirst(std::max(0.0, minimumInterval - sinceLast));
}

void ImageProgressiveSerialQueue::clean()
{
    items_.clear();
    ++generation_;
}

void ImageProgressiveSerialQueue::runFirst(double afterSeconds)
{
    std::weak_ptr<ImageProgressiveSerialQueue> weak = weak_from_this();
    QTimer::singleShot(int(afterSeconds * 1000), QCoreApplication::instance(), [weak, generation = generation_] {
        const std::shared_ptr<ImageProgressiveSerialQueue> self = weak.lock();
        if (!self || generation != self->generation_ || self->items_.empty())
            return;
        auto once = std::make_shared<bool>(false);
        self->items_.front().work([weak, generation, once] {
            if (std::exchange(*once, true))
                return;
            if (const std::shared_ptr<ImageProgressiveSerialQueue> queue = weak.lock())
                queue->finished(generation);
        });
    });
}

void ImageProgressiveSerialQueue::finished(quint64 generation)
{
    if (generation != generation_ || items_.empty())
        return;
    const double interval = items_.front().interval;
    items_.pop_front();
    if (items_.empty())
        lastTimeNs_ = nowNs();
    else
        runFirst(interval);
}

} // namespace pictor
