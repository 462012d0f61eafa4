#pragma once

#include "library/WallpapersByKey.h"

#include <QList>
#include <QObject>

#include <memory>
#include <optional>

class PersonalWallpaperList;
class UserDefaults;
class WallpaperCounterService;
class WallpaperPlaylistService;

// The liked wallpapers, newest first: the record store of the personal library. Playlists hold
// only keys, and the rotation, the menu thumbnail and the playlist sheets look the records up
// here. Stored whole under "likedWallpapersModels" on every change. Liking reports the like to
// the backend's counter later, unless the caller suppresses it; unliking also takes the key out
// of every playlist. Publishes real changes only. One shared instance on the GUI thread.
class LikedWallpapersService : public QObject {
    Q_OBJECT
    Q_PROPERTY(WallpapersByKey likedWallpapers READ likedWallpapers NOTIFY likedWallpapersChanged)
    Q_PROPERTY(QList<qint64> likedOrder READ likedOrder NOTIFY likedOrderChanged)

public:
    static inline const QString kLikedWallpapersKey = QStringLiteral("likedWallpapersModels");

    // The standard defaults store, the shared playlist store and the shared counter service.
    explicit LikedWallpapersService(QObject* parent = nullptr);
    // Loads the stored list before returning.
    LikedWallpapersService(UserDefaults& defaults, WallpaperPlaylistService& playlists, WallpaperCounterService& counter,
        QObject* parent = nullptr);
    ~LikedWallpapersService() override;

    static LikedWallpapersService& shared();

    // A wallpaper is liked when its key has an entry here.
    const WallpapersByKey& likedWallpapers() const;
    const QList<qint64>& likedOrder() const;
    QList<WallpaperModel> likedWallpapersInOrder() const;

    // Moves the wallpaper to the front with this record. A record without a key is refused.
    void addWallpaper(const WallpaperModel& wallpaper, bool skipCounter);
    // Unlikes by key; saves, and clears the key from every playlist, also when it was not liked.
    void removeWallpaper(std::optional<qint64> key);
    void removeWallpaper(const WallpaperModel& wallpaper);

signals:
    void likedWallpapersChanged();
    void likedOrderChanged();

private:
    void log(const QString& emoji, const QString& message) const;

    WallpaperPlaylistService& playlists_;
    WallpaperCounterService& counter_;
    std::unique_ptr<PersonalWallpaperList> list_;
};
