#include "platform/VideoRenderThread.h"

#include "platform/MpvLibrary.h"
#include "platform/VideoFrameBuffer.h"

#include <utility>

namespace {
// The renderer's name for QImage::Format_RGB32: 32-bit words 0xffRRGGBB in native byte order.
// The alpha formats, unlike "bgr0" and "0rgb", write 0xff into the fourth byte, which RGB32
// needs and which would otherwise take a pass over every pixel.
constexpr const char* kRenderFormat = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? "bgra" : "argb";

// Where frames go while nobody has asked for a size: mpv's video output waits for each frame to
// be drawn, so they are still taken, just never shown.
constexpr QSize kDiscardSize(1, 1);
} // namespace

VideoRenderThread::VideoRenderThread(mpv_render_context* context, QObject* parent)
    : QThread(parent), context_(context)
{
    setObjectName(QStringLiteral("VideoRender"));
    start();
    MpvLibrary::renderContextSetUpdateCallback(context_, &VideoRenderThread::onUpdate, this);
}

VideoRenderThread::~VideoRenderThread()
{
    MpvLibrary::renderContextSetUpdateCallback(context_, nullptr, nullptr);
    {
        std::lock_guard lock(mutex_);
        abort_ = true;
    }
    wake_.notify_one();
    wait();
}

void VideoRenderThread::onUpdate(void* self)
{
    // Called on one of mpv's threads: no mpv calls here, only wake the render thread.
    auto* thread = static_cast<VideoRenderThread*>(self);
    {
        std::lock_guard lock(thread->mutex_);
        thread->updatePending_ = true;
    }
    thread->wake_.notify_one();
}

void VideoRenderThread::setTargetSize(QSize pixels)
{
    {
        std::lock_guard lock(mutex_);
        if (targetSize_ == pixels)
            return;
        targetSize_ = pixels;
        redrawPending_ = true;
    }
    wake_.notify_one();
}

bool VideoRenderThread::takeFrame(std::shared_ptr<VideoFrameBuffer>& displayed, bool& decoded)
{
    signalPending_ = false;
    {
        std::lock_guard lock(mutex_);
        if (!publishedIsNew_)
            return false;
        std::swap(displayed, published_);
        decoded = std::exchange(publishedDecoded_, false);
        publishedIsNew_ = false;
    }
    // The thread may be waiting for the buffer that was just given back.
    wake_.notify_one();
    return true;
}

void VideoRenderThread::run()
{
    std::shared_ptr<VideoFrameBuffer> drawing;
    std::shared_ptr<VideoFrameBuffer> skipped;
    bool hasPicture = false;
    // A decoded picture not yet published: one that arrived while there was no size to draw at
    // is still new when a size comes.
    bool unshownPicture = false;
    for (;;) {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [this] { return abort_ || updatePending_ || redrawPending_; });
        if (abort_)
            return;
        const bool update = std::exchange(updatePending_, false);
        const bool redraw = std::exchange(redrawPending_, false);
        const QSize size = targetSize_;
        lock.unlock();

        const bool decoded = update && (MpvLibrary::renderContextUpdate(context_) & MPV_RENDER_UPDATE_FRAME);
        hasPicture = hasPicture || decoded;
        unshownPicture = unshownPicture || decoded;
        if (!decoded && !(redraw && hasPicture))
            continue;
        const QSize target = size.isEmpty() ? kDiscardSize : size;
        if (!drawing || drawing->size() != target) {
            std::shared_ptr<VideoFrameBuffer> returned = std::move(drawing);
            if (!returned && !takeBackBuffer(returned))
                return;
            drawing = frames_.take(std::move(returned), target);
        }
        if (!drawing) {
            // Every frame there may be is still on screen: this picture is taken and dropped.
            render(skipped, kDiscardSize);
            continue;
        }
        if (size.isEmpty()) {
            render(drawing, kDiscardSize);
            continue;
        }
        if (!render(drawing, size))
            continue;

        lock.lock();
        published_ = std::move(drawing);
        publishedIsNew_ = true;
        publishedDecoded_ = publishedDecoded_ || std::exchange(unshownPicture, false);
        lock.unlock();
        if (!signalPending_.exchange(true))
            Q_EMIT frameRendered();
    }
}

bool VideoRenderThread::takeBackBuffer(std::shared_ptr<VideoFrameBuffer>& drawing)
{
    // Until the GUI thread takes the last frame, the slot holds that frame and the GUI thread
    // the one before: neither may be drawn into. Then the slot holds the one given back (none
    // the first time, and render() makes one).
    std::unique_lock lock(mutex_);
    wake_.wait(lock, [this] { return abort_ || !publishedIsNew_; });
    if (abort_)
        return false;
    drawing = std::exchange(published_, nullptr);
    return true;
}

bool VideoRenderThread::render(std::shared_ptr<VideoFrameBuffer>& target, QSize size)
{
    if (!target || target->size() != size)
        target = VideoFrameBuffer::create(size);
    if (!target)
        return false;
    int swSize[2] = {size.width(), size.height()};
    size_t stride = size_t(target->stride());
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_SW_SIZE, swSize},
        {MPV_RENDER_PARAM_SW_FORMAT, const_cast<char*>(kRenderFormat)},
        {MPV_RENDER_PARAM_SW_STRIDE, &stride},
        {MPV_RENDER_PARAM_SW_POINTER, target->pixels()},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    return MpvLibrary::renderContextRender(context_, params) >= 0;
}
