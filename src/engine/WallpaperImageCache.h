#pragma once

#include <QCache>
#include <QObject>
#include <QImage>
#include <QString>
#include <QThreadPool>
#include <QUrl>

#include <atomic>
#include <memory>
#include <mutex>

// The application's two-level cache of decoded posters and thumbnails, keyed by image address:
// decoded images in memory (least recently used first out once a byte limit is passed, since
// nothing on Linux trims them under memory pressure) and PNG files in "images/thumbnails" and
// "images/posters" of the application's Caches folder, named by a stable hash of the address so
// they are found again after a restart. Without a caches folder it keeps images in memory only.
// Used on the GUI thread; PNG encoding and writing run on a worker pool of its own, and every
// file appears whole or not at all.
class WallpaperImageCache {
public:
    static constexpr qsizetype kDefaultMemoryLimitBytes = qsizetype(256) << 20;

    // Creates the folders when missing; when that fails, says so once and uses memory only.
    explicit WallpaperImageCache(QString baseDirectory = defaultBaseDirectory(),
        qsizetype memoryLimitBytes = kDefaultMemoryLimitBytes);
    // Waits for disk writes still running.
    ~WallpaperImageCache();
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
    // Decodes the file of `url` without touching memory, so a worker can run it; a null image when
    // there is none or it is unreadable (then it is removed). Keep what it gives with keep().
    QImage readFile(const QUrl& url) const;
    // Keeps an image read by readFile() in memory.
    void keep(const QImage& image, const QUrl& url);
    // Keeps the image in memory at once and writes its PNG file on a worker a moment later.
    void store(const QImage& image, const QUrl& url);

    // Empties memory and both folders (the folders stay).
    void clearAll();
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

    // Blocks until every write started so far has ended (tests, benchmarks, shutdown).
    void waitForDiskWrites();

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
    // Last, so it is destroyed first: pending writes end before the state they use goes.
    QThreadPool writers_;
    // Drains the writers when the application quits: an encoder still running on a worker would
    // race the application's teardown. Gone with the cache, so a short-lived cache is never called.
    std::unique_ptr<QObject> quitWatch_;
};
