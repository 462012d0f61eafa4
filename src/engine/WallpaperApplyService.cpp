#include "engine/WallpaperApplyService.h"

#include "backend/WallpaperCounterService.h"
#include "engine/EngineError.h"
#include "engine/HomeScreenWallpaperEngine.h"
#include "engine/LocalVideoResolver.h"
#include "engine/LockScreenService.h"
#include "engine/MenuBarHook.h"
#include "engine/StaticWallpaperService.h"
#include "engine/VideoConversionService.h"
#include "engine/WallpaperApplyError.h"
#include "foundation/Async.h"
#include "foundation/Log.h"
#include "foundation/Shared.h"
#include "model/WallpaperAssets.h"
#include "state/NotificationManager.h"

#include <QPointer>

#include <algorithm>
#include <exception>

namespace {
using Stage = ApplyToast::Stage;

const QString kType = QStringLiteral("WallpaperApplyService");
constexpr double kNoticeSeconds = 4.0;
constexpr double kHideSeconds = 2.0;
constexpr double kFailureHideSeconds = 3.0;
constexpr int kLockScreenPauseMs = 500;
// The download fills the bar up to here; the steps after it take the rest.
constexpr double kDownloadShare = 0.9;
constexpr double kDownloadedProgress = 0.95;
constexpr double kFoundProgress = 0.5;

bool lockScreenEnabled() { return LockScreenService::shared().isEnabled(); }

// "host" or "host:port" of an address: the asset host as the rest of the application names it.
QString assetHost(const QUrl& url)
{
    return url.port() == -1 ? url.host() : url.host() + u':' + QString::number(url.port());
}

// The record the recents list gets: the caller's, or one made from the request when the video
// comes from an asset host; nothing for a local file without a record.
std::optional<WallpaperModel> recentsRecord(const WallpaperApplyRequest& request)
{
    if (request.wallpaper)
        return request.wallpaper;
    if (request.videoURL.host().isEmpty())
        return std::nullopt;
    WallpaperModel record;
    record.id = QUuid::createUuid();
    record.key = request.key;
    record.title = QStringLiteral("Wallpaper ") + QString::number(request.key);
    record.category = QStringLiteral("Wallpaper");
    if (const std::optional<QUrl> thumbnail = WallpaperAssets::url(assetHost(request.videoURL), request.key, WallpaperAssets::File::Thumbnail)) {
        record.imageUrl = thumbnail;
        record.posterUrl = thumbnail;
    }
    record.masterUrl = request.videoURL;
    return record;
}

// The lock-screen thumbnail: the record's image, for a catalogue wallpaper fetched from the asset
// host only; otherwise the installed thumbnail stays.
std::optional<QUrl> lockScreenThumbnail(const WallpaperApplyRequest& request)
{
    if (request.isCustom || request.videoURL.isLocalFile() || !request.wallpaper || !request.wallpaper->imageUrl
        || request.wallpaper->imageUrl->isLocalFile())
        return std::nullopt;
    return request.wallpaper->imageUrl;
}
} // namespace

WallpaperApplyService::WallpaperApplyService(QObject* parent)
    : WallpaperApplyService(NotificationManager::shared(), Delays::real(), parent)
{
}

WallpaperApplyService::WallpaperApplyService(NotificationManager& notificationManager, Delays delays, QObject* parent)
    : QObject(parent), notificationManager_(notificationManager), delays_(std::move(delays)),
      toastOwner_(std::make_shared<ApplyToast::Holder>())
{
}

WallpaperApplyService::~WallpaperApplyService() = default;

WallpaperApplyService& WallpaperApplyService::shared() { return Shared<WallpaperApplyService>::instance(); }

QCoro::Task<> WallpaperApplyService::applyWallpaper(WallpaperApplyRequest request)
{
    // Cancelled before it began: it neither supersedes the apply that runs nor takes its toast.
    if (request.cancel.stop_requested())
        throw WallpaperApplyError::cancelled();
    if (!request.fromPlaylist)
        Q_EMIT manualApplyStarted();
    const quint64 ticket = ++lastTicket_;
    // Taken at the request: a choice made after it, from any surface, is newer on its displays.
    // Held weakly: a download that ends after the quit began finds the engine gone.
    const QPointer<HomeScreenWallpaperEngine> engine = &HomeScreenWallpaperEngine::shared();
    connect(engine, &HomeScreenWallpaperEngine::claimed, this, &WallpaperApplyService::withdrawReplacedToast, Qt::UniqueConnection);
    const DesktopClaim claim = request.lockScreenOnly ? DesktopClaim{} : engine->claim(request.screenIndices);
    const std::optional<WallpaperModel>& record = request.wallpaper;
    ApplyToast toast(notificationManager_, toastOwner_, ticket, record ? record->title : kDefaultTitle,
        record ? record->imageUrl : std::nullopt, request.onStage,
        request.lockScreenOnly ? std::nullopt : std::optional<DesktopClaim>(claim));

    if (request.lockScreenOnly && !lockScreenEnabled()) {
        toast.show(Stage::notice, lockScreenOffNotice(), 0, false);
        toast.hide(kNoticeSeconds);
        throw WallpaperApplyError::lockScreenOff();
    }

    // The caller reports a failure in a toast of its own, which supersedes this hide; a caller
    // that only logs (the rotation) must not leave the toast up for good. Either way the stage it
    // stopped at is no end to bring back.
    std::exception_ptr failure;
    // Why the apply failed, when not by the pipeline's own ending.
    std::optional<QString> reason;
    try {
        co_await runApply(request, claim, toast);
    } catch (const WallpaperApplyError&) {
        failure = std::current_exception();
    } catch (const std::exception& error) {
        failure = std::current_exception();
        reason = describeError(error);
    } catch (...) {
        failure = std::current_exception();
        reason = QStringLiteral("unknown error");
    }
    if (!failure)
        co_return;
    toast.fail(kFailureHideSeconds);
    // A newer choice, from any surface, took every display meanwhile (the test the tray's runs
    // use): a download that failed after it is no failure of the wallpaper on screen, and the
    // caller hears of the replacement it is.
    if (reason && !request.lockScreenOnly && engine && !engine->holdsAny(claim)) {
        logLine(QStringLiteral("ℹ️"), kType,
            QStringLiteral("Wallpaper ") + QString::number(request.key) + QStringLiteral(" was replaced before it failed: ") + *reason);
        throw WallpaperApplyError::cancelled();
    }
    std::rethrow_exception(failure);
}

QCoro::Task<> WallpaperApplyService::runApply(WallpaperApplyRequest request, DesktopClaim claim, ApplyToast toast)
{
    const QPointer<WallpaperApplyService> self(this);
    const QUrl file = co_await videoFile(request, toast);
    if (!self)
        co_return;

    if (request.lockScreenOnly) {
        recordApply(request);
        if (!lockScreenEnabled()) {
            toast.hide(kHideSeconds);
            co_return;
        }
        co_await delays_.sleep(kLockScreenPauseMs, {});
        if (self)
            co_await installLockScreen(request, file, toast);
        co_return;
    }

    const std::optional<QString> notice = co_await applyToDesktop(request, file, claim, toast);
    if (!self)
        co_return;
    // A newer choice for one of its displays also owns the lock screen now.
    if (!lockScreenEnabled() || request.skipLockScreenPipeline || !HomeScreenWallpaperEngine::shared().holdsAll(claim)) {
        toast.hide(notice ? kNoticeSeconds : kHideSeconds);
        co_return;
    }
    // A cut-short pause does not stop the install: the desktop half is already done. A notice
    // stays long enough to be read before the lock screen's steps replace it.
    const int pauseMs = notice ? int(std::max(kNoticeSeconds, NotificationManager::readingSeconds(*notice)) * 1000) : kLockScreenPauseMs;
    co_await delays_.sleep(pauseMs, {});
    if (self)
        co_await installLockScreen(request, file, toast);
}

QCoro::Task<QUrl> WallpaperApplyService::videoFile(WallpaperApplyRequest request, ApplyToast toast)
{
    const LocalVideoResolver::Source source{.key = request.key, .address = request.videoURL, .isCustom = request.isCustom,
        .statedSize = request.wallpaper ? request.wallpaper->fileSize : std::nullopt};
    // Shown before the file is looked for: an own video that is gone fails there, and its
    // failure needs a toast to end in.
    toast.show(Stage::applying, applyingMessage(), 0, true);
    const LocalVideoResolver::Report report{
        .checking = [toast]() mutable { toast.update(Stage::applying, applyingMessage(), kFoundProgress); },
        .downloading = [toast]() mutable { toast.update(Stage::downloading, downloadingMessage(), 0); },
        .progress = [toast](double fraction) mutable { toast.update(Stage::downloading, downloadingMessage(), fraction * kDownloadShare); },
        .downloaded = [toast]() mutable { toast.update(Stage::downloaded, applyingMessage(), kDownloadedProgress); },
    };
    const QUrl file = co_await LocalVideoResolver::resolve(source, report);
    co_return file;
}

QCoro::Task<std::optional<QString>> WallpaperApplyService::applyToDesktop(WallpaperApplyRequest request, QUrl file, DesktopClaim claim, ApplyToast toast)
{
    const QPointer<WallpaperApplyService> self(this);
    const AsyncFifoLock::Guard turn = co_await desktopTurns_.lock();
    if (!self)
        co_return std::nullopt;
    if (request.cancel.stop_requested())
        throw WallpaperApplyError::cancelled();
    // Only the displays nobody chose for since this request; none left ends it as replaced.
    HomeScreenWallpaperEngine& engine = HomeScreenWallpaperEngine::shared();
    if (engine.land(file, request.key, claim) == 0)
        throw WallpaperApplyError::cancelled();
    MenuBarHook::shared().updateThumbnail();
    recordApply(request);

    // Without a live wallpaper the still picture is all the desktop shows, lock screen or not.
    const bool stillOnly = !engine.drawsLiveWallpaper();
    // The still picture covers every display: a newer choice for one of them keeps its own.
    const bool setsStill = (!lockScreenEnabled() || stillOnly) && engine.holdsAll(claim);
    if (setsStill) {
        std::exception_ptr failure;
        QString reason;
        try {
            co_await StaticWallpaperService::shared().setStaticWallpaper(file);
        } catch (const std::exception& error) {
            failure = std::current_exception();
            reason = describeError(error);
        }
        if (!self)
            co_return std::nullopt;
        if (failure && stillOnly)
            std::rethrow_exception(failure);
        if (failure)
            logLine(QStringLiteral("Failed to set static wallpaper: ") + reason);
        else
            MenuBarHook::shared().updateThumbnail();
    }
    if (stillOnly && setsStill && engine.takeStillPictureNotice()) {
        logLine(QStringLiteral("ℹ️"), kType, stillPictureNotice());
        toast.update(Stage::applied, stillPictureNotice(), 1.0);
        co_return stillPictureNotice();
    }
    if (const std::optional<QString> covered = engine.coveredNotice()) {
        logLine(QStringLiteral("⚠️"), kType, *covered);
        toast.update(Stage::applied, *covered, 1.0);
        co_return covered;
    }
    toast.update(Stage::applied, appliedMessage(), 1.0);
    co_return std::nullopt;
}

QCoro::Task<> WallpaperApplyService::installLockScreen(WallpaperApplyRequest request, QUrl file, ApplyToast toast)
{
    toast.show(Stage::lockScreen, settingLockScreenMessage(), 0, true);
    const std::optional<QUrl> thumbnail = lockScreenThumbnail(request);
    const VideoConversionService::ProgressHandler report = [toast](double progress) mutable {
        toast.updateProgress(Stage::lockScreen, progress);
    };
    std::optional<QString> failure;
    try {
        co_await VideoConversionService::shared().installLockScreenWallpaper(file, request.key, thumbnail, report);
    } catch (const std::exception& error) {
        failure = describeError(error);
    }
    if (failure) {
        toast.update(Stage::lockScreen, lockScreenFailedMessage(*failure), 0);
        toast.hide(kFailureHideSeconds);
        logLine(QStringLiteral("⚠️ Failed to process lock screen wallpaper: ") + *failure);
        co_return;
    }
    toast.update(Stage::lockScreenSet, lockScreenSetMessage(), 1.0);
    toast.hide(kHideSeconds);
}

void WallpaperApplyService::recordApply(const WallpaperApplyRequest& request)
{
    if (!request.isCustom) {
        const qint64 key = request.key;
        launch([key] { return WallpaperCounterService::shared().incrementDownloads(key); }, kType);
    }
    if (const std::optional<WallpaperModel> record = recentsRecord(request))
        Q_EMIT wallpaperApplied(*record);
}

void WallpaperApplyService::withdrawReplacedToast()
{
    const std::optional<DesktopClaim>& claim = toastOwner_->claim;
    if (!claim || HomeScreenWallpaperEngine::shared().holdsAny(*claim))
        return;
    toastOwner_->claim.reset();
    notificationManager_.withdraw(toastOwner_->toast);
}
