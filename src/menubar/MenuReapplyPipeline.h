#pragma once

#include "menubar/MenuPipelineRun.h"

#include <QCoro/QCoroTask>
#include <QUrl>

struct WallpaperModel;

// Rebuilds the saved wallpaper on every display from the tray's re-apply icon: finds its record
// and its local video (downloading it again by its key when the cache lost it, as the launch
// does), and only once the video is
// known to play replaces the desktop video windows, refreshes the menu, then renews the still
// desktop picture (lock-screen feature off) or restarts the lock-screen extension (on). Each
// stage goes to the in-app toast and to the log. A failure ends with a toast and log lines and
// leaves the wallpaper on screen as it was. GUI thread; a run is one task nobody waits for.
class MenuReapplyPipeline {
public:
    struct Request {
        qint64 key = 0;
        QUrl masterUrl;
    };

    // Never throws.
    static QCoro::Task<> run(Request request, MenuPipelineRun run);

    // The user's own wallpaper with the key, else a record made from the saved data.
    static WallpaperModel wallpaperFor(const Request& request);

private:
    static QCoro::Task<QUrl> localVideoFile(Request request, bool isCustom, MenuPipelineRun run);
    static QCoro::Task<> renewStillOrLockScreen(QUrl file, MenuPipelineRun run);
    static QCoro::Task<> renewStill(QUrl file, MenuPipelineRun run);
    static void fail(const std::exception& error, const MenuPipelineRun& run);
};
