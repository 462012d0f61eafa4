#pragma once

#include <QCoro/QCoroTask>
#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>

class VideoCacheService;
class WallpaperDownloadService;
class WallpaperImageCache;

// The housekeeping of the caches: empties every disk cache that can be fetched again (master
// and preview videos, lock-screen movies, posters and thumbnails) while keeping the user's own
// videos and the backend response cache, frees the decoded images and loaded catalogue pages,
// removes two folders older versions left in Application Support, and reports how much the
// caches take. Owns no files: it asks the services that own them. Lives on the GUI thread,
// except the size readout, which only reads folders.
class CacheService : public QObject {
    Q_OBJECT

public:
    // Uses the shared image, preview and master-video caches.
    explicit CacheService(QObject* parent = nullptr);
    CacheService(WallpaperImageCache& images, VideoCacheService& previews, WallpaperDownloadService& masters,
        QObject* parent = nullptr);

    static CacheService& shared();

    static QString conversionsFolder();

    // A holder of loaded catalogue pages (a feed service) that clearRAM() must empty: `drop` is
    // called, in the order of registration, for as long as `owner` lives.
    void registerFeedCache(const QObject* owner, std::function<void()> drop);

    // Images (memory and disk), previews, master videos, then the lock-screen movies (unfinished
    // ones included); the image files are removed on a worker. Ends with how many entries could
    // not be removed (files written meanwhile, a preview fetched again, are not among them).
    QCoro::Task<int> clearAllCaches();
    // Decoded images and loaded catalogue pages; nothing on disk.
    void clearRAM();
    // Application Support's old "images" and "videos" folders; run once at launch.
    void removeLegacyFolders();
    // The unfinished files (".part") a kill left while a preview, a master video or a lock-screen
    // movie was being written; run at launch, before any of them starts again.
    void removeUnfinishedFiles() const;

    // Megabytes (2^20 bytes) of master videos, lock-screen movies, images and previews. Only
    // reads the file system and creates nothing, so it may run on any thread.
    double cacheSizeMB() const;
    // The same, walked on a worker thread.
    QCoro::Task<double> cacheSizeMBAsync() const;

Q_SIGNALS:
    // At the end of every clearAllCaches(), whoever asked for it: sizes shown are out of date,
    // and `stayed` entries could not be removed.
    void cachesCleared(int stayed);

private:
    struct FeedCache {
        QPointer<const QObject> owner;
        std::function<void()> drop;
    };

    // Returns how many movies could not be removed.
    int clearConversions();

    WallpaperImageCache& images_;
    VideoCacheService& previews_;
    WallpaperDownloadService& masters_;
    QList<FeedCache> feedCaches_;
};
