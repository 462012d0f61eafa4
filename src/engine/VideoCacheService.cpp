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
        // A preview lost to a power cut is fetched again.
        response = co_await VideoDownload::run(url, path, DownloadDurability::Cache, std::move(progress),
            VideoDownload::kUnstatedPreviewBytes);
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

    std::shared_ptr<Flight> flight = flights_.value(path);
    if (!flight) {
        flight = std::make_shared<Flight>(this);
        flights_.insert(path, flight);
    }
    if (progress)
        flight->listeners.append(std::move(progress));
    const QPointer<VideoCacheService> self(this);
    const SingleFlight::Job job = [self, url, path, flight]() -> QCoro::Task<> {
        if (self)
            co_await self->fetchInto(url, path, flight);
    };
    co_await flight->gate->run(job);
    if (!self)
        throw VideoCacheError::fileSystemError(MessageError(QStringLiteral("The preview cache has closed")));
    if (flight->failure)
        std::rethrow_exception(flight->failure);
    co_return QUrl::fromLocalFile(path);
}

VideoCacheService::Flight::Flight(QObject* owner) : gate(new SingleFlight(owner)) {}

// The last waiter lets go of the run; its gate may still be unwinding its signal.
VideoCacheService::Flight::~Flight()
{
    if (gate)
        gate->deleteLater();
}

QCoro::Task<> VideoCacheService::fetchInto(QUrl url, QString path, std::shared_ptr<Flight> flight)
{
    const QString name = QFileInfo(path).fileName();
    logLine(QStringLiteral("📥"), kType, QStringLiteral("Downloading preview video: ") + url.fileName());
    logLine(QStringLiteral("📁"), kType, QStringLiteral("Destination: ") + path);
    const std::weak_ptr<Flight> listening = flight;
    const ProgressHandler report = [listening](double fraction) {
        const std::shared_ptr<Flight> run = listening.lock();
        if (!run)
            return;
        // A copy: a listener may start another preview meanwhile.
        const QList<ProgressHandler> listeners = run->listeners;
        for (const ProgressHandler& listener : listeners)
            listener(fraction);
    };
    // Checked before it takes the preview's name, so every stored preview is a video.
    const QString staged = path + QStringLiteral(".part");
    const QPointer<VideoCacheService> self(this);
    try {
        // The folders may have gone since start-up (a user emptying ~/.cache).
        QString reason;
        if (!Paths::makeFolder(QFileInfo(path).absolutePath(), &reason))
            throw VideoCacheError::fileSystemError(MessageError(reason));
        CheckedVideoFile::discard(path);
        co_await fetch(url, staged, report);
        const bool playable = co_await CheckedVideoFile::playsToEnd(staged);
        if (!playable)
            throw VideoCacheError::invalidResponse();
        try {
            CheckedVideoFile::store(staged, path, DownloadDurability::Cache);
        } catch (const FileError& error) {
            throw VideoCacheError::fileSystemError(error);
        }
        logLine(QStringLiteral("✅"), kType, QStringLiteral("Preview video cached: ") + name);
    } catch (const std::exception& error) {
        QFile::remove(staged);
        logLine(QStringLiteral("⚠️"), kType, QStringLiteral("Failed to cache preview video ") + name + QStringLiteral(": ")
                + describeError(error));
        flight->failure = std::current_exception();
    }
    // The run has ended: whoever asks from now on starts the next one.
    if (self && self->flights_.value(path) == flight)
        self->flights_.remove(path);
}

int VideoCacheService::clearCache()
{
    const int stayed = CacheFolder::removeEntries(previewFolder()) + CacheFolder::removeEntries(hdPreviewFolder());
    logLine(QStringLiteral("🗑️"), kType, QStringLiteral("Cleared preview video cache"));
    Q_EMIT cacheCleared();
    return stayed;
}

qint64 VideoCacheService::cacheSizeInBytes() const
{
    return CacheFolder::fileBytes(previewFolder()) + CacheFolder::fileBytes(hdPreviewFolder());
}
