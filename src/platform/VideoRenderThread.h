#pragma once

#include "platform/VideoFrameBufferPool.h"

#include <QSize>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

struct mpv_render_context;
class VideoFrameBuffer;

// Draws one player's frames with libmpv's software renderer on a thread of its own, so a 4K
// frame (tens of milliseconds) never stalls the GUI thread. Shaped like a classic render
// thread: parameters behind a mutex, woken by a condition, an abort flag for the destructor.
//
// Two buffers circulate, so nobody writes pixels another thread is reading: the thread draws into
// one while the GUI thread shows the other, puts it into a shared "published" slot, and the GUI
// thread swaps it there for the one it showed before, which the thread draws the next frame
// into. A frame is a large block (33 MB at 4K), so a third one that would let the thread draw
// before the GUI thread has taken the last frame is not worth it: taking one is a swap. Only
// where the window system still reads the frame given back (a Wayland compositor that has not
// released it) is a third drawn into instead, or the picture skipped (VideoFrameBufferPool).
class VideoRenderThread : public QThread {
    Q_OBJECT
public:
    // Starts drawing with `context`, which must outlive this object.
    explicit VideoRenderThread(mpv_render_context* context, QObject* parent = nullptr);
    // Clears the update callback, then stops and joins the thread: the first step of tearing a
    // player down. The render context is left to its owner to free.
    ~VideoRenderThread() override;

    // Frames are drawn at this size in device pixels; an empty size draws nothing visible.
    // A frame already shown is drawn again at the new size.
    void setTargetSize(QSize pixels);

    // Swaps the newest published frame into `displayed`, which the GUI thread owns from then on,
    // and gives the one it held back for drawing. False when nothing new was published. `decoded` tells a picture not shown before from a
    // redraw of the last one at another size.
    bool takeFrame(std::shared_ptr<VideoFrameBuffer>& displayed, bool& decoded);

Q_SIGNALS:
    // A frame waits in takeFrame(). Emitted from the render thread, at most once until taken.
    void frameRendered();

protected:
    void run() override;

private:
    static void onUpdate(void* self);
    // Waits for a buffer the GUI thread does not show; false when the thread is to end.
    bool takeBackBuffer(std::shared_ptr<VideoFrameBuffer>& drawing);
    // Draws into `target` (replaced when its size is stale); false when nothing could be drawn.
    bool render(std::shared_ptr<VideoFrameBuffer>& target, QSize size);

    mpv_render_context* context_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool abort_ = false;
    bool updatePending_ = false;
    bool redrawPending_ = false;
    QSize targetSize_;
    std::shared_ptr<VideoFrameBuffer> published_;
    bool publishedIsNew_ = false;
    bool publishedDecoded_ = false;
    std::atomic<bool> signalPending_ = false;
    // The render thread's own.
    VideoFrameBufferPool frames_;
};
