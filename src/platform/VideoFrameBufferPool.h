#pragma once

#include <QSize>

#include <memory>
#include <vector>

class VideoFrameBuffer;

// The frames a player's render thread draws into. A frame the GUI thread gives back may still
// be read by the window system (a Wayland compositor releases a buffer only once it is done with
// it): it then waits among the spares, and the next frame is drawn into a spare the window system
// let go of, or a new frame while fewer than kMostFrames exist, or not at all: a skipped frame is
// better than one drawn over while it is on screen. Render thread only.
class VideoFrameBufferPool {
public:
    // The GUI thread's frame, the next one published, and one for a compositor that still holds
    // the one before: a steady loop never skips on a compositor that releases what it replaced.
    static constexpr int kMostFrames = 3;

    // A frame of `size` to draw into, taking back `returned` (may be null); null when every frame
    // there may be is still held, or none could be made: the frame is skipped then.
    std::shared_ptr<VideoFrameBuffer> take(std::shared_ptr<VideoFrameBuffer> returned, QSize size);

private:
    std::vector<std::shared_ptr<VideoFrameBuffer>> spares_;
    std::vector<std::weak_ptr<VideoFrameBuffer>> made_;
};
