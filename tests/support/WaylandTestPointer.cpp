#include "support/WaylandTestPointer.h"

#include "virtual-pointer-client-protocol.h"

#include <wayland-client.h>

#include <cstring>

namespace {
constexpr uint32_t kLeftButton = 0x110;   // BTN_LEFT

void ignoreGlobalRemove(void*, wl_registry*, uint32_t) {}
void ignoreSeatName(void*, wl_seat*, const char*) {}

void onEnter(void* data, wl_pointer*, uint32_t, wl_surface*, wl_fixed_t, wl_fixed_t) { ++*static_cast<int*>(data); }
void ignoreLeave(void*, wl_pointer*, uint32_t, wl_surface*) {}
void ignoreMotion(void*, wl_pointer*, uint32_t, wl_fixed_t, wl_fixed_t) {}
void ignoreButton(void*, wl_pointer*, uint32_t, uint32_t, uint32_t, uint32_t) {}
void ignoreAxis(void*, wl_pointer*, uint32_t, uint32_t, wl_fixed_t) {}
void ignoreFrame(void*, wl_pointer*) {}
void ignoreAxisSource(void*, wl_pointer*, uint32_t) {}
void ignoreAxisStop(void*, wl_pointer*, uint32_t, uint32_t) {}
void ignoreAxisDiscrete(void*, wl_pointer*, uint32_t, int32_t) {}
void ignoreAxisValue120(void*, wl_pointer*, uint32_t, int32_t) {}
} // namespace

WaylandTestPointer::WaylandTestPointer(const QString& display)
{
    const QByteArray name = display.toUtf8();
    display_ = wl_display_connect(name.constData());
    if (!display_)
        return;
    static const wl_registry_listener listener = {onGlobal, ignoreGlobalRemove};
    registry_ = wl_display_get_registry(display_);
    wl_registry_add_listener(registry_, &listener, this);
    wl_display_roundtrip(display_);
    if (manager_)
        pointer_ = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(manager_, nullptr);
    wl_display_roundtrip(display_);
}

WaylandTestPointer::~WaylandTestPointer()
{
    if (!display_)
        return;
    if (pointer_)
        zwlr_virtual_pointer_v1_destroy(pointer_);
    if (manager_)
        zwlr_virtual_pointer_manager_v1_destroy(manager_);
    wl_registry_destroy(registry_);
    wl_display_disconnect(display_);
}

bool WaylandTestPointer::clickAt(QPoint at, QSize layout)
{
    if (!pointer_)
        return false;
    zwlr_virtual_pointer_v1_motion_absolute(pointer_, 0, uint32_t(at.x()), uint32_t(at.y()), uint32_t(layout.width()), uint32_t(layout.height()));
    zwlr_virtual_pointer_v1_frame(pointer_);
    for (const uint32_t state : {WL_POINTER_BUTTON_STATE_PRESSED, WL_POINTER_BUTTON_STATE_RELEASED}) {
        zwlr_virtual_pointer_v1_button(pointer_, 0, kLeftButton, state);
        zwlr_virtual_pointer_v1_frame(pointer_);
    }
    return wl_display_roundtrip(display_) >= 0;
}

void WaylandTestPointer::onGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t)
{
    auto* self = static_cast<WaylandTestPointer*>(data);
    if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
        self->manager_ = static_cast<zwlr_virtual_pointer_manager_v1*>(wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
}

WaylandPointerWitness::WaylandPointerWitness(wl_display* display)
{
    static const wl_registry_listener listener = {onGlobal, ignoreGlobalRemove};
    registry_ = wl_display_get_registry(display);
    wl_registry_add_listener(registry_, &listener, this);
    // The seat, then what it tells at once.
    wl_display_roundtrip(display);
    wl_display_roundtrip(display);
}

WaylandPointerWitness::~WaylandPointerWitness()
{
    if (pointer_)
        wl_pointer_destroy(pointer_);
    if (seat_)
        wl_seat_destroy(seat_);
    wl_registry_destroy(registry_);
}

void WaylandPointerWitness::onGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t)
{
    auto* self = static_cast<WaylandPointerWitness*>(data);
    if (std::strcmp(interface, wl_seat_interface.name) != 0 || self->seat_)
        return;
    static const wl_seat_listener listener = {onCapabilities, ignoreSeatName};
    self->seat_ = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 5));
    wl_seat_add_listener(self->seat_, &listener, self);
}

void WaylandPointerWitness::onCapabilities(void* data, wl_seat* seat, uint32_t capabilities)
{
    auto* self = static_cast<WaylandPointerWitness*>(data);
    if (!(capabilities & WL_SEAT_CAPABILITY_POINTER) || self->pointer_)
        return;
    static const wl_pointer_listener listener = {onEnter, ignoreLeave, ignoreMotion, ignoreButton, ignoreAxis,
                                                 ignoreFrame, ignoreAxisSource, ignoreAxisStop, ignoreAxisDiscrete, ignoreAxisValue120};
    self->pointer_ = wl_seat_get_pointer(seat);
    wl_pointer_add_listener(self->pointer_, &listener, &self->enters_);
}
