#include "platform/VideoFrameBufferPool.h"

#include "platform/VideoFrameBuffer.h"

#include <algorithm>

std::shared_ptr<VideoFrameBuffer> VideoFrameBufferPool::take(std::shared_ptr<VideoFrameBuffer> returned, QSize size)
{
    if (returned)
        spares_.push_back(std::move(returned));
    // Frames of another size are never drawn into again: they go once the window system lets go.
    std::erase_if(spares_, [size](const auto& spare) { return spare->size() != size; });
    const auto free = std::find_if(spares_.begin(), spares_.end(), [](const auto& spare) { return !spare->isHeld(); });
    if (free != spares_.end()) {
        std::shared_ptr<VideoFrameBuffer> frame = std::move(*free);
        spares_.erase(free);
        return frame;
    }
    std::erase_if(made_, [](const auto& frame) { return frame.expired(); });
    if (int(made_.size()) >= kMostFrames)
        return nullptr;
    std::shared_ptr<VideoFrameBuffer> frame = VideoFrameBuffer::create(size);
    if (frame)
        made_.push_back(frame);
    return frame;
}
