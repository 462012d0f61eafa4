#include "engine/WallpaperImageCache.h"

#include "engine/CacheFolder.h"
#include "engine/StableHash.h"
#include "foundation/CacheFile.h"
#include "foundation/Log.h"
#include "foundation/Paths.h"
#include "foundation/Shared.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QCoro/QCoroFuture>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QRegularExpression>
#include <QtConcurrent/QtConcurrentRun>

namespace {
const QString kType = QStringLiteral("WallpaperImageCache");
}

WallpaperImageCache::WallpaperImageCache(QString baseDirectory, qsizetype memoryLimitBytes)
    : baseDirectory_(std::move(baseDirectory)), memory_(memoryLimitBytes)
{
    writers_.setMaxThreadCount(2);
    // The files still to write are not worth a slower quit. An encoder still running ends on
    // its worker while the quit goes on; the quit's end waits for it (stopDiskWrites), as it
    // would race the application's teardown.
    if (QCoreApplication* application = QCoreApplication::instance())
        connect(application, &QCoreApplication::aboutToQuit, this, [this] { endDiskWrites(); });
    for (const QString& folder : {baseDirectory_, thumbnailsFolder(), postersFolder()})
        diskLevel_ = diskLevel_ && QDir().mkpath(folder);
    // Pictures still show without a disk level; they are fetched again after a restart.
    if (!diskLevel_) {
        logLine(QStringLiteral("⚠️"), kType,
            QStringLiteral("No caches folder at ") + baseDirectory_ + QStringLiteral(": images are kept in memory only"));
    }
}

WallpaperImageCache::~WallpaperImageCache() { waitForDiskWrites(); }

WallpaperImageCache& WallpaperImageCache::shared() { return Shared<WallpaperImageCache>::instance(); }

QString WallpaperImageCache::defaultBaseDirectory() { return Paths::appCaches() + QStringLiteral("/images"); }

QString WallpaperImageCache::thumbnailsFolder() const { return baseDirectory_ + QStringLiteral("/thumbnails"); }

QString WallpaperImageCache::postersFolder() const { return baseDirectory_ + QStringLiteral("/posters"); }

bool WallpaperImageCache::isPosterUrl(const QUrl& url)
{
    const QString address = url.toString(QUrl::FullyEncoded).toLower();
    if (address.contains(QLatin1String("thumb")))
        return false;
    return address.contains(QLatin1String("poster"));
}

QString WallpaperImageCache::fileName(const QUrl& url)
{
    // The extension comes from a remote address: anything but a short plain word could make an
    // odd or unsafe file name.
    static const QRegularExpression plainExtension(QStringLiteral("^[A-Za-z0-9]{1,8}$"));
    const QString suffix = QFileInfo(url.path()).suffix();
    const QString extension = plainExtension.match(suffix).hasMatch() ? suffix : QString();
    return QString::number(StableHash::of(url.toString(QUrl::FullyEncoded))) + QLatin1Char('.')
        + (extension.isEmpty() ? QStringLiteral("webp") : extension);
}

QString WallpaperImageCache::filePath(const QUrl& url) const
{
    return (isPosterUrl(url) ? postersFolder() : thumbnailsFolder()) + QLatin1Char('/') + fileName(url);
}

QImage WallpaperImageCache::image(const QUrl& url)
{
    if (const QImage held = memoryImage(url); !held.isNull())
        return held;
    const QImage decoded = readFile(diskPath(url));
    keep(decoded, url);
    return decoded;
}

QImage WallpaperImageCache::memoryImage(const QUrl& url)
{
    const QImage* held = memory_.object(url);
    return held ? *held : QImage();
}

QImage WallpaperImageCache::readFile(const QString& path)
{
    if (path.isEmpty() || !QFileInfo::exists(path))
        return {};
    // The content decides the format: the file holds PNG whatever its extension.
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    const QImage decoded = reader.read();
    if (decoded.isNull()) {
        QFile::remove(path);
        logLine(QStringLiteral("⚠️"), kType,
            QStringLiteral("Dropped unreadable cached image ") + QFileInfo(path).fileName() + QStringLiteral(": ")
                + reader.errorString());
        return {};
    }
    return decoded;
}

void WallpaperImageCache::store(const QImage& image, const QUrl& url)
{
    if (image.isNull())
        return;
    keep(image, url);
    if (!diskLevel_ || writesStopped_)
        return;
    const quint64 generation = generation_.load();
    writers_.start([this, image, path = filePath(url), generation, clearing = clearing_] {
        if (writesStopped_)
            return;
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        // An image that cannot be encoded is simply not kept on disk.
        if (!QImageWriter(&buffer, "png").write(image))
            return;
        // Outside the lock, which the removal itself takes.
        QFuture<void> removal = clearing;
        removal.waitForFinished();

        const std::lock_guard lock(diskMutex_);
        if (generation != generation_.load() || writesStopped_)
            return;
        // The folders may have been removed behind our back since start-up.
        QDir().mkpath(QFileInfo(path).absolutePath());
        if (QString error; !CacheFile::write(path, png, &error))
            logLine(QStringLiteral("⚠️"), kType, QStringLiteral("Failed to save image to disk: ") + error);
    });
}

void WallpaperImageCache::keep(const QImage& image, const QUrl& url)
{
    if (image.isNull())
        return;
    // Too large for the whole limit: QCache refuses it and frees the copy itself.
    memory_.insert(url, new QImage(image), image.sizeInBytes());
}

QCoro::Task<int> WallpaperImageCache::clearAll()
{
    memory_.clear();
    // Writes that began before this point are dropped from here on; removing many files takes
    // long enough to stall the window, so it runs on a worker.
    ++generation_;
    auto stayed = std::make_shared<int>(0);
    clearing_ = QtConcurrent::run([this, stayed, folders = QStringList{thumbnailsFolder(), postersFolder()}] {
        const std::lock_guard lock(diskMutex_);
        for (const QString& folder : folders)
            *stayed += CacheFolder::removeEntries(folder);
    });
    QFuture<void> removal = clearing_;
    co_await removal;
    logLine(QStringLiteral("🗑️"), kType, QStringLiteral("Cleared all image caches (memory and disk)"));
    co_return *stayed;
}

void WallpaperImageCache::clearMemory()
{
    memory_.clear();
    logLine(QStringLiteral("🗑️"), kType, QStringLiteral("Cleared memory image cache"));
}

qint64 WallpaperImageCache::diskCacheSize() const
{
    return CacheFolder::fileBytes(thumbnailsFolder()) + CacheFolder::fileBytes(postersFolder());
}

void WallpaperImageCache::waitForDiskWrites()
{
    clearing_.waitForFinished();
    writers_.waitForDone();
}

void WallpaperImageCache::endDiskWrites()
{
    writesStopped_ = true;
    writers_.clear();
}

void WallpaperImageCache::stopDiskWrites()
{
    endDiskWrites();
    waitForDiskWrites();
}
