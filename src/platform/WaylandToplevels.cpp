#include "platform/WaylandToplevels.h"

#include "foreign-toplevel-client-protocol.h"

#include <wayland-client.h>

#include <algorithm>

namespace {
void ignoreText(void*, zwlr_foreign_toplevel_handle_v1*, const char*) {}
void ignoreParent(void*, zwlr_foreign_toplevel_handle_v1*, zwlr_foreign_toplevel_handle_v1*) {}
} // namespace

WaylandToplevels::WaylandToplevels(zwlr_foreign_toplevel_manager_v1* manager) : manager_(manager)
{
    static const zwlr_foreign_toplevel_manager_v1_listener listener = {onToplevel, onFinished};
    zwlr_foreign_toplevel_manager_v1_add_listener(manager_, &listener, this);
}

WaylandToplevels::~WaylandToplevels()
{
    for (const auto& toplevel : toplevels_)
        zwlr_foreign_toplevel_handle_v1_destroy(toplevel->handle);
    if (manager_)
        zwlr_foreign_toplevel_manager_v1_destroy(manager_);
}

void WaylandToplevels::update()
{
    QSet<wl_output*> covered;
    for (const auto& toplevel : toplevels_) {
        if (toplevel->fullscreen && !toplevel->minimized)
            covered.unite(toplevel->outputs);
    }
    if (covered == covered_)
        return;
    covered_ = covered;
    Q_EMIT coverageChanged();
}

void WaylandToplevels::forgetOutput(wl_output* output)
{
    for (const auto& toplevel : toplevels_)
        toplevel->outputs.remove(output);
    update();
}

void WaylandToplevels::drop(Toplevel* toplevel)
{
    zwlr_foreign_toplevel_handle_v1_destroy(toplevel->handle);
    std::erase_if(toplevels_, [toplevel](const auto& known) { return known.get() == toplevel; });
    update();
}

void WaylandToplevels::onToplevel(void* data, zwlr_foreign_toplevel_manager_v1*, zwlr_foreign_toplevel_handle_v1* handle)
{
    static const zwlr_foreign_toplevel_handle_v1_listener listener = {ignoreText, ignoreText, onOutputEnter, onOutputLeave,
                                                                      onState, onDone, onClosed, ignoreParent};
    auto* self = static_cast<WaylandToplevels*>(data);
    self->toplevels_.push_back(std::make_unique<Toplevel>(Toplevel{self, handle, {}}));
    zwlr_foreign_toplevel_handle_v1_add_listener(handle, &listener, self->toplevels_.back().get());
}

void WaylandToplevels::onFinished(void* data, zwlr_foreign_toplevel_manager_v1*)
{
    auto* self = static_cast<WaylandToplevels*>(data);
    zwlr_foreign_toplevel_manager_v1_destroy(self->manager_);
    self->manager_ = nullptr;
}

void WaylandToplevels::onOutputEnter(void* data, zwlr_foreign_toplevel_handle_v1*, wl_output* output)
{
    static_cast<Toplevel*>(data)->outputs.insert(output);
}

void WaylandToplevels::onOutputLeave(void* data, zwlr_foreign_toplevel_handle_v1*, wl_output* output)
{
    static_cast<Toplevel*>(data)->outputs.remove(output);
}

void WaylandToplevels::onState(void* data, zwlr_foreign_toplevel_handle_v1*, wl_array* states)
{
    auto* toplevel = static_cast<Toplevel*>(data);
    const auto* first = static_cast<const uint32_t*>(states->data);
    const auto* last = first + states->size / sizeof(uint32_t);
    toplevel->fullscreen = std::find(first, last, uint32_t(ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_FULLSCREEN)) != last;
    toplevel->minimized = std::find(first, last, uint32_t(ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_MINIMIZED)) != last;
}

void WaylandToplevels::onDone(void* data, zwlr_foreign_toplevel_handle_v1*)
{
    static_cast<Toplevel*>(data)->owner->update();
}

void WaylandToplevels::onClosed(void* data, zwlr_foreign_toplevel_handle_v1*)
{
    auto* toplevel = static_cast<Toplevel*>(data);
    toplevel->owner->drop(toplevel);
}
