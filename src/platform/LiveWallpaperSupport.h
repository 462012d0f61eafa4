#pragma once

#include <QString>

#include <optional>

// Whether the session lets an application draw a live wallpaper below the windows. An X11
// desktop does (a desktop-type window); a Wayland compositor does only when it offers the layer
// shell, and GNOME's does not: there the still picture is all the desktop can show. The Linux
// implementation is SessionLiveWallpaperSupport; tests install FakeLiveWallpaperSupport with
// Shared<LiveWallpaperSupport>::Override. GUI thread.
class LiveWallpaperSupport {
public:
    virtual ~LiveWallpaperSupport() = default;

    static LiveWallpaperSupport& shared();

    virtual bool isAvailable() const = 0;
    // What keeps a live wallpaper drawn here from being seen (another program's picture drawn
    // over it), said for the user with what to change; nothing when it shows.
    virtual std::optional<QString> obstacle() const = 0;
};
