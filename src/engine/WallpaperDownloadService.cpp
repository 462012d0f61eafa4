#include "engine/WallpaperDownloadService.h"

#include "engine/CacheFolder.h"
#include "engine/DownloadError.h"
#include "engine/VideoDownload.h"
#include "foundation/Paths.h"
#include "foundation/Shared.h"
#include "platform/FileError.h"
#include "platform/HttpError.h"

#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QScopeGuard>

WallpaperDownloadService::WallpaperDownloadService(QObject* parent) : QObject(parent) {}

WallpaperDownloadService& WallpaperDownloadService::shared() { return Shared<WallpaperDownloadService>::instance(); }

QString WallpaperDownloadService::folderPath() { return Paths::appCaches() + QStringLiteral("/Wallpapers"); }

QString WallpaperDownloadService::wallpapersDirectory() const
{
    const QString folder = folderPath();
    QDir().mkpath(folder);
    return folder;
}

QString WallpaperDownloadService::fileName(qint64 key) { return QString::number(key) + QStringLiteral(".mp4"); }

std::optional<QUrl> WallpaperDownloadService::cachedFileUrl(qint64 key) const
{
    const QString path = folderPath() + QLatin1Char('/') + fileName(key);
    if (!QFileInfo::exists(path))
        return std::nullopt;
    return QUrl::fromLocalFile(path);
}

QCoro::Task<QUrl> WallpaperDownloadService::downloadWallpaper(QUrl masterUrl, qint64 key, ProgressHandler progress)
{
    const QString destination = wallpapersDirectory() + QLatin1Char('/') + fileName(key);
    if (QFileInfo::exists(destination)) {
        if (progress)
            progress(1.0);
        co_return QUrl::fromLocalFile(destination);
    }

    const QPointer<WallpaperDownloadService> self(this);
    setActiveDownloads(activeDownloads_ + 1);
    // The count drops once the outcome is known, whichever way the transfer ended.
    const auto finished = qScopeGuard([self] {
        if (self)
            self->setActiveDownloads(self->activeDownloads_ - 1);
    });

    HttpResponse response;
    try {
        response = co_await VideoDownload::run(masterUrl, destination, std::move(progress));
    } catch (const HttpError& error) {
        throw DownloadError::networkError(error);
    } catch (const FileError& error) {
        throw DownloadError::fileSystemError(error);
    }
    if (!response.isSuccess())
        throw DownloadError::invalidResponse();
    co_return QUrl::fromLocalFile(destination);
}

void WallpaperDownloadService::clearAll() { CacheFolder::removeEntries(wallpapersDirectory()); }

void WallpaperDownloadService::setActiveDownloads(int count)
{
    if (activeDownloads_ == count)
        return;
    activeDownloads_ = count;
    Q_EMIT activeDownloadCountChanged();
}
