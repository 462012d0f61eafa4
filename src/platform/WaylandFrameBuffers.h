#pragma once

#include <memory>
#include <vector>

class VideoFrameBuffer;
struct wl_buffer;
struct wl_shm;

// The player's frames as the compositor's buffers: each frame's memory file is shared with the
// compositor once, as one XRGB8888 buffer over the whole frame, and that buffer goes when the
// frame does. The player's renderer draws straight into that memory (the one conversion of a
// frame), so nothing is copied on the way to the screen. A frame attached to the surface is held
// (VideoFrameBuffer::isHeld) until the compositor releases its buffer: a compositor may read the
// memory at any repaint until then, so the renderer draws into another frame meanwhile.
// GUI thread only.
class WaylandFrameBuffers {
public:
    explicit WaylandFrameBuffers(wl_shm* shm) : shm_(shm) {}
    ~WaylandFrameBuffers();
    WaylandFrameBuffers(const WaylandFrameBuffers&) = delete;
    WaylandFrameBuffers& operator=(const WaylandFrameBuffers&) = delete;

    // The buffer over this frame, made on first use; null when its memory cannot be shared.
    wl_buffer* bufferFor(const std::shared_ptr<const VideoFrameBuffer>& frame);
    // The frame's buffer is attached to the surface: the frame is held until the compositor lets go.
    wl_buffer* attach(const std::shared_ptr<const VideoFrameBuffer>& frame);
    // The connection is gone, and the buffers with it: forgets them without a word to it.
    void abandon();

private:
    struct Entry {
        std::weak_ptr<const VideoFrameBuffer> frame;
        const VideoFrameBuffer* key;
        wl_buffer* buffer;
    };

    static void onRelease(void* data, wl_buffer* buffer);
    // No release comes for a buffer that goes: its frame is nobody's to wait for.
    static void letGo(const Entry& entry);

    wl_shm* shm_;
    std::vector<Entry> entries_;
};
