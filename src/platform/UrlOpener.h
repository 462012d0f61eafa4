#pragma once

#include <QUrl>

// Hands addresses to the desktop: web links to the user's browser, and the desktop's own
// wallpaper settings. The Linux implementation is DesktopUrlOpener; tests install a fake with
// Shared<UrlOpener>::Override. GUI thread.
class UrlOpener {
public:
    virtual ~UrlOpener() = default;

    static UrlOpener& shared();

    // False when the desktop has nothing that opens it.
    virtual bool open(const QUrl& url) = 0;
    // The desktop's background settings; false when no known settings tool is installed.
    virtual bool openWallpaperSettings() = 0;
};
