#include "library/OwnVideoImport.h"

#include "engine/StagedFile.h"
#include "foundation/AppError.h"
#include "foundation/AwaitWork.h"
#include "foundation/CancelledError.h"
#include "foundation/Log.h"
#include "foundation/Paths.h"
#include "library/CustomWallpapersService.h"
#include "library/ImportProgress.h"
#include "library/OwnVideoFacts.h"
#include "platform/FileError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QtConcurrent/QtConcurrentRun>

namespace {
constexpr qint64 kFirstKey = 1'000'000'000;
constexpr qint64 kKeyCount = 9'000'000'000;

QString fileName(qint64 key) { return QString::number(key) + QStringLiteral(".mp4"); }
} // namespace

OwnVideoImport::OwnVideoImport(CustomWallpapersService& store, const MediaTools& media) : store_(store), media_(media) {}

qint64 OwnVideoImport::drawKey(const std::function<bool(qint64)>& taken)
{
    for (int attempt = 0; attempt < 64; ++attempt) {
        const qint64 key = kFirstKey + QRandomGenerator::system()->bounded(kKeyCount);
        if (!taken(key))
            return key;
    }
    throw MessageError(QStringLiteral("No free key for the video was found."));
}

QString OwnVideoImport::folder() const { return store_.folderPath(); }

namespace {
// The copy on a worker: into a staging name, flushed and renamed once complete.
QCoro::Task<> copyOnWorker(QString sourcePath, QString destination, std::shared_ptr<ImportProgress> progress)
{
    return awaitWork(QtConcurrent::run([sourcePath, destination, progress] {
        if (!QFileInfo(sourcePath).isFile())
            throw FileError(sourcePath, QStringLiteral("The file does not exist or is not a file."));
        const QString folderPath = QFileInfo(destination).path();
        QString reason;
        if (!Paths::makePrivateFolder(folderPath, &reason))
            throw FileError(folderPath, QStringLiteral("The folder cannot be created: ") + reason);
        StagedFile staged(destination);
        StagedFile::CopyProgress onBlock;
        if (progress)
            onBlock = [&progress](qint64 copied, qint64 total) { return progress->report(copied, total); };
        staged.copyFrom(sourcePath, onBlock);
        // The user's own videos are nobody else's to read.
        Paths::makePrivateFile(staged.stagingPath());
        staged.commit();
    }));
}
} // namespace

QCoro::Task<OwnVideoImport::Copied> OwnVideoImport::copyIn(QString sourcePath, qint64 key, std::shared_ptr<ImportProgress> progress)
{
    if (!store_.knowsFolder())
        throw MessageError(QStringLiteral("Could not access Application Support directory"));
    Copied copied{QDir(folder()).filePath(fileName(key)), {}, {}};
    // Started first: the task runs up to its worker at once.
    QCoro::Task<OwnVideoFacts> reading = OwnVideoFacts::read(sourcePath, media_);
    std::exception_ptr copyFailure;
    try {
        co_await copyOnWorker(sourcePath, copied.path, std::move(progress));
    } catch (...) {
        copyFailure = std::current_exception();
    }
    // Awaited even after a failed copy, so no worker outlives the media tools it uses.
    try {
        copied.facts = co_await std::move(reading);
    } catch (...) {
        copied.factsFailure = std::current_exception();
    }
    if (copyFailure)
        std::rethrow_exception(copyFailure);
    co_return copied;
}

QCoro::Task<WallpaperModel> OwnVideoImport::importForPersonalUse(QString sourcePath, std::shared_ptr<ImportProgress> progress)
{
    const QString type = QStringLiteral("CustomView");
    try {
        const WallpapersByKey& listed = store_.customWallpapers();
        const QDir videos(folder());
        const qint64 key = drawKey([&](qint64 candidate) {
            return listed.contains(candidate) || QFileInfo::exists(videos.filePath(fileName(candidate)));
        });
        Copied copied = co_await copyIn(sourcePath, key, std::move(progress));
        // What FFmpeg cannot open as an MPEG-4 video would only be a blank card that never plays.
        try {
            if (copied.factsFailure)
                std::rethrow_exception(copied.factsFailure);
            if (const std::optional<QString> refusal = copied.facts.refusal())
                throw MessageError(*refusal);
        } catch (...) {
            QFile::remove(copied.path);
            throw;
        }
        const QString title = OwnVideoFacts::wallpaperTitle(QFileInfo(sourcePath).fileName());
        WallpaperModel record = copied.facts.record(QUrl::fromLocalFile(copied.path), key, title, QStringLiteral("Custom"));
        store_.addCustomWallpaper(record);
        logLine(QStringLiteral("✅"), type, QStringLiteral("Personal use wallpaper added: ") + title);
        co_return record;
    } catch (const CancelledError&) {
        logLine(QStringLiteral("⏹️"), type, QStringLiteral("Personal use wallpaper not added: the copy was stopped"));
        throw;
    } catch (const std::exception& error) {
        logLine(QStringLiteral("❌"), type, QStringLiteral("Failed to add personal use wallpaper: ") + describeError(error));
        throw;
    }
}

QCoro::Task<WallpaperModel> OwnVideoImport::keepUploadedCopy(QString sourcePath, qint64 key, QString title, QString category)
{
    const QString type = QStringLiteral("FullScreenView");
    QString copy;
    try {
        const Copied copied = co_await copyIn(sourcePath, key);
        copy = copied.path;
        if (copied.factsFailure)
            std::rethrow_exception(copied.factsFailure);
        if (!copied.facts.durationText())
            throw MessageError(QStringLiteral("The video does not state a usable duration."));
        WallpaperModel record = copied.facts.record(QUrl::fromLocalFile(copy), key, title, category);
        store_.addCustomWallpaper(record);
        logLine(QStringLiteral("✅"), type, QStringLiteral("Custom wallpaper processed and saved"));
        co_return record;
    } catch (const std::exception& error) {
        if (!copy.isEmpty())
            QFile::remove(copy);
        logLine(QStringLiteral("❌"), type, QStringLiteral("Failed to process custom wallpaper: ") + describeError(error));
        throw;
    }
}
