#pragma once

#include "platform/UrlOpener.h"

// Links go through the session's URL handler (xdg-open behind Qt's desktop services); the
// wallpaper settings through the first background settings tool of the common desktops found
// on PATH (GNOME, KDE Plasma, Xfce).
class DesktopUrlOpener : public UrlOpener {
public:
    bool open(const QUrl& url) override;
    bool openWallpaperSettings() override;
};
