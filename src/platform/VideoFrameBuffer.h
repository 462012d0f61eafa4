#pragma once

#include <QImage>
#include <QSize>

#include <memory>

// The pixels of one rendered video frame as QImage::Format_RGB32 (0xffRRGGBB words), rows and
// start aligned to 64 bytes as libmpv's software renderer wants. RGB32 is what Qt's backing
// stores use, so a frame painted at its own size is a plain copy.
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
    uchar* pixels() const { return pixels_; }

    // The renderer leaves the padding byte of each pixel undefined (often 0); RGB32 promises
    // 0xff there, and Qt relies on it when it blends, fades or converts the image.
    void makeOpaque();

    // A shallow image over these pixels: no copy, so it shows whatever is drawn into them next.
    QImage image(qreal devicePixelRatio) const;

private:
    VideoFrameBuffer(QSize size, qsizetype stride, uchar* pixels);

    QSize size_;
    qsizetype stride_;
    uchar* pixels_;
};
