#include "platform/VideoFrameBuffer.h"

#include <cstdlib>
#include <limits>

namespace {
void releaseBuffer(void* holder)
{
    delete static_cast<std::shared_ptr<const VideoFrameBuffer>*>(holder);
}
} // namespace

std::shared_ptr<VideoFrameBuffer> VideoFrameBuffer::create(QSize size)
{
    if (size.isEmpty())
        return nullptr;
    const qsizetype stride = (qsizetype(size.width()) * 4 + kAlignment - 1) / kAlignment * kAlignment;
    if (stride > std::numeric_limits<int>::max() || size.height() > std::numeric_limits<qsizetype>::max() / stride)
        return nullptr;
    auto* pixels = static_cast<uchar*>(std::aligned_alloc(kAlignment, size_t(stride) * size_t(size.height())));
    if (!pixels)
        return nullptr;
    return std::shared_ptr<VideoFrameBuffer>(new VideoFrameBuffer(size, stride, pixels));
}

VideoFrameBuffer::VideoFrameBuffer(QSize size, qsizetype stride, uchar* pixels)
    : size_(size), stride_(stride), pixels_(pixels)
{
}

VideoFrameBuffer::~VideoFrameBuffer()
{
    std::free(pixels_);
}

void VideoFrameBuffer::makeOpaque()
{
    for (int y = 0; y < size_.height(); ++y) {
        auto* row = reinterpret_cast<quint32*>(pixels_ + y * stride_);
        for (int x = 0; x < size_.width(); ++x)
            row[x] |= 0xff000000u;
    }
}

QImage VideoFrameBuffer::image(qreal devicePixelRatio) const
{
    QImage wrapped(pixels_, size_.width(), size_.height(), stride_, QImage::Format_RGB32, releaseBuffer,
                   new std::shared_ptr<const VideoFrameBuffer>(shared_from_this()));
    wrapped.setDevicePixelRatio(devicePixelRatio);
    return wrapped;
}
