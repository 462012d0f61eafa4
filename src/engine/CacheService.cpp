#include "engine/CacheService.h"

#include "engine/CacheFolder.h"
#include "engine/VideoCacheService.h"
#include "engine/WallpaperDownloadService.h"
#include "engine/WallpaperImageCache.h"
#include "foundation/Log.h"
#include "foundation/Paths.h"
#include "foundation/Shared.h"

#include <QCoro/QCoroFuture>
#include <QFileInfo>
#include <QtConcurrent/QtConcurrentRun>

namespace {
const QString kType = QStringLiteral("CacheService");

// A movie, or the unfinished one a conversion interrupted by a crash left ("<key>.mov.part").
bool isMovie(const QFileInfo& entry)
{
    return CacheFolder::hasExtension(entry, u"mov")
        || (CacheFolder::hasExtension(entry, u"part") && entry.completeBaseName().endsWith(u".mov", Qt::CaseInsensitive));
}

bool isUnfinished(const QFileInfo& entry) { return CacheFolder::hasExtension(entry, u"part"); }
} // namespace

CacheService::CacheService(QObject* parent)
    : CacheService(WallpaperImageCache::shared(), VideoCacheService::shared(), WallpaperDownloadService::shared(), parent)
{
}

CacheService::CacheService(WallpaperImageCache& images, VideoCacheService& previews, WallpaperDownloadService& masters,
    QObject* parent)
    : QObject(parent), images_(images), previews_(previews), masters_(masters)
{
}

CacheService& CacheService::shared() { return Shared<CacheService>::instance(); }

QString CacheService::conversionsFolder() { return Paths::appCaches() + QStringLiteral("/conversions"); }

void CacheService::registerFeedCache(const QObject* owner, std::function<void()> drop)
{
    feedCaches_.append({owner, std::move(drop)});
}

QCoro::Task<int> CacheService::clearAllCaches()
{
    const QPointer<CacheService> self(this);
    QCoro::Task<int> images = images_.clearAll();
    const int imagesStayed = co_await images;
    if (!self)
        co_return imagesStayed;
    const int stayed = imagesStayed + previews_.clearCache() + masters_.clearAll() + clearConversions();
    logLine(QStringLiteral("✅"), kType, QStringLiteral("All caches cleared (custom wallpapers preserved)"));
    Q_EMIT cachesCleared(stayed);
    co_return stayed;
}

int CacheService::clearConversions()
{
    const QString folder = conversionsFolder();
    if (!QFileInfo::exists(folder))
        return 0;
    int removed = 0;
    int stayed = 0;
    for (const QFileInfo& entry : CacheFolder::entries(folder)) {
        if (!isMovie(entry))
            continue;
        QString reason;
        if (CacheFolder::removeEntry(entry, &reason)) {
            ++removed;
            logLine(QStringLiteral("🗑️"), kType, QStringLiteral("Deleted .mov file: ") + entry.fileName());
        } else {
            ++stayed;
            logLine(QStringLiteral("⚠️"), kType,
                QStringLiteral("Failed to delete .mov file ") + entry.fileName() + QStringLiteral(": ") + reason);
        }
    }
    if (removed > 0) {
        logLine(QStringLiteral("✅"), kType,
            QStringLiteral("Cleared ") + QString::number(removed) + QStringLiteral(" .mov file(s) from Caches"));
    }
    return stayed;
}

void CacheService::clearRAM()
{
    images_.clearMemory();
    // Feed services that are gone have nothing left to free.
    feedCaches_.removeIf([](const FeedCache& feed) { return feed.owner.isNull(); });
    // A copy: a feed may register or go away while it drops its pages.
    const QList<FeedCache> feeds = feedCaches_;
    for (const FeedCache& feed : feeds) {
        if (feed.owner)
            feed.drop();
    }
    logLine(QStringLiteral("✅"), kType, QStringLiteral("Cleared in-memory caches (RAM freed)"));
}

void CacheService::removeLegacyFolders()
{
    for (const QString& name : {QStringLiteral("images"), QStringLiteral("videos")}) {
        const QFileInfo folder(Paths::appSupport() + QLatin1Char('/') + name);
        if (!folder.exists() && !folder.isSymLink())
            continue;
        // Logged whether or not the removal worked: the folder was found where it should not be.
        CacheFolder::removeEntry(folder);
        logLine(QStringLiteral("🗑️"), kType,
            QStringLiteral("Removed legacy folder (should only be in Caches): ") + folder.absoluteFilePath());
    }
}

void CacheService::removeUnfinishedFiles() const
{
    for (const QString& folder : {VideoCacheService::previewFolder(), VideoCacheService::hdPreviewFolder(),
             WallpaperDownloadService::folderPath(), conversionsFolder()}) {
        for (const QFileInfo& entry : CacheFolder::entries(folder)) {
            if (!entry.isFile() || !isUnfinished(entry) || !CacheFolder::removeEntry(entry))
                continue;
            logLine(QStringLiteral("🗑️"), kType, QStringLiteral("Removed an unfinished file: ") + entry.absoluteFilePath());
        }
    }
}

double CacheService::cacheSizeMB() const
{
    qint64 total = CacheFolder::fileBytes(WallpaperDownloadService::folderPath());
    total += CacheFolder::fileBytes(conversionsFolder(), isMovie);
    total += images_.diskCacheSize();
    total += previews_.cacheSizeInBytes();
    // An own-video copy a kill cut short takes room until the next launch sweeps it.
    total += CacheFolder::fileBytes(Paths::appSupport() + QStringLiteral("/custom"), isUnfinished);
    return static_cast<double>(total) / static_cast<double>(1 << 20);
}

QCoro::Task<double> CacheService::cacheSizeMBAsync() const
{
    QFuture<double> walk = QtConcurrent::run([this] { return cacheSizeMB(); });
    co_return co_await walk;
}
