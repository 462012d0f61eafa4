#pragma once

#include <QObject>
#include <QPointer>
#include <QSize>

#include <memory>

class QTimer;
class VideoFrameBuffer;
class WaylandFrameBuffers;
class WaylandConnection;
class WaylandOutput;
struct wl_callback;
struct wl_surface;
struct wp_viewport;
struct zwlr_layer_surface_v1;

// One output's desktop video surface: on the background layer of that output, anchored to all
// four edges, ignoring other surfaces' exclusive zones, never taking the keyboard, with an empty
// input region so that every click goes to the desktop. Each frame is shown from the memory the
// player drew it in (WaylandFrameBuffers, which holds it until the compositor releases it),
// attached when the compositor's last frame callback
// has come: an output the compositor does not draw gets no new frame. Frame callbacks that stop coming mean
// the compositor does not draw the surface (a full-screen window over it): the surface is then
// reported stalled until one comes again.
class WaylandLayerSurface : public QObject {
    Q_OBJECT
public:
    // How long a frame callback may keep us waiting before the surface counts as not drawn.
    static constexpr int kStallMs = 1000;

    WaylandLayerSurface(WaylandConnection& connection, const WaylandOutput& output, QObject* parent = nullptr);
    ~WaylandLayerSurface() override;

    bool isConfigured() const { return !size_.isEmpty(); }
    // The size the compositor gave, in surface coordinates; buffers are this times the scale.
    QSize size() const { return size_; }
    QSize pixelSize() const { return size_ * scale_; }
    bool isStalled() const { return stalled_; }

    // Shows the frame at the next frame callback (at once when none is awaited); a newer frame
    // presented meanwhile replaces it. False before the first configure or when the frame's
    // memory cannot be shared with the compositor.
    bool present(const std::shared_ptr<const VideoFrameBuffer>& frame);

Q_SIGNALS:
    void configured();
    // The compositor is done with the surface (its output went away): the owner deletes it.
    void closed();
    void stalledChanged(bool stalled);

private:
    void attachQueued();
    void setStalled(bool stalled);
    static void onConfigure(void* data, zwlr_layer_surface_v1*, uint32_t serial, uint32_t width, uint32_t height);
    static void onClosed(void* data, zwlr_layer_surface_v1*);
    static void onFrameDone(void* data, wl_callback* callback, uint32_t time);

    QPointer<WaylandConnection> connection_;
    wl_surface* surface_ = nullptr;
    zwlr_layer_surface_v1* layerSurface_ = nullptr;
    wp_viewport* viewport_ = nullptr;
    wl_callback* frameCallback_ = nullptr;
    std::unique_ptr<WaylandFrameBuffers> buffers_;
    // A frame waiting for the frame callback.
    std::shared_ptr<const VideoFrameBuffer> queued_;
    int scale_ = 1;
    QSize size_;
    bool stalled_ = false;
    QTimer* stallTimer_;
};
