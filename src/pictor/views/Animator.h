#pragma once

#include "pictor/core/DispatchQueue.h"
#include "pictor/core/ImageFrameSource.h"
#include "pictor/core/RepeatCount.h"
#include "pictor/core/SafeArray.h"

#include <QImage>
#include <QSize>

#include <atomic>
#include <functional>
#include <memory>

namespace pictor {

// One frame of a playing animation: its duration, and its bitmap while it is decoded.
struct AnimatedFrame {
    QImage image;
    double duration = 0.0;
};

// Plays the frames of one animated image for a view: keeps the current frame and the next ones
// decoded (all of them when they fit), decoding ahead on the view's serial preload queue and
// dropping frames once shown; counts loops against the repeat count. Made anew for every image.
// Playback state lives on the GUI thread; the frame list is shared with the preload queue.
class Animator : public std::enable_shared_from_this<Animator> {
public:
    struct Settings {
        // The view's size in pixels: frames are decoded no larger when prescaling.
        QSize size;
        // Frames kept decoded after the current one.
        int maxFrameCount = 10;
        std::shared_ptr<ImageFrameSource> frameSource;
        RepeatCount maxRepeatCount;
        bool needsPrescaling = true;
        std::shared_ptr<DispatchQueue> preloadQueue;
    };

    // Starts decoding the first frames on the preload queue.
    static std::shared_ptr<Animator> create(Settings settings);

    int frameCount() const { return frameCount_; }
    int maxFrameCount() const { return settings_.maxFrameCount; }
    // Null while the frame is not decoded (or cannot be).
    QImage frame(int index) const;
    // Infinite for a frame not listed yet, so playback waits for it.
    double duration(int index) const;
    int currentFrameIndex() const { return currentFrameIndex_; }
    quint32 currentRepeatCount() const { return currentRepeatCount_; }
    bool isFinished() const { return isFinished_; }
    // Seconds of one loop, each frame counted at most 1 s; known once the frames are listed.
    double loopDuration() const { return loopDuration_.load(); }
    // Frames decoded now, for the memory bound.
    int decodedFrameCount() const;

    // One display tick of that many seconds (at most 1 s counts): advances at most one frame,
    // keeping the rest for the next tick. True when the frame changed.
    bool tick(double seconds);

    // Told the loops played so far, when the animation wraps and when the count is reached.
    std::function<void(quint32)> onLoopsPlayed;

private:
    explicit Animator(Settings settings);
    void loadInitialFrames();
    // The decode pass after an advance; the indices come by value, as they were at the advance.
    void refreshPreloadedFrames(int previous, int current);
    void advanceFrame();
    QList<int> upcomingFrameIndexes(int after) const;
    QImage decode(int index) const;

    const Settings settings_;
    const int frameCount_;
    SafeArray<AnimatedFrame> frames_;
    std::atomic<double> loopDuration_ = 0.0;
    double timeSinceLastFrameChange_ = 0.0;
    int currentFrameIndex_ = 0;
    quint32 currentRepeatCount_ = 0;
    bool isFinished_ = false;
};

} // namespace pictor
