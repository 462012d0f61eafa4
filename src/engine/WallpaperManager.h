#pragma once

#include "engine/EngineError.h"
#include "foundation/Result.h"

#include <QHash>
#include <QString>

#include <functional>

// The root view's wallpaper actions: start the video that ships with the application, and take
// every desktop video down (also used when an active playlist rotation is stopped). Analytics
// signals, its own and the views', go out through the sender its owner passes in: the
// application makes the shared instance at start with the analytics client's signal operation.
// GUI thread.
class WallpaperManager {
public:
    using SignalSender = std::function<void(const QString& name, const QHash<QString, QString>& parameters)>;

    explicit WallpaperManager(SignalSender sendSignal = {});

    static WallpaperManager& shared();

    // Never throws: every failure comes back in the result, an unexpected one as EngineError's
    // unknown case.
    Result<Success, EngineError> applyWallpaper();
    // Stops every desktop video and forgets the saved wallpaper; sends no signal.
    static void removeWallpaper();
    // Sends an analytics signal of the views ("Playlist.created", "Wallpaper.appliedFromFullScreen",
    // ...) through the same sender; nothing without one.
    void send(const QString& name, const QHash<QString, QString>& parameters) const;

private:
    SignalSender sendSignal_;
};
