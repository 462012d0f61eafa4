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
#include <QFileInfo>
#include <QRandomGenerator>
#include <QtConcurrent/QtConcurrentRun>

#include <stop_token>

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
// The copy on a worker: into the staging name, private and flushed to disk, so that what remains
// on the GUI thread is a rename. Between blocks it stops for the user (`progress`) and for the
// application's end (`stop`).
QCoro::Task<> copyOnWorker(QString sourcePath, std::shared_ptr<StagedFile> staged,
    std::shared_ptr<ImportProgress> progress, std::stop_token stop)
{
    auto work = [sourcePath, staged, progress, stop] {
        if (!QFileInfo(sourcePath).isFile())
            throw FileError(sourcePath, QStringLiteral("The file does not exist or is not a file."));
        const QString folderPath = QFileInfo(staged->destination()).path();
        QString reason;
        if (!Paths::makePrivateFolder(folderPath, &reason))
            throw FileError(folderPath, QStringLiteral("The folder cannot be created: ") + reason);
        const StagedFile::CopyProgress onBlock = [&progress, &stop](qint64 copied, qint64 total) {
            const bool wanted = !progress || progress->report(copied, total);
            return wanted && !stop.stop_requested();
        };
        staged->copyFrom(sourcePath, onBlock);
        // The user's own videos are nobody else's to read.
        Paths::makePrivateFile(staged->stagingPath());
        staged->sync();
    };
    return awaitWork(QtConcurrent::run(work));
}
} // namespace

void OwnVideoImport::throwIfStopped(const ImportProgress* progress) const
{
    if ((progress && progress->isCancelled()) || store_.importsStopped())
        throw CancelledError();
}

void OwnVideoImport::keep(StagedFile& staged, const WallpaperModel& record, const ImportProgress* progress)
{
    // The Stop the user sees is honoured up to here: once the record is written it is withdrawn
    // in the same turn of the event loop.
    throwIfStopped(progress);
    staged.commit();
    store_.addCustomWallpaper(record);
}

QCoro::Task<OwnVideoFacts> OwnVideoImport::examine(QString sourcePath) const
{
    if (!store_.knowsFolder())
        throw MessageError(QStringLiteral("Could not access Application Support directory"));
    // Nothing new starts once the application ends.
    throwIfStopped(nullptr);
    QCoro::Task<OwnVideoFacts> reading = OwnVideoFacts::read(sourcePath, media_);
    co_return co_await std::move(reading);
}

QCoro::Task<std::shared_ptr<StagedFile>> OwnVideoImport::copyIn(QString sourcePath, qint64 key, std::shared_ptr<ImportProgress> progress)
{
    // The application may have ended while the source was read; the user's stop is seen by the
    // worker at its first block.
    throwIfStopped(nullptr);
    auto staged = std::make_shared<StagedFile>(QDir(folder()).filePath(fileName(key)));
    co_await copyOnWorker(sourcePath, staged, std::move(progress), store_.importsStopToken());
    co_return staged;
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
        // Checked where it lies, before a byte is copied: what FFmpeg cannot open as an MPEG-4
        // video would only be a blank card that never plays, and a large one costs the copy.
        const OwnVideoFacts facts = co_await examine(sourcePath);
        if (const std::optional<QString> refusal = facts.refusal())
            throw MessageError(*refusal);
        const std::shared_ptr<StagedFile> staged = co_await copyIn(sourcePath, key, progress);
        const QString title = OwnVideoFacts::wallpaperTitle(QFileInfo(sourcePath).fileName());
        const QUrl file = QUrl::fromLocalFile(staged->destination());
        WallpaperModel record = facts.record(file, key, title, QStringLiteral("Custom"));
        keep(*staged, record, progress.get());
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
    try {
        const OwnVideoFacts facts = co_await examine(sourcePath);
        if (!facts.durationText())
            throw MessageError(QStringLiteral("The video does not state a usable duration."));
        const std::shared_ptr<StagedFile> staged = co_await copyIn(sourcePath, key);
        const QUrl file = QUrl::fromLocalFile(staged->destination());
        WallpaperModel record = facts.record(file, key, title, category);
        keep(*staged, record, nullptr);
        logLine(QStringLiteral("✅"), type, QStringLiteral("Custom wallpaper processed and saved"));
        co_return record;
    } catch (const std::exception& error) {
        logLine(QStringLiteral("❌"), type, QStringLiteral("Failed to process custom wallpaper: ") + describeError(error));
        throw;
    }
}
