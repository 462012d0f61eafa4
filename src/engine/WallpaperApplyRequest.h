#pragma once

#include "engine/ApplyToast.h"
#include "model/WallpaperModel.h"

#include <QSet>
#include <QUrl>

#include <functional>
#include <optional>
#include <stop_token>

// One request to put a wallpaper on the desktops and/or the lock screen, as the full-screen view
// and the playlist rotation fill it in. A plain value; designated initialisers name the flags.
struct WallpaperApplyRequest {
    // Names the cached master video, the converted movie and the download counter.
    qint64 key = 0;
    // The master video on the asset host, or a local file.
    QUrl videoURL{};
    // Gives the toast's title and thumbnail and the recents entry, when the caller has it.
    std::optional<WallpaperModel> wallpaper{};
    // One of the user's own videos: used as given, never downloaded, never counted, and no
    // lock-screen thumbnail is copied for it.
    bool isCustom = false;
    // From the playlist rotation; any other apply ends the running rotation first.
    bool fromPlaylist = false;
    // Zero-based positions in the screen list; absent means every display.
    std::optional<QSet<int>> screenIndices{};
    // The lock screen only: no desktop video, no still picture.
    bool lockScreenOnly = false;
    // Never install the lock-screen video in this apply, even with the feature on.
    bool skipLockScreenPipeline = false;
    // Asks the apply to end before it starts the desktop video (the rotation stopped meanwhile).
    std::stop_token cancel{};
    // Hears each stage the apply reaches (downloading, applied, the lock screen...), also once
    // another toast has taken the panel from the apply's.
    std::function<void(ApplyToast::Stage)> onStage{};
};
