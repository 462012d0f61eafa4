#pragma once

#include <QCache>
#include <QCoro/QCoroTask>
#include <QFuture>
#include <QObject>
#include <QImage>
#include <QString>
#include <QThreadPool>
#include <QUrl>

#include <atomic>
#include <mutex>

// The application's two-level cache of decoded posters and thumbnails, keyed by image address:
// decoded images in memory (least recently used first out once a byte limit is passed, since
// nothing on Linux trims them under memory pressure) and PNG files in "images/thumbnails" and
// "images/posters" of the application's Caches folder, named by a stable hash of the address so
// they are found again after a restart. Without a caches folder it keeps images in memory only.
// Used on the GUI thread; PNG encoding and writing run on a worker pool of its own, and every
// file appears whole or not at all. A QObject so that work still running when a view or a test
// lets it go can tell (QPointer) instead of writing into freed memory.
class WallpaperImageCache : public QObject {
public:
    static constexpr qsizetype kDefaultMemoryLimitBytes = qsizetype(256) << 20;

    // Creates the folders when missing; when that fails, says so once and uses memory only.
    explicit WallpaperImageCache(QString baseDirectory = defaultBaseDirectory(),
        qsizetype memoryLimitBytes = kDefaultMemoryLimitBytes);
    // Waits for disk writes and a clearing still running.
    ~WallpaperImageCache() override;
    WallpaperImageCache(const WallpaperImageCache&) = delete;
    WallpaperImageCache& operator=(const WallpaperImageCache&) = delete;

    static WallpaperImageCache& shared();
    static QString defaultBaseDirectory();

    // The image of `url` from memory, else from its file (kept in memory from then on); a null
    // image when neither has it. A file that does not decode is removed, so the image is fetched
    // again instead of being shown broken.
    QImage image(const QUrl& url);
    // The image of `url` from memory only; a null image when memory lacks it.
    QImage memoryImage(const QUrl& url);
    // The file that holds (or would hold) the image of `url`; empty without a disk level.
    QString diskPath(const QUrl& url) const { return diskLevel_ ? filePath(url) : QString(); }
    // Decodes the file at `path` (from diskPath()) without touching any cache, so a worker can run
    // it even while the cache goes away; a null image when there is none or it is unreadable (then
    // it is removed). Keep what it gives with keep().
    static QImage readFile(const QString& path);
    // Keeps an image read by readFile() in memory.
    void keep(const QImage& image, const QUrl& url);
    // Keeps the image in memory at once and writes its PNG file on a worker a moment later.
    void store(const QImage& image, const QUrl& url);

    // Empties memory at once and both folders on a worker (the folders stay); ends when the files
    // are gone. Images stored meanwhile are kept: their files are written after the removal.
    // Ends with how many files could not be removed.
    QCoro::Task<int> clearAll();
    // Frees the decoded images; the files stay.
    void clearMemory();
    // Bytes of the files directly inside both folders; reads only, safe from any thread.
    qint64 diskCacheSize() const;

    // Thumbnails are addresses that mention "thumb"; posters those that mention "poster"; every
    // other address counts as a thumbnail.
    static bool isPosterUrl(const QUrl& url);
    // The digits of a stable unsigned 64-bit hash of the address, ".", and the path's extension
    // when it is 1 to 8 letters or digits, else "webp". The content is PNG whatever the name says.
    static QString fileName(const QUrl& url);
    QString filePath(const QUrl& url) const;
    QString baseDirectory() const { return baseDirectory_; }
    bool hasDiskLevel() const { return diskLevel_; }

    // Blocks until every write started so far, and the last clearing, have ended (tests,
    // benchmarks).
    void waitForDiskWrites();
    // For the quit, which a cache must not hold up: drops the writes not yet begun, lets those
    // under way end without leaving their file, and keeps later images in memory only. Files
    // already written stay whole; reading goes on.
    void endDiskWrites();
    // The same, returning once no worker touches the folders.
    void stopDiskWrites();

private:
    QString thumbnailsFolder() const;
    QString postersFolder() const;

    const QString baseDirectory_;
    bool diskLevel_ = true;
    QCache<QUrl, QImage> memory_;
    // A write that began before clearAll() must not bring its file back afterwards: clearing
    // bumps the generation, and a write commits only under the lock and in its own generation.
    std::mutex diskMutex_;
    std::atomic<quint64> generation_{0};
    std::atomic<bool> writesStopped_{false};
    // The removal of the last clearAll(): a write started after it waits for it to end, so the
    // removal never takes a file that belongs to the new generation.
    QFuture<void> clearing_;
    // Last, so it is destroyed first: pending writes end before the state they use goes.
    QThreadPool writers_;
};
