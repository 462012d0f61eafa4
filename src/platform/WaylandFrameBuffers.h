#pragma once

#include <memory>
#include <vector>

class VideoFrameBuffer;
struct wl_buffer;
struct wl_shm;

// The player's frames as the compositor's buffers: each frame's memory file is shared with the
// compositor once, as one XRGB8888 buffer over the whole frame, and that buffer goes when the
// frame does. The player's renderer draws straight into that memory (the one conversion of a
// frame), so nothing is copied on the way to the screen. As on X11, the player draws into a
// frame again once the next one is shown; a compositor that repaints the output in between may
// pick up part of the newer picture, a passing tear at worst. GUI thread only.
class WaylandFrameBuffers {
public:
    explicit WaylandFrameBuffers(wl_shm* shm) : shm_(shm) {}
    ~WaylandFrameBuffers();
    WaylandFrameBuffers(const WaylandFrameBuffers&) = delete;
    WaylandFrameBuffers& operator=(const WaylandFrameBuffers&) = delete;

    // The buffer over this frame, made on first use; null when its memory cannot be shared.
    wl_buffer* bufferFor(const std::shared_ptr<const VideoFrameBuffer>& frame);
    // The connection is gone, and the buffers with it: forgets them without a word to it.
    void abandon() { entries_.clear(); }

private:
    struct Entry {
        std::weak_ptr<const VideoFrameBuffer> frame;
        const VideoFrameBuffer* key;
        wl_buffer* buffer;
    };

    wl_shm* shm_;
    std::vector<Entry> entries_;
};
