#include "platform/LayerShellProbe.h"

#include <wayland-client.h>

#include <cstring>

namespace {
void noteGlobal(void* data, wl_registry*, uint32_t, const char* interface, uint32_t)
{
    if (std::strcmp(interface, LayerShellProbe::kInterface.constData()) == 0)
        *static_cast<bool*>(data) = true;
}

void ignoreRemoval(void*, wl_registry*, uint32_t) {}

const wl_registry_listener kListener{.global = noteGlobal, .global_remove = ignoreRemoval};
} // namespace

std::optional<bool> LayerShellProbe::offered(const QByteArray& display)
{
    wl_display* connection = wl_display_connect(display.isEmpty() ? nullptr : display.constData());
    if (!connection)
        return std::nullopt;
    bool found = false;
    wl_registry* registry = wl_display_get_registry(connection);
    wl_registry_add_listener(registry, &kListener, &found);
    // The compositor announces every global before it answers the round trip.
    const bool answered = wl_display_roundtrip(connection) >= 0;
    wl_registry_destroy(registry);
    wl_display_disconnect(connection);
    if (!answered)
        return std::nullopt;
    return found;
}
