#pragma once

#include "platform/LiveWallpaperSupport.h"

// A desktop that does, or does not, let the program draw a live wallpaper, and may have another
// picture drawn over it, as the test says. Install with Shared<LiveWallpaperSupport>::Override.
class FakeLiveWallpaperSupport : public LiveWallpaperSupport {
public:
    explicit FakeLiveWallpaperSupport(bool available, std::optional<QString> obstacle = std::nullopt)
        : available_(available), obstacle_(std::move(obstacle))
    {
    }

    bool isAvailable() const override { return available_; }
    std::optional<QString> obstacle() const override { return obstacle_; }

private:
    bool available_;
    std::optional<QString> obstacle_;
};
