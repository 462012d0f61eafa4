#pragma once

#include <QSize>

#include <array>
#include <memory>

struct wl_buffer;
struct wl_shm;

// A few XRGB8888 buffers of one size in one shared-memory file, reused frame after frame. A
// buffer handed to the compositor stays busy until the compositor releases it; take() gives the
// next free one. With three, one can be on screen, one waiting for the next frame callback and
// one being written.
class WaylandShmBuffers {
public:
    static constexpr int kCount = 3;

    struct Buffer {
        wl_buffer* handle = nullptr;
        uchar* pixels = nullptr;
        bool busy = false;     // the compositor may be reading it
        bool queued = false;   // written, waiting to be attached
    };

    // Null when the memory cannot be had.
    static std::unique_ptr<WaylandShmBuffers> create(wl_shm* shm, QSize size);
    ~WaylandShmBuffers();
    WaylandShmBuffers(const WaylandShmBuffers&) = delete;
    WaylandShmBuffers& operator=(const WaylandShmBuffers&) = delete;

    QSize size() const { return size_; }
    qsizetype stride() const { return qsizetype(size_.width()) * 4; }
    // A buffer neither busy nor queued, or null when all are.
    Buffer* take();

private:
    WaylandShmBuffers(QSize size, uchar* memory, size_t bytes);
    static void onRelease(void* data, wl_buffer* buffer);

    QSize size_;
    uchar* memory_;
    size_t bytes_;
    std::array<Buffer, kCount> buffers_{};
};
