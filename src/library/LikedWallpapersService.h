#pragma once

#include "library/PersonalWallpaperList.h"
#include "library/WallpapersByKey.h"

#include <QFutureWatcher>
#include <QHash>
#include <QList>
#include <QSet>
#include <QObject>

#include <functional>
#include <memory>
#include <optional>

class UserDefaults;
class WallpaperCounterService;
class WallpaperPlaylistService;

// The liked wallpapers, newest first: the record store of the personal library. Playlists hold
// only keys, and the rotation, the menu thumbnail and the playlist sheets look the records up
// here. Stored as the rows of "likedWallpapersModels": a like puts one row, an unlike removes
// one. Liking reports the like to the backend's counter later, unless the caller suppresses it;
// unliking also takes the key out of every playlist. The stored list, which may hold tens of
// thousands of records, is decoded on a worker from construction on: while it is, isLoading()
// holds, a like or unlike is kept here (whoever asked for it may be gone by then) and done once
// the list arrives or at the quit's flush, and a read waits for it (so nothing ever sees or saves
// a list without its stored records). Its arrival is announced on the event loop. A change is
// published and committed at once; flush() makes the waiting changes and commits what the disk
// refused so far.
// Publishes real changes only. One shared instance on the GUI thread.
class LikedWallpapersService : public QObject {
    Q_OBJECT
    Q_PROPERTY(WallpapersByKey likedWallpapers READ likedWallpapers NOTIFY likedWallpapersChanged)
    Q_PROPERTY(QList<qint64> likedOrder READ likedOrder NOTIFY likedOrderChanged)
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY isLoadingChanged)

public:
    static inline const QString kLikedWallpapersKey = QStringLiteral("likedWallpapersModels");

    // The standard defaults store, the shared playlist store and the shared counter service.
    explicit LikedWallpapersService(QObject* parent = nullptr);
    // Starts decoding the stored list.
    LikedWallpapersService(UserDefaults& defaults, WallpaperPlaylistService& playlists, WallpaperCounterService& counter,
        QObject* parent = nullptr);
    // Flushes.
    ~LikedWallpapersService() override;

    static LikedWallpapersService& shared();

    // The stored list is still being decoded: a view shows its loading state rather than wait.
    bool isLoading() const { return !loaded_; }

    // A wallpaper is liked when its key has an entry here.
    const WallpapersByKey& likedWallpapers() const;
    const QList<qint64>& likedOrder() const;
    QList<WallpaperModel> likedWallpapersInOrder() const;

    // Moves the wallpaper to the front with this record. A record without a key is refused.
    void addWallpaper(const WallpaperModel& wallpaper, bool skipCounter);
    // Likes the wallpaper, counting the like, unless it is liked already: then its place and
    // record stay. What an empty heart tapped while the list is read asks for.
    void likeUnlessLiked(const WallpaperModel& wallpaper);
    // Unlikes by key; saves, and clears the key from every playlist, also when it was not liked.
    void removeWallpaper(std::optional<qint64> key);
    void removeWallpaper(const WallpaperModel& wallpaper);

    // What a heart shows: liked when the list holds the key (while it is read, when its stored
    // rows do), or, while changes wait for the list, as the last of them leaves it. Never waits
    // for the list.
    bool showsLiked(qint64 key) const;

    // Does the changes kept while the list was read and writes every change to the disk, before
    // returning: the quit waits for it.
    void flush();

signals:
    void likedWallpapersChanged();
    void likedOrderChanged();
    void isLoadingChanged(bool isLoading);
    // A change now waits for the list, the waiting ones were made, or the stored keys arrived
    // ahead of the list: showsLiked() may differ.
    void waitingChangesChanged();

private:
    // Takes the decoded list in, waiting for the worker when it is not done yet.
    void finishLoading() const;
    // Keeps a change that leaves `key` liked or not for when the list has arrived; false when
    // it can be made now.
    bool waitForList(qint64 key, bool liked, std::function<void()> change);
    void makeWaitingChanges();
    void log(const QString& emoji, const QString& message) const;

    UserDefaults& defaults_;
    WallpaperPlaylistService& playlists_;
    WallpaperCounterService& counter_;
    std::unique_ptr<PersonalWallpaperList> list_;
    QFutureWatcher<QSet<qint64>> keysLoading_;
    QFutureWatcher<PersonalWallpaperList::Decoded> loading_;
    // The keys of the stored rows, from their arrival to the list's: what the hearts show meanwhile.
    QSet<qint64> storedKeys_;
    // Taken in, perhaps early by a caller that could not wait; announced once the worker is done.
    mutable bool loaded_ = false;
    // Likes and unlikes made before the list arrived, in order.
    QList<std::function<void()>> waiting_;
    // Whether the waiting changes leave each key they touch liked.
    QHash<qint64, bool> waitingLiked_;
};
