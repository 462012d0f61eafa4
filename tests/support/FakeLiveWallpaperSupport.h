#pragma once

#include "platform/LiveWallpaperSupport.h"

// A desktop that does, or does not, let the program draw a live wallpaper, as the test says.
// Install with Shared<LiveWallpaperSupport>::Override.
class FakeLiveWallpaperSupport : public LiveWallpaperSupport {
public:
    explicit FakeLiveWallpaperSupport(bool available) : available_(available) {}

    bool isAvailable() const override { return available_; }

private:
    bool available_;
};
