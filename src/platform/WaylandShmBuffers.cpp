#include "platform/WaylandShmBuffers.h"

#include <wayland-client.h>

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <limits>

std::unique_ptr<WaylandShmBuffers> WaylandShmBuffers::create(wl_shm* shm, QSize size)
{
    if (!shm || size.isEmpty())
        return nullptr;
    const qint64 stride = qint64(size.width()) * 4;
    const qint64 bufferBytes = stride * size.height();
    if (stride > std::numeric_limits<int32_t>::max() || bufferBytes * kCount > std::numeric_limits<int32_t>::max())
        return nullptr;
    const size_t bytes = size_t(bufferBytes) * kCount;
    const int fd = memfd_create("desktop-video", MFD_CLOEXEC);
    if (fd < 0)
        return nullptr;
    void* memory = ftruncate(fd, off_t(bytes)) == 0 ? mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0) : MAP_FAILED;
    if (memory == MAP_FAILED) {
        close(fd);
        return nullptr;
    }
    std::unique_ptr<WaylandShmBuffers> result(new WaylandShmBuffers(size, static_cast<uchar*>(memory), bytes));
    // The compositor maps the file itself; the pool is only needed to cut the buffers out of it.
    wl_shm_pool* pool = wl_shm_create_pool(shm, fd, int32_t(bytes));
    close(fd);
    static const wl_buffer_listener listener = {onRelease};
    for (int i = 0; i < kCount; ++i) {
        Buffer& buffer = result->buffers_[size_t(i)];
        buffer.handle = wl_shm_pool_create_buffer(pool, int32_t(bufferBytes * i), size.width(), size.height(), int32_t(stride),
                                                  WL_SHM_FORMAT_XRGB8888);
        buffer.pixels = result->memory_ + bufferBytes * i;
        wl_buffer_add_listener(buffer.handle, &listener, &buffer);
    }
    wl_shm_pool_destroy(pool);
    return result;
}

WaylandShmBuffers::WaylandShmBuffers(QSize size, uchar* memory, size_t bytes) : size_(size), memory_(memory), bytes_(bytes) {}

WaylandShmBuffers::~WaylandShmBuffers()
{
    // A buffer the compositor still reads keeps the memory alive on its side until it lets go.
    for (Buffer& buffer : buffers_)
        wl_buffer_destroy(buffer.handle);
    munmap(memory_, bytes_);
}

WaylandShmBuffers::Buffer* WaylandShmBuffers::take()
{
    const auto free = std::find_if(buffers_.begin(), buffers_.end(), [](const Buffer& buffer) { return !buffer.busy && !buffer.queued; });
    return free != buffers_.end() ? &*free : nullptr;
}

void WaylandShmBuffers::onRelease(void* data, wl_buffer*)
{
    static_cast<Buffer*>(data)->busy = false;
}
