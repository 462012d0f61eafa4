#include "engine/VideoCacheService.h"

#include "engine/CacheFolder.h"
#include "engine/CheckedVideoFile.h"
#include "engine/VideoDownload.h"
#include "engine/StableHash.h"
#include "engine/VideoCacheError.h"
#include "foundation/AppError.h"
#include "foundation/Log.h"
#include "foundation/Paths.h"
#include "foundation/Shared.h"
#include "platform/FileError.h"
#include "state/SingleFlight.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>

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

std::optional<QUrl> VideoCacheService::wholeFile(const QString& path)
{
    if (!QFileInfo(path).isFile() || !CheckedVideoFile::isWhole(path, false))
        return std::nullopt;
    return QUrl::fromLocalFile(path);
}

std::optional<QUrl> VideoCacheService::cachedPreviewVideoUrl(const QUrl& url, std::optional<qint64> key) const
{
    return wholeFile(destination(url, key));
}

std::optional<QUrl> VideoCacheService::cachedHDPreviewUrl(qint64 key) const
{
    return wholeFile(hdPreviewFolder() + QLatin1Char('/') + QString::number(key) + QStringLiteral(".mp4"));
}

QCoro::Task<QUrl> VideoCacheService::cachePreviewVideo(QUrl url, std::optional<qint64> key, ProgressHandler progress)
{
    const QString path = destination(url, key);
    const QString name = QFileInfo(path).fileName();
    if (const std::optional<QUrl> cached = wholeFile(path)) {
        logLine(QStringLiteral("✅"), kType, QStringLiteral("Preview video already cached: ") + name);
        if (progress)
            progress(1.0);
        co_return *cached;
    }

    Flight& flight = flights_[path];
    if (!flight.gate)
        flight.gate = new SingleFlight(this);
    ++flight.waiting;
    if (progress)
        flight.listeners.append(std::move(progress));
    const QPointer<VideoCacheService> self(this);
    const SingleFlight::Job job = [self, url, path]() -> QCoro::Task<> {
        if (self)
            co_await self->fetchInto(url, path);
    };
    co_await flight.gate->run(job);
    if (!self)
        throw VideoCacheError::fileSystemError(MessageError(QStringLiteral("The preview cache has closed")));

    // The last caller to hear the outcome lets go of the flight; a later call starts afresh.
    Flight& done = self->flights_[path];
    const std::exception_ptr failure = done.failure;
    if (--done.waiting == 0) {
        done.gate->deleteLater();
        self->flights_.remove(path);
    }
    if (failure)
        std::rethrow_exception(failure);
    co_return QUrl::fromLocalFile(path);
}

QCoro::Task<> VideoCacheService::fetchInto(QUrl url, QString path)
{
    const QString name = QFileInfo(path).fileName();
    logLine(QStringLiteral("📥"), kType, QStringLiteral("Downloading preview video: ") + url.fileName());
    logLine(QStringLiteral("📁"), kType, QStringLiteral("Destination: ") + path);
    flights_[path].failure = nullptr;
    const QPointer<VideoCacheService> self(this);
    const ProgressHandler report = [self, path](double fraction) {
        if (!self)
            return;
        // A copy: a listener may start another preview meanwhile.
        const QList<ProgressHandler> listeners = self->flights_.value(path).listeners;
        for (const ProgressHandler& listener : listeners)
            listener(fraction);
    };
    // Checked before it takes the preview's name, so every stored preview is a video.
    const QString staged = path + QStringLiteral(".part");
    std::exception_ptr failure;
    try {
        // The folders may have gone since start-up (a user emptying ~/.cache).
        QString reason;
        if (!Paths::makeFolder(QFileInfo(path).absolutePath(), &reason))
            throw VideoCacheError::fileSystemError(MessageError(reason));
        CheckedVideoFile::discard(path);
        co_await fetch(url, staged, report);
        const bool video = co_await CheckedVideoFile::hasVideo(staged);
        if (!video)
            throw VideoCacheError::invalidResponse();
        try {
            CheckedVideoFile::store(staged, path);
        } catch (const FileError& error) {
            throw VideoCacheError::fileSystemError(error);
        }
        logLine(QStringLiteral("✅"), kType, QStringLiteral("Preview video cached: ") + name);
    } catch (const std::exception& error) {
        QFile::remove(staged);
        logLine(QStringLiteral("⚠️"), kType, QStringLiteral("Failed to cache preview video ") + name + QStringLiteral(": ")
                + describeError(error));
        failure = std::current_exception();
    }
    if (self)
        self->flights_[path].failure = failure;
}

void VideoCacheService::clearCache()
{
    CacheFolder::removeEntries(previewFolder());
    CacheFolder::removeEntries(hdPreviewFolder());
    logLine(QStringLiteral("🗑️"), kType, QStringLiteral("Cleared preview video cache"));
    Q_EMIT cacheCleared();
}

qint64 VideoCacheService::cacheSizeInBytes() const
{
    return CacheFolder::fileBytes(previewFolder()) + CacheFolder::fileBytes(hdPreviewFolder());
}
