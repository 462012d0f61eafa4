#pragma once

#include <QObject>

// Where the engine tells the menu-bar item that the wallpaper changed, without depending on it:
// the menu-bar manager connects to these signals when it is created (thumbnailUpdateRequested to
// its updateThumbnail(), wallpaperStatusUpdateRequested to its updateWallpaperStatus(isRunning)).
// With nothing connected a request does nothing. One shared instance on the GUI thread.
class MenuBarHook : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    static MenuBarHook& shared();

    // The thumbnail of the current wallpaper should be shown again.
    void updateThumbnail() { Q_EMIT thumbnailUpdateRequested(); }
    // A wallpaper started (true) or every desktop video was taken down (false).
    void updateWallpaperStatus(bool isRunning) { Q_EMIT wallpaperStatusUpdateRequested(isRunning); }

Q_SIGNALS:
    void thumbnailUpdateRequested();
    void wallpaperStatusUpdateRequested(bool isRunning);
};
