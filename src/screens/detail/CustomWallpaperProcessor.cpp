#include "screens/detail/CustomWallpaperProcessor.h"

#include "foundation/AppError.h"
#include "foundation/Log.h"
#include "library/CustomWallpapersService.h"
#include "platform/MediaTools.h"
#include "screens/detail/FullScreenViewError.h"

#include <QCoro/QCoroFuture>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtConcurrent>

#include <cmath>
#include <exception>

namespace {
const QString kType = QStringLiteral("FullScreenView");
constexpr int kCopyFailed = 2;

// Copies off the GUI thread; an empty text when it worked, else why not.
QString copyFile(const QString& from, const QString& to)
{
    QFile source(from);
    if (!source.copy(to))
        return source.errorString();
    return {};
}
} // namespace

CustomWallpaperProcessor::CustomWallpaperProcessor()
    : CustomWallpaperProcessor(CustomWallpapersService::shared(), MediaTools::shared())
{
}

CustomWallpaperProcessor::CustomWallpaperProcessor(CustomWallpapersService& custom, const MediaTools& media)
    : custom_(custom), media_(media)
{
}

QString CustomWallpaperProcessor::fileSizeText(qint64 bytes)
{
    return QString::asprintf("%.0fMB", double(std::max<qint64>(bytes, 0)) / 1048576.0);
}

QString CustomWallpaperProcessor::durationText(double seconds)
{
    const int whole = std::isfinite(seconds) && seconds > 0 && seconds < 1e9 ? int(seconds) : 0;
    return QString::asprintf("%d:%02ds", whole / 60, whole % 60);
}

QCoro::Task<WallpaperModel> CustomWallpaperProcessor::process(QUrl fileUrl, QString title, QString category, qint64 key)
{
    QString destination;
    std::exception_ptr failure;
    WallpaperModel record;
    try {
        const QString folder = custom_.folderPath();
        if (!custom_.knowsFolder())
            throw FullScreenViewError::noApplicationSupport();
        if (!QDir().mkpath(folder))
            throw FullScreenViewError(kCopyFailed, QStringLiteral("Could not create ") + folder);
        const QString target = folder + u'/' + QString::number(key) + QStringLiteral(".mp4");
        // A failed removal shows up as a failed copy: the name is taken.
        QFile::remove(target);
        const QString copyError = co_await QtConcurrent::run(copyFile, fileUrl.toLocalFile(), target);
        if (!copyError.isEmpty())
            throw FullScreenViewError(kCopyFailed, copyError);
        destination = target;

        const MediaInfo info = co_await media_.probeAsync(target);
        record.id = QUuid::createUuid();
        record.key = key;
        record.title = title.trimmed();
        record.category = category;
        const QUrl file = QUrl::fromLocalFile(target);
        record.imageUrl = record.posterUrl = record.videoUrl = record.previewhdUrl = record.masterUrl = file;
        record.fileSize = fileSizeText(QFileInfo(target).size());
        record.duration = durationText(info.durationSeconds);
        const QSize size = info.naturalSize;
        if (info.hasVideoTrack && size.width() > 0 && size.height() > 0) {
            record.resolution = QString::number(size.width()) + QChar(0x00D7) + QString::number(size.height());
            record.is_4k = size == QSize(3840, 2160);
        }
        custom_.addCustomWallpaper(record);
        logLine(QStringLiteral("✅"), kType, QStringLiteral("Custom wallpaper processed and saved"));
    } catch (...) {
        failure = std::current_exception();
    }
    if (failure) {
        if (!destination.isEmpty())
            QFile::remove(destination);
        QString description = QStringLiteral("Unknown error");
        try {
            std::rethrow_exception(failure);
        } catch (const std::exception& error) {
            description = describeError(error);
        } catch (...) {
        }
        logLine(QStringLiteral("❌"), kType, QStringLiteral("Failed to process custom wallpaper: ") + description);
        std::rethrow_exception(failure);
    }
    co_return record;
}
