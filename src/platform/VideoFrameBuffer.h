#pragma once

#include <QImage>
#include <QSize>

#include <atomic>
#include <memory>

// The pixels of one rendered video frame as QImage::Format_RGB32 (0xffRRGGBB words), drawn
// there by libmpv's software renderer as "bgra", which leaves every alpha byte opaque. RGB32 is
// what Qt's backing stores and X11's 24-bit windows use, so a frame shown at its own size is a
// plain copy. Rows are aligned to 64 bytes as the renderer wants, and the memory is a memory
// file, so the X server can read a frame in place (X11FramePresenter).
// Shared: the render thread holds it while drawing, and every QImage made by image() keeps it
// alive, so memory is freed only when the last of them lets go.
class VideoFrameBuffer : public std::enable_shared_from_this<VideoFrameBuffer> {
public:
    static constexpr qsizetype kAlignment = 64;

    // Null when the size is empty or the memory cannot be had.
    static std::shared_ptr<VideoFrameBuffer> create(QSize size);
    ~VideoFrameBuffer();
    VideoFrameBuffer(const VideoFrameBuffer&) = delete;
    VideoFrameBuffer& operator=(const VideoFrameBuffer&) = delete;

    QSize size() const { return size_; }
    qsizetype stride() const { return stride_; }
    qsizetype byteCount() const { return stride_ * size_.height(); }
    uchar* pixels() const { return pixels_; }
    // The memory file that holds the pixels; it stays open as long as the buffer.
    int fileDescriptor() const { return fd_; }

    // A shallow image over these pixels: no copy, so it shows whatever is drawn into them next.
    QImage image(qreal devicePixelRatio) const;

    // Whether the window system still reads these pixels (a Wayland compositor that has not
    // released the buffer over them): nothing is drawn into them meanwhile. Set and cleared on the
    // GUI thread, read by the render thread; the pixels are not changed by it, hence const.
    bool isHeld() const { return held_.load(std::memory_order_acquire); }
    void setHeld(bool held) const { held_.store(held, std::memory_order_release); }

private:
    VideoFrameBuffer(QSize size, qsizetype stride, int fd, uchar* pixels);

    QSize size_;
    qsizetype stride_;
    int fd_;
    uchar* pixels_;
    mutable std::atomic<bool> held_ = false;
};
