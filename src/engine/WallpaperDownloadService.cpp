#include "engine/WallpaperDownloadService.h"

#include "engine/CacheFolder.h"
#include "engine/CheckedVideoFile.h"
#include "engine/DownloadError.h"
#include "engine/VideoDownload.h"
#include "foundation/AppError.h"
#include "foundation/Paths.h"
#include "foundation/Shared.h"
#include "platform/FileError.h"
#include "platform/GrowingVideoCheck.h"
#include "platform/HttpError.h"

#include <QDir>
#include <QFile>
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
    if (!QFileInfo::exists(path) || !isWhole(path))
        return std::nullopt;
    return QUrl::fromLocalFile(path);
}

bool WallpaperDownloadService::isWhole(const QString& path) { return CheckedVideoFile::isWhole(path, true); }

QCoro::Task<bool> WallpaperDownloadService::isPlayable(QString path)
{
    if (!QFileInfo(path).isFile() || !isWhole(path))
        co_return false;
    co_return co_await CheckedVideoFile::hasVideo(path);
}

bool WallpaperDownloadService::isCachedMaster(const QString& path)
{
    return QFileInfo(path).absolutePath() == QDir(folderPath()).absolutePath();
}

bool WallpaperDownloadService::discard(const QString& path) { return CheckedVideoFile::discard(path); }

QCoro::Task<QUrl> WallpaperDownloadService::downloadWallpaper(QUrl masterUrl, qint64 key, ProgressHandler progress,
    std::optional<QString> statedSize)
{
    // The folder's own trouble (a file in its place, a read-only disk) is the reason to show,
    // not the staging file that could then not be opened.
    QString reason;
    if (!Paths::makeFolder(folderPath(), &reason))
        throw DownloadError::fileSystemError(MessageError(QStringLiteral("The wallpapers folder cannot be used: ") + reason));
    const QString destination = folderPath() + QLatin1Char('/') + fileName(key);
    if (QFileInfo::exists(destination)) {
        if (isWhole(destination)) {
            if (progress)
                progress(1.0);
            co_return QUrl::fromLocalFile(destination);
        }
        discard(destination);
    }

    const QPointer<WallpaperDownloadService> self(this);
    setActiveDownloads(activeDownloads_ + 1);
    // The count drops once the outcome is known, whichever way the transfer ended.
    const auto finished = qScopeGuard([self] {
        if (self)
            self->setActiveDownloads(self->activeDownloads_ - 1);
    });

    // Checked and recorded before it takes the master's name, so every "<key>.mp4" is a video.
    // Each download has a staging file of its own: two of one key never mix.
    static quint64 downloads = 0;
    const QString staged = destination + QStringLiteral(".%1.part").arg(++downloads);
    const auto removeStaged = qScopeGuard([staged] { QFile::remove(staged); });
    // Checked as its bytes arrive; made after the staging file's guard, so it stops reading
    // before the file goes.
    GrowingVideoCheck check(staged);
    HttpResponse response;
    try {
        // The master the user waits for, and the wallpaper of every later launch: on the disk
        // before it counts as downloaded.
        response = co_await VideoDownload::run(masterUrl, staged, DownloadDurability::Synced, std::move(progress),
            VideoDownload::limitFor(statedSize, VideoDownload::kUnstatedMasterBytes), check.tap());
    } catch (const HttpError& error) {
        throw DownloadError::networkError(error);
    } catch (const FileError& error) {
        throw DownloadError::fileSystemError(error);
    }
    if (!response.isSuccess())
        throw DownloadError::invalidResponse();
    // A reply cut after the video's header, sent with a length that matches, holds a video track
    // and would play only its start, for good: it must play to its end.
    const bool whole = co_await playsToEnd(check, staged);
    if (!whole)
        throw DownloadError::invalidResponse();
    try {
        CheckedVideoFile::store(staged, destination, DownloadDurability::Synced);
    } catch (const FileError& error) {
        throw DownloadError::fileSystemError(error);
    }
    co_return QUrl::fromLocalFile(destination);
}

QCoro::Task<bool> WallpaperDownloadService::playsToEnd(GrowingVideoCheck& check, QString staged)
{
    const std::optional<bool> streamed = co_await check.verdict();
    if (streamed)
        co_return *streamed;
    // What was read is not known to be the stored file: the file itself is read.
    const bool playable = co_await isPlayable(staged);
    if (!playable)
        co_return false;
    co_return co_await CheckedVideoFile::playsToEnd(staged);
}

int WallpaperDownloadService::clearAll() { return CacheFolder::removeEntries(wallpapersDirectory()); }

void WallpaperDownloadService::setActiveDownloads(int count)
{
    if (activeDownloads_ == count)
        return;
    activeDownloads_ = count;
    Q_EMIT activeDownloadCountChanged();
}
