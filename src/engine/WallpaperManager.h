#pragma once

#include <QHash>
#include <QString>

#include <functional>

// Takes every desktop video down (when an active playlist rotation is stopped), and sends the
// views' analytics signals through the sender its owner passes in: the application makes the
// shared instance at start with the analytics client's signal operation. GUI thread.
class WallpaperManager {
public:
    using SignalSender = std::function<void(const QString& name, const QHash<QString, QString>& parameters)>;

    explicit WallpaperManager(SignalSender sendSignal = {});

    static WallpaperManager& shared();

    // Stops every desktop video and forgets the saved wallpaper; sends no signal.
    static void removeWallpaper();
    // Sends an analytics signal of the views ("Playlist.created", "Wallpaper.appliedFromFullScreen",
    // ...) through the same sender; nothing without one.
    void send(const QString& name, const QHash<QString, QString>& parameters) const;

private:
    SignalSender sendSignal_;
};
