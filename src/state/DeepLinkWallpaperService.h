#pragma once

#include "model/WallpaperModel.h"

#include <QMetaType>
#include <QObject>

#include <optional>

// The inbox of catalogue wallpapers that links asked to open: holds the one the root view has
// not taken yet. The root view takes it and sets it back to nothing. GUI thread; one shared
// instance kept until exit.
class DeepLinkWallpaperService : public QObject {
    Q_OBJECT
    Q_PROPERTY(std::optional<WallpaperModel> pendingWallpaper READ pendingWallpaper WRITE setPendingWallpaperNow
                   NOTIFY pendingWallpaperChanged)

public:
    explicit DeepLinkWallpaperService(QObject* parent = nullptr) : QObject(parent) {}

    static DeepLinkWallpaperService& shared();

    const std::optional<WallpaperModel>& pendingWallpaper() const { return pendingWallpaper_; }
    // Posts the assignment to a later turn of the event loop, after the caller's current work.
    void setPendingWallpaper(std::optional<WallpaperModel> wallpaper);
    // Assigns at once: the root view taking (clearing) the value.
    void setPendingWallpaperNow(std::optional<WallpaperModel> wallpaper);

Q_SIGNALS:
    void pendingWallpaperChanged();

private:
    std::optional<WallpaperModel> pendingWallpaper_;
};
