#include "library/CommunityUploadService.h"

#include "backend/APIService.h"
#include "backend/WallpaperFileUpload.h"
#include "foundation/AppError.h"
#include "foundation/Async.h"
#include "foundation/Log.h"
#include "foundation/Shared.h"
#include "foundation/Text.h"
#include "library/CustomWallpapersService.h"
#include "library/OwnVideoImport.h"
#include "library/PendingUploadService.h"
#include "library/SignedUploadURLService.h"
#include "library/UploadDeviceIdentifier.h"
#include "platform/Http.h"
#include "platform/MediaTools.h"
#include "state/NotificationManager.h"

#include <QPointer>
#include <QRegularExpression>

#include <memory>

namespace {
const QString kType = QStringLiteral("FullScreenView");
void log(const QString& emoji, const QString& message) { logLine(emoji, kType, message); }

// The bar runs from 0.5 to 0.8 while the file goes out.
constexpr double kTransferStart = 0.5;
constexpr double kTransferSpan = 0.3;
} // namespace

CommunityUploadService::Services CommunityUploadService::Services::shared()
{
    return Services{SignedUploadURLService::shared(), PendingUploadService::shared(), APIService::shared(), Http::shared(),
        NotificationManager::shared(), CustomWallpapersService::shared(), MediaTools::shared(),
        [] { return UploadDeviceIdentifier::value(); }};
}

CommunityUploadService::CommunityUploadService(QObject* parent) : CommunityUploadService(Services::shared(), parent) {}

CommunityUploadService::CommunityUploadService(Services services, QObject* parent)
    : QObject(parent), services_(std::move(services))
{
}

CommunityUploadService& CommunityUploadService::shared() { return Shared<CommunityUploadService>::instance(); }

std::optional<qint64> CommunityUploadService::parseWallpaperKey(const QString& text)
{
    static const QRegularExpression kDecimal(QStringLiteral("\\A[+-]?[0-9]+\\z"));
    if (!kDecimal.match(text).hasMatch())
        return std::nullopt;
    bool ok = false;
    const qint64 key = text.toLongLong(&ok);
    return ok ? std::optional(key) : std::nullopt;
}

std::optional<int> CommunityUploadService::submit(const QString& title, const CategoryItem& category)
{
    const std::optional<QString> file = services_.pending.pendingFilePath();
    const QString trimmedTitle = Text::trimmed(title);
    if (!file || trimmedTitle.isEmpty())
        return std::nullopt;
    const int submission = ++lastSubmission_;
    const NotificationManager::Ticket toast = services_.toast.show(QString(), tr("Preparing upload..."), QImage(), 0, true);
    // An upload runs for minutes: shown over by another toast, its own comes back.
    services_.toast.takeTurns(toast);
    // On the next turn, so the caller knows the submission's number before its first step.
    launch([self = QPointer<CommunityUploadService>(this), submission, toast, file = *file, trimmedTitle, category]() -> QCoro::Task<> {
        if (self)
            return self->run(submission, toast, file, trimmedTitle, category);
        return []() -> QCoro::Task<> { co_return; }();
    }, QStringLiteral("CommunityUploadService"));
    return submission;
}

void CommunityUploadService::step(int submission, NotificationManager::Ticket toast, const QString& message, double progress)
{
    services_.toast.updateMessage(toast, message);
    services_.toast.updateProgress(toast, progress);
    Q_EMIT submissionProgress(submission, message, progress);
}

QCoro::Task<> CommunityUploadService::run(int submission, NotificationManager::Ticket toast, QString filePath, QString title, CategoryItem category)
{
    QPointer<CommunityUploadService> self(this);
    Q_EMIT submissionProgress(submission, tr("Preparing upload..."), 0);
    // Progress that arrives once the transfer is over is dropped, and the bar never goes back.
    struct Transfer {
        bool finished = false;
        double shown = kTransferStart;
    };
    const auto transfer = std::make_shared<Transfer>();
    QString failure;
    try {
        const QString device = services_.deviceUUID();
        log(QStringLiteral("📱"), QStringLiteral("Device UUID: ") + device);
        step(submission, toast, tr("Requesting upload URL..."), 0.1);
        log(QStringLiteral("📄"), QStringLiteral("Form submitted, requesting signed upload URL..."));
        const SignedUploadURLService::SignedUpload target = co_await services_.signedURLs.forceRefresh();
        log(QStringLiteral("✅"), QStringLiteral("Signed upload URL ready - wallpaper_key: ") + target.wallpaperKey);
        // A key that cannot name the local copy fails the upload before anything is sent.
        const std::optional<qint64> key = parseWallpaperKey(target.wallpaperKey);
        if (!key)
            throw MessageError(QStringLiteral("Invalid wallpaper key format"));

        step(submission, toast, tr("Uploading metadata..."), 0.3);
        log(QStringLiteral("📤"), QStringLiteral("Calling upload-wallpaper endpoint..."));
        co_await services_.api.uploadWallpaper(device, title, category.id, target.wallpaperKey);
        log(QStringLiteral("✅"), QStringLiteral("Wallpaper metadata uploaded successfully"));

        step(submission, toast, tr("Uploading file..."), kTransferStart);
        log(QStringLiteral("📤"), QStringLiteral("Uploading file to signed URL..."));
        const HttpProgress progress = [transfer, self, submission, toast](qint64 done, qint64 total) {
            if (transfer->finished || total <= 0)
                return;
            const double shown = kTransferStart + kTransferSpan * std::clamp(double(done) / double(total), 0.0, 1.0);
            // A thousandth of the bar is the finest step anyone sees; finer ones only cost.
            if (shown < transfer->shown + 0.001 && shown < kTransferStart + kTransferSpan)
                return;
            transfer->shown = shown;
            if (self)
                self->step(submission, toast, tr("Uploading file..."), shown);
        };
        try {
            co_await WallpaperFileUpload::send(target.uploadUrl, target.wallpaperKey, filePath, progress, {}, services_.http);
        } catch (const std::exception& error) {
            transfer->finished = true;
            log(QStringLiteral("❌"), QStringLiteral("Failed to upload file: ") + describeError(error));
            throw;
        }
        transfer->finished = true;
        log(QStringLiteral("✅"), QStringLiteral("File uploaded successfully"));

        step(submission, toast, tr("Processing wallpaper..."), kTransferStart + kTransferSpan);
        OwnVideoImport keeper(services_.ownWallpapers, services_.media);
        co_await keeper.keepUploadedCopy(filePath, *key, title, category.categoryName);
    } catch (const std::exception& error) {
        failure = describeError(error);
    }
    if (!self)
        co_return;
    if (!failure.isEmpty()) {
        log(QStringLiteral("❌"), QStringLiteral("Failed to submit form: ") + failure);
        step(submission, toast, tr("Upload failed"), 0.0);
        services_.toast.hide(toast, 3.0);
        Q_EMIT submissionFinished(submission, false, failure);
        co_return;
    }
    step(submission, toast, tr("Upload successful!"), 1.0);
    services_.toast.hide(toast, 2.0);
    if (services_.pending.pendingFilePath() == filePath)
        services_.pending.setPendingFilePath(std::nullopt);
    Q_EMIT submissionFinished(submission, true, QString());
}
