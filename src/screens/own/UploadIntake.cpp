#include "screens/own/UploadIntake.h"

#include "foundation/AppError.h"
#include "foundation/Log.h"
#include "library/OwnVideoFacts.h"
#include "platform/MediaError.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QUrl>

namespace {
constexpr double kMaxMegabytes = 200.0;
constexpr double kMaxSeconds = 60.0;
const QSize kMinimumSize(3840, 2160);
} // namespace

QStringList UploadIntake::validate(const OwnVideoFacts& facts)
{
    QStringList messages;
    const auto size = facts.naturalSize;
    if (!size || size->width() < kMinimumSize.width() || size->height() < kMinimumSize.height()) {
        messages.append(QCoreApplication::translate("UploadIntake", "Resolution must be at least 3840×2160 (4K) (current: %1)")
                            .arg(facts.resolutionText().value_or(QCoreApplication::translate("UploadIntake", "unknown"))));
    }
    if (facts.megabytes() >= kMaxMegabytes)
        messages.append(QCoreApplication::translate("UploadIntake", "File size must be less than 200 MB (current: %1 MB)")
                            .arg(facts.megabytes(), 0, 'f', 1));
    if (facts.durationSeconds >= kMaxSeconds) {
        messages.append(QCoreApplication::translate("UploadIntake", "Duration must be less than 60 seconds (current: %1)")
                            .arg(facts.durationText().value_or(QCoreApplication::translate("UploadIntake", "unknown"))));
    }
    return messages;
}

QString UploadIntake::failureText(const std::exception& error)
{
    if (const auto* media = dynamic_cast<const MediaError*>(&error)) {
        switch (media->kind()) {
        case MediaErrorKind::unreadable:
        case MediaErrorKind::noVideoTrack:
        case MediaErrorKind::decodeFailed:
            return QCoreApplication::translate("UploadIntake", "This file is not a video Quorvelle can play.");
        default:
            break;
        }
    }
    return QCoreApplication::translate("UploadIntake", "Failed to process wallpaper: ") + describeError(error);
}

QCoro::Task<Result<WallpaperModel, QString>> UploadIntake::examine(QString path, const MediaTools& media)
{
    QString problem;
    QString told;
    try {
        const OwnVideoFacts facts = co_await OwnVideoFacts::read(path, media);
        if (!facts.isMpeg4)
            throw MessageError(*facts.refusal());
        if (!facts.durationText())
            throw MessageError(QCoreApplication::translate("UploadIntake", "The video does not state a usable duration."));
        if (const QStringList messages = validate(facts); !messages.isEmpty())
            co_return Result<WallpaperModel, QString>::failure(messages.join(QStringLiteral("\n\n")));
        const QString title = OwnVideoFacts::wallpaperTitle(QFileInfo(path).fileName());
        co_return Result<WallpaperModel, QString>::success(
            facts.record(QUrl::fromLocalFile(path), std::nullopt, title, QStringLiteral("Custom")));
    } catch (const std::exception& error) {
        problem = describeError(error);
        told = failureText(error);
    }
    logLine(QStringLiteral("❌"), QStringLiteral("CustomView"), QStringLiteral("Failed to create temporary wallpaper: ") + problem);
    co_return Result<WallpaperModel, QString>::failure(told);
}
