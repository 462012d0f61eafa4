#pragma once

#include <QPoint>

#include <memory>

class VideoFrameBuffer;

// Takes a player's frames to the screen without painting them through Qt's backing store: the
// X server reads them through shared memory (X11FramePresenter), a Wayland compositor from
// buffers of a background-layer surface (WaylandDesktopBackground). GUI thread only.
class FramePresenter {
public:
    virtual ~FramePresenter();

    // Shows the whole of `frame` with its top-left corner at `at` (device pixels, in the window).
    // False when the frame could not go this way; the caller paints it through Qt then.
    virtual bool present(const std::shared_ptr<const VideoFrameBuffer>& frame, QPoint at) = 0;
};
