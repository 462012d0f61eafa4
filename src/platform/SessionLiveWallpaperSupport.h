#pragma once

#include "platform/LiveWallpaperSupport.h"

#include <optional>

// The answer for this session, asked once: Qt's Wayland platform draws a live wallpaper only
// when the compositor offers the layer shell; every other platform (X11, and the offscreen one
// of tests) does.
class SessionLiveWallpaperSupport : public LiveWallpaperSupport {
public:
    bool isAvailable() const override;
    std::optional<QString> obstacle() const override;

private:
    mutable std::optional<bool> available_;
};
