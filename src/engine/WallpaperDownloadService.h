#pragma once

#include <QCoro/QCoroTask>
#include <QObject>
#include <QUrl>

#include <functional>
#include <optional>

class GrowingVideoCheck;

// Keeps the master video of every wallpaper that was applied, one file "<key>.mp4" per catalogue
// key in "Wallpapers" of the application's Caches folder, and downloads a missing one with
// progress reports. A download is stored only when it is a video that plays to its end, with
// its size recorded beside it ("<key>.mp4.size"); a cached file whose size no longer matches
// (cut by a full disk or a crash) counts as absent and is fetched again. A cached file is never checked
// against the asset host again. Lives on the GUI thread; one shared instance. Writes no log
// lines: its callers report failures.
class WallpaperDownloadService : public QObject {
    Q_OBJECT
    Q_PROPERTY(int activeDownloadCount READ activeDownloadCount NOTIFY activeDownloadCountChanged)

public:
    using ProgressHandler = std::function<void(double fraction)>;

    explicit WallpaperDownloadService(QObject* parent = nullptr);

    static WallpaperDownloadService& shared();

    // The cache folder, without creating it; a plain path, safe from any thread.
    static QString folderPath();
    // The cache folder, created (with its parents) when missing; a creation failure shows up
    // later as a failed download.
    QString wallpapersDirectory() const;
    static QString fileName(qint64 key);

    // The local file of `key` when it is on disk and whole; never downloads or creates anything.
    std::optional<QUrl> cachedFileUrl(qint64 key) const;
    // False for a file that was stored with a recorded size it no longer has. Files without a
    // record (kept by earlier versions, or not masters at all) pass; any thread.
    static bool isWhole(const QString& path);
    // A whole file with a video track; probed off the GUI thread.
    static QCoro::Task<bool> isPlayable(QString path);
    // A file directly in the cache folder.
    static bool isCachedMaster(const QString& path);
    // Removes a cached master that cannot be used, with its record; false when it stays.
    static bool discard(const QString& path);

    // The local file URL of `key`'s master video. A file already on disk is returned at once
    // after one progress report of 1.0; otherwise `masterUrl` is fetched in a transfer of its
    // own, reporting fractions on the GUI thread. Throws DownloadError; nothing is written then.
    // A reply without a video (a portal's page, an empty body) is an invalid response; one
    // longer than the size the record states (`statedSize`, its display text), or than any
    // master when it states none, is a network error.
    QCoro::Task<QUrl> downloadWallpaper(QUrl masterUrl, qint64 key, ProgressHandler progress,
        std::optional<QString> statedSize = std::nullopt);

    // Removes every entry of the cache folder (subfolders too); the folder stays. Returns how
    // many entries could not be removed.
    int clearAll();

    // Downloads in flight: each is counted from its start until its outcome is delivered.
    int activeDownloadCount() const { return activeDownloads_; }

Q_SIGNALS:
    void activeDownloadCountChanged();

private:
    // A video that plays to its end: the verdict `check` found while the body of `staged`
    // arrived, or when it has none, the stored file read again.
    static QCoro::Task<bool> playsToEnd(GrowingVideoCheck& check, QString staged);
    void setActiveDownloads(int count);

    int activeDownloads_ = 0;
};
