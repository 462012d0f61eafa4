#include "platform/WaylandOutput.h"

#include "xdg-output-unstable-v1-client-protocol.h"

#include <wayland-client.h>

namespace {
// xdg-output's other properties are logical geometry, which the layer surface's configure gives.
void ignoreXdgPosition(void*, zxdg_output_v1*, int32_t, int32_t) {}
void ignoreXdgSize(void*, zxdg_output_v1*, int32_t, int32_t) {}
void ignoreXdgDone(void*, zxdg_output_v1*) {}
void ignoreXdgDescription(void*, zxdg_output_v1*, const char*) {}
} // namespace

WaylandOutput::WaylandOutput(wl_output* output, quint32 globalName, zxdg_output_manager_v1* xdgOutputs, std::function<void()> changed)
    : output_(output), globalName_(globalName), changed_(std::move(changed))
{
    static const wl_output_listener listener = {onGeometry, onMode, onDone, onScale, onName, onDescription};
    wl_output_add_listener(output_, &listener, this);
    askNameOf(xdgOutputs);
}

void WaylandOutput::askNameOf(zxdg_output_manager_v1* xdgOutputs)
{
    if (!xdgOutputs || xdgOutput_ || wl_proxy_get_version(reinterpret_cast<wl_proxy*>(output_)) >= WL_OUTPUT_NAME_SINCE_VERSION)
        return;
    static const zxdg_output_v1_listener listener = {ignoreXdgPosition, ignoreXdgSize, ignoreXdgDone, onXdgName, ignoreXdgDescription};
    xdgOutput_ = zxdg_output_manager_v1_get_xdg_output(xdgOutputs, output_);
    zxdg_output_v1_add_listener(xdgOutput_, &listener, this);
}

WaylandOutput::~WaylandOutput()
{
    if (xdgOutput_)
        zxdg_output_v1_destroy(xdgOutput_);
    if (wl_proxy_get_version(reinterpret_cast<wl_proxy*>(output_)) >= WL_OUTPUT_RELEASE_SINCE_VERSION)
        wl_output_release(output_);
    else
        wl_output_destroy(output_);
}

void WaylandOutput::onGeometry(void*, wl_output*, int, int, int, int, int, const char*, const char*, int) {}

void WaylandOutput::onMode(void*, wl_output*, uint32_t, int, int, int) {}

void WaylandOutput::onDone(void* data, wl_output*)
{
    auto* self = static_cast<WaylandOutput*>(data);
    self->done_ = true;
    if (self->isReady())
        self->changed_();
}

void WaylandOutput::onScale(void* data, wl_output*, int factor)
{
    static_cast<WaylandOutput*>(data)->scale_ = factor > 0 ? factor : 1;
}

void WaylandOutput::onName(void* data, wl_output*, const char* name)
{
    static_cast<WaylandOutput*>(data)->name_ = QString::fromUtf8(name);
}

void WaylandOutput::onDescription(void*, wl_output*, const char*) {}

void WaylandOutput::onXdgName(void* data, zxdg_output_v1*, const char* name)
{
    // Sent before the wl_output's done of the same group (xdg-output version 3); an older
    // compositor sends it later, with its own done, so the name is told here too.
    auto* self = static_cast<WaylandOutput*>(data);
    self->name_ = QString::fromUtf8(name);
    if (self->isReady())
        self->changed_();
}
