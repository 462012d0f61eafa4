#pragma once

#include <QByteArray>

#include <optional>

// Asks a Wayland compositor, over a short connection of its own, whether it offers the layer
// shell ("zwlr_layer_shell_v1"), the one way an application can put a surface below the
// windows. Blocks for one round trip. Any thread.
class LayerShellProbe {
public:
    static inline const QByteArray kInterface = QByteArrayLiteral("zwlr_layer_shell_v1");

    // `display` names the compositor's socket as WAYLAND_DISPLAY does; empty means the
    // session's. Nothing when no compositor answers there.
    static std::optional<bool> offered(const QByteArray& display = {});
};
