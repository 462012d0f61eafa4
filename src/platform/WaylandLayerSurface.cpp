#include "platform/WaylandLayerSurface.h"

#include "platform/VideoFrameBuffer.h"
#include "platform/WaylandConnection.h"
#include "platform/WaylandFrameBuffers.h"
#include "platform/WaylandOutput.h"

#include "layer-shell-client-protocol.h"
#include "viewporter-client-protocol.h"

#include <QTimer>

#include <wayland-client.h>

#include <limits>
#include <utility>

WaylandLayerSurface::WaylandLayerSurface(WaylandConnection& connection, const WaylandOutput& output, QObject* parent)
    : QObject(parent), connection_(&connection), buffers_(std::make_unique<WaylandFrameBuffers>(connection.shm())), scale_(output.scale()),
      stallTimer_(new QTimer(this))
{
    stallTimer_->setSingleShot(true);
    stallTimer_->setInterval(kStallMs);
    connect(stallTimer_, &QTimer::timeout, this, [this] { setStalled(true); });

    surface_ = wl_compositor_create_surface(connection.compositor());
    wl_region* nothing = wl_compositor_create_region(connection.compositor());
    wl_surface_set_input_region(surface_, nothing);
    wl_region_destroy(nothing);
    if (connection.viewporter())
        viewport_ = wp_viewporter_get_viewport(connection.viewporter(), surface_);
    else if (wl_proxy_get_version(reinterpret_cast<wl_proxy*>(surface_)) >= WL_SURFACE_SET_BUFFER_SCALE_SINCE_VERSION)
        wl_surface_set_buffer_scale(surface_, scale_);

    layerSurface_ = zwlr_layer_shell_v1_get_layer_surface(connection.layerShell(), surface_, output.handle(),
                                                          ZWLR_LAYER_SHELL_V1_LAYER_BACKGROUND, "quorvelle-wallpaper");
    static const zwlr_layer_surface_v1_listener listener = {onConfigure, onClosed};
    zwlr_layer_surface_v1_add_listener(layerSurface_, &listener, this);
    zwlr_layer_surface_v1_set_anchor(layerSurface_, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM
                                                        | ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
    zwlr_layer_surface_v1_set_size(layerSurface_, 0, 0);
    zwlr_layer_surface_v1_set_exclusive_zone(layerSurface_, -1);
    zwlr_layer_surface_v1_set_keyboard_interactivity(layerSurface_, ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_NONE);
    // Committed without a buffer, the surface asks for its first configure.
    wl_surface_commit(surface_);
    connection.flush();
}

WaylandLayerSurface::~WaylandLayerSurface()
{
    // Without the connection the proxies went with it, the buffers' too.
    if (!connection_) {
        buffers_->abandon();
        return;
    }
    if (frameCallback_)
        wl_callback_destroy(frameCallback_);
    buffers_.reset();
    if (viewport_)
        wp_viewport_destroy(viewport_);
    zwlr_layer_surface_v1_destroy(layerSurface_);
    wl_surface_destroy(surface_);
    connection_->flush();
}

bool WaylandLayerSurface::present(const std::shared_ptr<const VideoFrameBuffer>& frame)
{
    if (!connection_ || !isConfigured() || !buffers_->bufferFor(frame))
        return false;
    queued_ = frame;
    if (!frameCallback_)
        attachQueued();
    return true;
}

void WaylandLayerSurface::attachQueued()
{
    const std::shared_ptr<const VideoFrameBuffer> frame = std::exchange(queued_, nullptr);
    wl_surface_attach(surface_, buffers_->attach(frame), 0, 0);
    if (viewport_)
        wp_viewport_set_destination(viewport_, size_.width(), size_.height());
    constexpr int32_t kWhole = std::numeric_limits<int32_t>::max();
    if (wl_proxy_get_version(reinterpret_cast<wl_proxy*>(surface_)) >= WL_SURFACE_DAMAGE_BUFFER_SINCE_VERSION)
        wl_surface_damage_buffer(surface_, 0, 0, kWhole, kWhole);
    else
        wl_surface_damage(surface_, 0, 0, kWhole, kWhole);
    static const wl_callback_listener listener = {onFrameDone};
    frameCallback_ = wl_surface_frame(surface_);
    wl_callback_add_listener(frameCallback_, &listener, this);
    wl_surface_commit(surface_);
    // Sent now: the GUI thread may be long in coming to sleep while frames keep it busy.
    connection_->flush();
    if (!stalled_)
        stallTimer_->start();
}

void WaylandLayerSurface::setStalled(bool stalled)
{
    if (stalled_ == stalled)
        return;
    stalled_ = stalled;
    Q_EMIT stalledChanged(stalled_);
}

void WaylandLayerSurface::onConfigure(void* data, zwlr_layer_surface_v1* layerSurface, uint32_t serial, uint32_t width, uint32_t height)
{
    auto* self = static_cast<WaylandLayerSurface*>(data);
    zwlr_layer_surface_v1_ack_configure(layerSurface, serial);
    const bool first = !self->isConfigured();
    self->size_ = QSize(int(width), int(height));
    if (first && self->isConfigured())
        Q_EMIT self->configured();
}

void WaylandLayerSurface::onClosed(void* data, zwlr_layer_surface_v1*)
{
    Q_EMIT static_cast<WaylandLayerSurface*>(data)->closed();
}

void WaylandLayerSurface::onFrameDone(void* data, wl_callback* callback, uint32_t)
{
    auto* self = static_cast<WaylandLayerSurface*>(data);
    wl_callback_destroy(callback);
    self->frameCallback_ = nullptr;
    self->stallTimer_->stop();
    self->setStalled(false);
    if (self->queued_)
        self->attachQueued();
}
