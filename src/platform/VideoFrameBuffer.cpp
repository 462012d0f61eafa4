#include "platform/VideoFrameBuffer.h"

#include <sys/mman.h>
#include <unistd.h>

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
    const size_t bytes = size_t(stride) * size_t(size.height());
    const int fd = memfd_create("video-frame", MFD_CLOEXEC);
    if (fd < 0)
        return nullptr;
    void* pixels = ftruncate(fd, off_t(bytes)) == 0 ? mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0) : MAP_FAILED;
    if (pixels == MAP_FAILED) {
        close(fd);
        return nullptr;
    }
    return std::shared_ptr<VideoFrameBuffer>(new VideoFrameBuffer(size, stride, fd, static_cast<uchar*>(pixels)));
}

VideoFrameBuffer::VideoFrameBuffer(QSize size, qsizetype stride, int fd, uchar* pixels)
    : size_(size), stride_(stride), fd_(fd), pixels_(pixels)
{
}

VideoFrameBuffer::~VideoFrameBuffer()
{
    munmap(pixels_, size_t(byteCount()));
    close(fd_);
}

QImage VideoFrameBuffer::image(qreal devicePixelRatio) const
{
    QImage wrapped(pixels_, size_.width(), size_.height(), stride_, QImage::Format_RGB32, releaseBuffer,
                   new std::shared_ptr<const VideoFrameBuffer>(shared_from_this()));
    wrapped.setDevicePixelRatio(devicePixelRatio);
    return wrapped;
}
