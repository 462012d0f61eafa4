#include "engine/LocalVideoResolver.h"

#include "engine/EngineError.h"
#include "foundation/Log.h"
#include "state/SavedWallpaperSource.h"

#include <QFileInfo>

#include <utility>

namespace {
const QString kType = QStringLiteral("LocalVideoResolver");

bool isFile(const QUrl& url) { return url.isLocalFile() && QFileInfo(url.toLocalFile()).isFile(); }
} // namespace

QCoro::Task<QUrl> LocalVideoResolver::resolve(Source source, Report report)
{
    const std::optional<QUrl> found = co_await find(source, report.checking);
    if (found)
        co_return *found;
    if (report.downloading)
        report.downloading();
    const QUrl file = co_await fetch(source, report.progress);
    if (report.downloaded)
        report.downloaded();
    co_return file;
}

QCoro::Task<std::optional<QUrl>> LocalVideoResolver::find(Source source, std::function<void()> checking)
{
    QList<QUrl> candidates;
    if (source.address.isLocalFile())
        candidates.append(source.address);
    if (!source.isCustom) {
        if (const std::optional<QUrl> cached = WallpaperDownloadService::shared().cachedFileUrl(source.key))
            candidates.append(*cached);
    }
    for (const QUrl& candidate : candidates) {
        if (!isFile(candidate))
            continue;
        if (checking)
            std::exchange(checking, nullptr)();
        const bool usable = co_await passes(candidate.toLocalFile());
        if (usable)
            co_return candidate;
        // Only a cached master can be fetched again; any other file is the user's to mend.
        if (!WallpaperDownloadService::isCachedMaster(candidate.toLocalFile()))
            throw EngineError::missingVideo(candidate);
    }
    if (source.isCustom)
        throw EngineError::missingVideo(source.address);
    co_return std::nullopt;
}

QCoro::Task<bool> LocalVideoResolver::passes(QString path)
{
    const bool playable = co_await WallpaperDownloadService::isPlayable(path);
    if (playable || !WallpaperDownloadService::isCachedMaster(path))
        co_return playable;
    if (WallpaperDownloadService::discard(path))
        logLine(QStringLiteral("🗑️"), kType, QStringLiteral("Removed a cached master that cannot be played: ") + QFileInfo(path).fileName());
    co_return false;
}

QCoro::Task<QUrl> LocalVideoResolver::fetch(Source source, WallpaperDownloadService::ProgressHandler progress)
{
    if (source.isCustom)
        throw EngineError::missingVideo(source.address);
    const std::optional<QUrl> address = co_await SavedWallpaperSource::downloadAddress(source.key, source.address);
    if (!address)
        throw EngineError::missingVideo(source.address);
    const QUrl file = co_await WallpaperDownloadService::shared().downloadWallpaper(*address, source.key, progress, source.statedSize);
    co_return file;
}
