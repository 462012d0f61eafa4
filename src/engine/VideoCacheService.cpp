#include "engine/VideoCacheService.h"

#include "engine/CacheFolder.h"
#include "engine/VideoDownload.h"
#include "engine/StableHash.h"
#include "engine/VideoCacheError.h"
#include "foundation/AppError.h"
#include "foundation/Log.h"
#include "foundation/Paths.h"
#include "foundation/Shared.h"
#include "platform/FileError.h"

#include <QDir>
#include <QFileInfo>

namespace {
const QString kType = QStringLiteral("VideoCacheService");

// A failed transfer passes through as the HttpError it is; the reply and the file map onto
// VideoCacheError.
QCoro::Task<> fetch(QUrl url, QString path, VideoCacheService::ProgressHandler progress)
{
    HttpResponse response;
    try {
        response = co_await VideoDownload::run(url, path, std::move(progress));
    } catch (const FileError& error) {
        throw VideoCacheError::fileSystemError(error);
    }
    if (!response.isSuccess())
        throw VideoCacheError::invalidResponse();
}
} // namespace

VideoCacheService::VideoCacheService(QObject* parent) : QObject(parent)
{
    QDir().mkpath(previewFolder());
    QDir().mkpath(hdPreviewFolder());
}

VideoCacheService& VideoCacheService::shared() { return Shared<VideoCacheService>::instance(); }

QString VideoCacheService::previewFolder() { return Paths::appCaches() + QStringLiteral("/videos/preview"); }

QString VideoCacheService::hdPreviewFolder() { return Paths::appCaches() + QStringLiteral("/videos/previewhd"); }

QString VideoCacheService::cacheSubdirectory(const QUrl& url) const
{
    const QString hdName = QStringLiteral("previewhd.mp4");
    const bool hd = url.path().toLower().endsWith(QLatin1Char('/') + hdName) || url.fileName().toLower() == hdName;
    return hd ? hdPreviewFolder() : previewFolder();
}

QString VideoCacheService::cacheFileName(const QUrl& url, std::optional<qint64> key) const
{
    const QString stem = key ? QString::number(*key) : QString::number(StableHash::of(url.toString(QUrl::FullyEncoded)));
    return stem + QStringLiteral(".mp4");
}

QString VideoCacheService::destination(const QUrl& url, std::optional<qint64> key) const
{
    return cacheSubdirectory(url) + QLatin1Char('/') + cacheFileName(url, key);
}

std::optional<QUrl> VideoCacheService::cachedPreviewVideoUrl(const QUrl& url, std::optional<qint64> key) const
{
    const QString path = destination(url, key);
    if (!QFileInfo::exists(path))
        return std::nullopt;
    return QUrl::fromLocalFile(path);
}

std::optional<QUrl> VideoCacheService::cachedHDPreviewUrl(qint64 key) const
{
    const QString path = hdPreviewFolder() + QLatin1Char('/') + QString::number(key) + QStringLiteral(".mp4");
    if (!QFileInfo::exists(path))
        return std::nullopt;
    return QUrl::fromLocalFile(path);
}

QCoro::Task<QUrl> VideoCacheService::cachePreviewVideo(QUrl url, std::optional<qint64> key, ProgressHandler progress)
{
    const QString path = destination(url, key);
    const QString name = QFileInfo(path).fileName();
    if (QFileInfo::exists(path)) {
        logLine(QStringLiteral("✅"), kType, QStringLiteral("Preview video already cached: ") + name);
        if (progress)
            progress(1.0);
        co_return QUrl::fromLocalFile(path);
    }

    logLine(QStringLiteral("📥"), kType, QStringLiteral("Downloading preview video: ") + url.fileName());
    logLine(QStringLiteral("📁"), kType, QStringLiteral("Destination: ") + path);
    // The folders may have gone since start-up (a user emptying ~/.cache).
    QDir().mkpath(QFileInfo(path).absolutePath());

    try {
        co_await fetch(url, path, std::move(progress));
    } catch (const std::exception& error) {
        logLine(QStringLiteral("⚠️"), kType, QStringLiteral("Failed to cache preview video ") + name + QStringLiteral(": ")
                + describeError(error));
        throw;
    }
    logLine(QStringLiteral("✅"), kType, QStringLiteral("Preview video cached: ") + name);
    co_return QUrl::fromLocalFile(path);
}

void VideoCacheService::clearCache()
{
    CacheFolder::removeEntries(previewFolder());
    CacheFolder::removeEntries(hdPreviewFolder());
    logLine(QStringLiteral("🗑️"), kType, QStringLiteral("Cleared preview video cache"));
}

qint64 VideoCacheService::cacheSizeInBytes() const
{
    return CacheFolder::fileBytes(previewFolder()) + CacheFolder::fileBytes(hdPreviewFolder());
}
