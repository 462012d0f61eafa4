#include "engine/VideoConversionService.h"

#include "engine/AerialsFolders.h"
#include "engine/ConversionError.h"
#include "engine/StagedFile.h"
#include "engine/WallpaperAerialsExtensionService.h"
#include "foundation/Log.h"
#include "foundation/Paths.h"
#include "foundation/Shared.h"
#include "platform/FileError.h"
#include "platform/Http.h"
#include "platform/MediaError.h"
#include "platform/MediaTools.h"

#include <QCoro/QCoroFuture>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtConcurrent/QtConcurrentRun>

#include <exception>

namespace {
using Kind = ConversionError::Kind;

const QString kType = QStringLiteral("VideoConversionService");

void logFailure(const QString& what, const std::exception& error)
{
    logLine(QStringLiteral("❌"), kType, what + QStringLiteral(" failed: ") + describeError(error));
}

void makeFolder(const QString& path)
{
    if (!QDir().mkpath(path))
        throw FileError(path, QStringLiteral("cannot be created"));
}

void report(const VideoConversionService::ProgressHandler& progress, double fraction)
{
    if (progress)
        progress(fraction);
}
} // namespace

VideoConversionService::VideoConversionService(QObject* parent) : VideoConversionService(AerialsFolders::shared(), parent) {}

VideoConversionService::VideoConversionService(AerialsFolders& folders, QObject* parent)
    : QObject(parent), folders_(folders)
{
}

VideoConversionService& VideoConversionService::shared() { return Shared<VideoConversionService>::instance(); }

QString VideoConversionService::conversionsFolder() { return Paths::appCaches() + QStringLiteral("/conversions"); }

QString VideoConversionService::convertedMoviePath(qint64 key)
{
    return conversionsFolder() + u'/' + QString::number(key) + QStringLiteral(".mov");
}

bool VideoConversionService::hasConvertedVideo(qint64 key) const { return QFileInfo(convertedMoviePath(key)).isFile(); }

void VideoConversionService::step(const QString& name) const
{
    if (stepHook_)
        stepHook_(name);
}

QCoro::Task<QUrl> VideoConversionService::convertToMOV(QUrl videoUrl, qint64 key)
{
    const AsyncFifoLock::Guard turn = co_await turns_.lock();
    try {
        co_await convert(videoUrl, key);
    } catch (const std::exception& error) {
        logFailure(QStringLiteral("Conversion of ") + QString::number(key), error);
        throw;
    }
    co_return QUrl::fromLocalFile(convertedMoviePath(key));
}

QCoro::Task<> VideoConversionService::copyThumbnailToAerials(QUrl thumbnailUrl)
{
    const AsyncFifoLock::Guard turn = co_await turns_.lock();
    try {
        const std::unique_ptr<StagedFile> thumbnail = co_await stageThumbnail(thumbnailUrl);
        commit(nullptr, thumbnail.get());
    } catch (const std::exception& error) {
        logFailure(QStringLiteral("Thumbnail install"), error);
        throw;
    }
}

QCoro::Task<> VideoConversionService::copyMOVToAerials(qint64 key)
{
    const AsyncFifoLock::Guard turn = co_await turns_.lock();
    try {
        const std::unique_ptr<StagedFile> movie = co_await stageMovie(key);
        commit(movie.get(), nullptr);
    } catch (const std::exception& error) {
        logFailure(QStringLiteral("Movie install"), error);
        throw;
    }
}

QCoro::Task<> VideoConversionService::copyToAerials(qint64 key, std::optional<QUrl> thumbnailUrl, ProgressHandler progress)
{
    const AsyncFifoLock::Guard turn = co_await turns_.lock();
    try {
        co_await installFiles(key, thumbnailUrl, progress);
    } catch (const std::exception& error) {
        logFailure(QStringLiteral("Lock-screen install of ") + QString::number(key), error);
        throw;
    }
}

QCoro::Task<> VideoConversionService::installFiles(qint64 key, std::optional<QUrl> thumbnailUrl, ProgressHandler progress)
{
    std::unique_ptr<StagedFile> thumbnail;
    if (thumbnailUrl) {
        report(progress, 0.35);
        thumbnail = co_await stageThumbnail(*thumbnailUrl);
    }
    report(progress, 0.5);
    report(progress, 0.6);
    const std::unique_ptr<StagedFile> movie = co_await stageMovie(key);
    commit(movie.get(), thumbnail.get());
}

void VideoConversionService::removeConvertedVideo(qint64 key)
{
    const QString path = convertedMoviePath(key);
    if (!QFileInfo::exists(path))
        return;
    QFile::remove(path);
    step(QStringLiteral("converted movie removed"));
    logLine(QStringLiteral("🗑️"), kType, QStringLiteral("Removed ") + QString::number(key) + QStringLiteral(".mov"));
}

QCoro::Task<> VideoConversionService::installLockScreenWallpaper(QUrl videoUrl, qint64 key,
    std::optional<QUrl> thumbnailUrl, ProgressHandler progress)
{
    const AsyncFifoLock::Guard turn = co_await turns_.lock();
    try {
        if (!hasConvertedVideo(key)) {
            report(progress, 0.1);
            co_await convert(videoUrl, key);
        }
        report(progress, 0.25);
        co_await installFiles(key, thumbnailUrl, progress);
    } catch (const std::exception& error) {
        logFailure(QStringLiteral("Lock-screen install of ") + QString::number(key), error);
        throw;
    }
    report(progress, 0.75);
    report(progress, 0.85);
    try {
        co_await WallpaperAerialsExtensionService::shared().restartExtension();
    } catch (const std::exception&) {
        // The files are in place; the extension picks them up when it next starts.
    }
    report(progress, 0.9);
    report(progress, 0.95);
    removeConvertedVideo(key);
    report(progress, 1.0);
}

QCoro::Task<> VideoConversionService::convert(QUrl videoUrl, qint64 key)
{
    const QString input = videoUrl.isLocalFile() ? videoUrl.toLocalFile() : videoUrl.toString();
    const QString output = convertedMoviePath(key);
    logLine(QStringLiteral("🔄"), kType,
        QStringLiteral("Starting conversion: ") + QFileInfo(input).fileName() + QStringLiteral(" -> ") + QString::number(key)
            + QStringLiteral(".mov"));
    // A folder that cannot be made shows as the export's write failure.
    QDir().mkpath(conversionsFolder());

    // Written as "<key>.mov.part" and renamed once complete: a half-written movie never counts
    // as converted, and an earlier movie for the key stays until the new one is whole.
    StagedFile movie(output);
    std::optional<ConversionError> failure;
    try {
        co_await MediaTools::shared().exportMovieAsync(input, movie.stagingPath());
    } catch (const MediaError& error) {
        if (error.kind() == MediaError::Kind::noVideoTrack)
            failure.emplace(Kind::noVideoTracks);
        else
            failure.emplace(Kind::exportFailed, error.localizedDescription());
    }
    if (failure)
        throw *failure;
    step(QStringLiteral("movie staged"));
    movie.commit();
    step(QStringLiteral("movie converted"));
    logLine(QStringLiteral("✅"), kType, QStringLiteral("Conversion complete: ") + output);
}

QCoro::Task<std::unique_ptr<StagedFile>> VideoConversionService::stageThumbnail(QUrl thumbnailUrl)
{
    folders_.seedIfNew();
    makeFolder(folders_.thumbnailsFolder());
    const HttpResponse response = co_await Http::shared().send(QNetworkRequest(thumbnailUrl));
    // An error page is no picture, whatever its body.
    if (!response.isSuccess())
        throw ConversionError(Kind::exportFailed, QStringLiteral("Failed to load WebP image"));

    auto thumbnail = std::make_unique<StagedFile>(folders_.installedThumbnailPath());
    std::optional<MediaError> failure;
    try {
        co_await MediaTools::shared().convertImageDataToPngAsync(response.body, thumbnail->stagingPath());
    } catch (const MediaError& error) {
        failure = error;
    }
    if (failure && failure->kind() == MediaError::Kind::notAnImage)
        throw ConversionError(Kind::exportFailed, QStringLiteral("Failed to load WebP image"));
    if (failure)
        throw FileError(thumbnail->stagingPath(), failure->localizedDescription());
    step(QStringLiteral("thumbnail staged"));
    co_return thumbnail;
}

QCoro::Task<std::unique_ptr<StagedFile>> VideoConversionService::stageMovie(qint64 key)
{
    const QString source = convertedMoviePath(key);
    if (!QFileInfo::exists(source))
        throw ConversionError(Kind::exportFailed, QStringLiteral("MOV file not found for key: ") + QString::number(key));
    folders_.seedIfNew();
    makeFolder(folders_.videosFolder());

    auto movie = std::make_unique<StagedFile>(folders_.installedMoviePath());
    QFuture<std::exception_ptr> copying = QtConcurrent::run([staged = movie.get(), source]() -> std::exception_ptr {
        try {
            staged->copyFrom(source);
            staged->sync();
        } catch (...) {
            return std::current_exception();
        }
        return nullptr;
    });
    if (const std::exception_ptr failure = co_await copying)
        std::rethrow_exception(failure);
    step(QStringLiteral("movie install staged"));
    co_return movie;
}

// The installed thumbnail and movie change together: a failure between the two puts the first
// one back.
void VideoConversionService::commit(StagedFile* movie, StagedFile* thumbnail)
{
    StagedFile::commitTogether({thumbnail, movie}, [this, movie](const StagedFile& file) {
        step(&file == movie ? QStringLiteral("movie installed") : QStringLiteral("thumbnail installed"));
    });
    if (thumbnail) {
        logLine(QStringLiteral("✅"), kType,
            QStringLiteral("Downloaded, converted, and copied thumbnail (WebP→PNG) to Apple wallpaper thumbnails directory: ")
                + thumbnail->destination());
    }
    if (movie) {
        logLine(QStringLiteral("✅"), kType,
            QStringLiteral("Copied MOV file to Apple wallpaper videos directory: ") + movie->destination());
    }
}
