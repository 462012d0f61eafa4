#include "platform/WaylandFrameBuffers.h"

#include "platform/VideoFrameBuffer.h"

#include <wayland-client.h>

#include <algorithm>
#include <limits>

WaylandFrameBuffers::~WaylandFrameBuffers()
{
    // A buffer the compositor still reads keeps the memory alive on its side until it lets go.
    for (const Entry& entry : entries_) {
        letGo(entry);
        wl_buffer_destroy(entry.buffer);
    }
}

void WaylandFrameBuffers::abandon()
{
    for (const Entry& entry : entries_)
        letGo(entry);
    entries_.clear();
}

void WaylandFrameBuffers::letGo(const Entry& entry)
{
    if (const std::shared_ptr<const VideoFrameBuffer> frame = entry.frame.lock())
        frame->setHeld(false);
}

wl_buffer* WaylandFrameBuffers::bufferFor(const std::shared_ptr<const VideoFrameBuffer>& frame)
{
    // Frames the player let go of (a new size) take their buffers along.
    std::erase_if(entries_, [](const Entry& entry) {
        if (!entry.frame.expired())
            return false;
        wl_buffer_destroy(entry.buffer);
        return true;
    });
    const auto known = std::find_if(entries_.cbegin(), entries_.cend(), [&frame](const Entry& entry) { return entry.key == frame.get(); });
    if (known != entries_.cend())
        return known->buffer;

    if (!shm_ || frame->size().isEmpty() || frame->byteCount() > std::numeric_limits<int32_t>::max())
        return nullptr;
    wl_shm_pool* pool = wl_shm_create_pool(shm_, frame->fileDescriptor(), int32_t(frame->byteCount()));
    wl_buffer* buffer = wl_shm_pool_create_buffer(pool, 0, frame->size().width(), frame->size().height(), int32_t(frame->stride()),
                                                  WL_SHM_FORMAT_XRGB8888);
    // The buffer keeps what it needs of the pool.
    wl_shm_pool_destroy(pool);
    static const wl_buffer_listener listener = {onRelease};
    wl_buffer_add_listener(buffer, &listener, this);
    entries_.push_back({frame, frame.get(), buffer});
    return buffer;
}

wl_buffer* WaylandFrameBuffers::attach(const std::shared_ptr<const VideoFrameBuffer>& frame)
{
    wl_buffer* buffer = bufferFor(frame);
    if (buffer)
        frame->setHeld(true);
    return buffer;
}

void WaylandFrameBuffers::onRelease(void* data, wl_buffer* buffer)
{
    const auto* self = static_cast<WaylandFrameBuffers*>(data);
    const auto entry = std::find_if(self->entries_.cbegin(), self->entries_.cend(), [buffer](const Entry& known) { return known.buffer == buffer; });
    if (entry != self->entries_.cend())
        letGo(*entry);
}
