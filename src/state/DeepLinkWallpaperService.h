#pragma once

#include "model/WallpaperModel.h"

#include <QMetaType>
#include <QObject>

#include <optional>

// The inbox of catalogue wallpapers that links asked to open: holds the one the root view has
// not taken yet. The root view takes it and sets it back to nothing, and tells which wallpaper
// page it shows, so links can tell what the user opened in the app from what a link opened.
// GUI thread; one shared instance kept until exit.
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

    // The root view's wallpaper page: the key it shows, or nothing once it closed.
    void setShownWallpaper(std::optional<qint64> key);
    std::optional<qint64> shownKey() const { return shownKey_; }
    // Shown, or on its way from a link to the window.
    bool isShowingOrOpening(qint64 key) const { return shownKey_ == key || linkOpening_ == key; }
    // How often the user opened a wallpaper page in the app by other means than a link.
    quint64 userOpenings() const { return userOpenings_; }

Q_SIGNALS:
    void pendingWallpaperChanged();
    // The user opened a wallpaper page in the app by other means than a link.
    void userOpened();

private:
    std::optional<WallpaperModel> pendingWallpaper_;
    std::optional<qint64> shownKey_;
    // The key a link put in the inbox, until its page shows.
    std::optional<qint64> linkOpening_;
    quint64 userOpenings_ = 0;
};
