#pragma once

#include "platform/FramePresenter.h"

#include <QPoint>

#include <memory>
#include <vector>

class QWindow;
class VideoFrameBuffer;
struct xcb_connection_t;

// Puts video frames on one X11 window straight from their own memory, which the X server reads
// through shared memory (MIT-SHM 1.2, memory file descriptors): a frame is never copied into
// the window's backing store first, which is what painting it through Qt costs. Each frame's
// memory is attached to the server once and detached when the frame is gone. The window's
// background becomes black, so the server itself shows black where no frame is yet.
// The server reads a frame some time after present() returns; the render thread draws into that
// memory again only a frame later, when it comes back to it through the player's buffers.
// GUI thread only.
class X11FramePresenter : public FramePresenter {
public:
    // Null unless the platform is xcb, the window is a 24- or 32-bit one on a server of the same
    // byte order that takes memory file descriptors.
    static std::unique_ptr<X11FramePresenter> create(QWindow* window);
    ~X11FramePresenter() override;
    X11FramePresenter(const X11FramePresenter&) = delete;
    X11FramePresenter& operator=(const X11FramePresenter&) = delete;

    // Copies the whole of `frame` to `at` (device pixels) in the window. False when the frame's
    // memory could not be shared with the server.
    bool present(const std::shared_ptr<const VideoFrameBuffer>& frame, QPoint at) override;

private:
    struct Segment {
        std::weak_ptr<const VideoFrameBuffer> frame;
        const VideoFrameBuffer* key;
        quint32 id;
    };

    X11FramePresenter(xcb_connection_t* connection, quint32 window, quint8 depth);
    const Segment* segmentFor(const std::shared_ptr<const VideoFrameBuffer>& frame);
    void detachUnused();

    xcb_connection_t* connection_;
    quint32 window_;
    quint32 graphics_;
    quint8 depth_;
    std::vector<Segment> segments_;
};
