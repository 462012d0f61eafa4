#pragma once

#include "menubar/MenuPipelineRun.h"
#include "model/WallpaperModel.h"

#include <QCoro/QCoroTask>
#include <QUrl>

// Applies a wallpaper chosen among the tray menu's recents to every display: its local video
// (LocalVideoResolver: own file, cached master or a fresh download) is played, the menu
// refreshed, the wallpaper moved to the front of the recents, then either the still desktop
// picture is set (lock-screen feature off) or the video is converted and installed as the
// lock-screen wallpaper (on). Progress goes to the in-app toast, one log line per event. A
// failed download or start leaves the wallpaper on screen as it was. GUI thread; a run is one
// task nobody waits for.
class MenuApplyPipeline {
public:
    struct Request {
        WallpaperModel wallpaper;
        QUrl masterUrl;
        qint64 key = 0;
        // One of the user's own videos: played from its file, never downloaded.
        bool isCustom = false;
    };

    // The pause before the lock-screen install is timed by the manager's delays. Never throws.
    static QCoro::Task<> run(Request request, MenuPipelineRun run);

private:
    static QCoro::Task<QUrl> localVideoFile(Request request, MenuPipelineRun run);
    static QCoro::Task<> installLockScreen(Request request, QUrl file, MenuPipelineRun run);
    static void logApplied(qint64 key);
};
