#include "menubar/MenuApplyPipeline.h"

#include "engine/HomeScreenWallpaperEngine.h"
#include "engine/LocalVideoResolver.h"
#include "engine/LockScreenService.h"
#include "engine/StaticWallpaperService.h"
#include "engine/VideoConversionService.h"
#include "engine/WallpaperAerialsExtensionService.h"
#include "engine/WallpaperApplyService.h"
#include "foundation/AppError.h"
#include "foundation/Log.h"
#include "library/RecentsWallpapersService.h"
#include "menubar/MenuBarManager.h"
#include "state/NotificationManager.h"

#include <QCoreApplication>

#include <algorithm>

namespace {
const QString kType = QStringLiteral("MenuBarManager");
const char* const kApplying = QT_TRANSLATE_NOOP("MenuBarManager", "Applying wallpaper");
const char* const kDownloading = QT_TRANSLATE_NOOP("MenuBarManager", "Downloading wallpaper");
constexpr int kLockScreenPauseMs = 500;
constexpr double kNoticeSeconds = 4;
constexpr double kFailureSeconds = 3;
} // namespace

void MenuApplyPipeline::logApplied(qint64 key)
{
    logLine(QStringLiteral("✅ Wallpaper ") + QString::number(key) + QStringLiteral(" applied from menu"));
}

QCoro::Task<> MenuApplyPipeline::run(Request request, MenuPipelineRun run)
{
    QUrl file;
    try {
        // Checked before anything on screen is touched: a broken file never replaces the wallpaper.
        file = co_await localVideoFile(request, run);
        if (run.isOvertakenEverywhere()) {
            run.logOvertaken(request.key);
            co_return;
        }
        // Displays chosen for since the click keep their newer choice.
        HomeScreenWallpaperEngine::shared().land(file, request.key, run.claim());
    } catch (const std::exception& error) {
        logLine(QStringLiteral("❌ Failed to apply wallpaper from menu: ") + describeError(error));
        run.updateMessage(QCoreApplication::translate("MenuBarManager", "Failed to apply wallpaper"));
        run.updateProgress(0);
        run.hideToast(kFailureSeconds);
        run.reportFailure(QCoreApplication::translate("MenuBarManager", "Failed to apply wallpaper"), error);
        co_return;
    }
    if (MenuBarManager* manager = run.manager()) {
        manager->updateThumbnail();
        manager->updateWallpaperStatus(true);
    }
    RecentsWallpapersService::shared().addWallpaper(request.wallpaper);

    // The still picture and the lock screen are shared by every display: a newer choice for one
    // of them sets them.
    const bool ownsEveryDisplay = run.ownsEveryDisplay();
    // Read once: a switch flipped halfway through takes effect at the next run.
    const bool lockScreenOn = LockScreenService::shared().isEnabled();
    // Without a live wallpaper the still picture is all the desktop shows, lock screen or not.
    const bool stillOnly = !HomeScreenWallpaperEngine::shared().drawsLiveWallpaper();
    if (ownsEveryDisplay && (!lockScreenOn || stillOnly)) {
        std::optional<QString> failure;
        try {
            co_await StaticWallpaperService::shared().setStaticWallpaper(file);
        } catch (const std::exception& error) {
            failure = describeError(error);
        }
        if (failure)
            logLine(QStringLiteral("Failed to set static wallpaper: ") + *failure);
        else if (MenuBarManager* manager = run.manager(); manager && !run.isOvertaken())
            manager->updateThumbnail();
    }
    run.updateMessage(QCoreApplication::translate("MenuBarManager", "Wallpaper applied"));
    const std::optional<QString> told = run.tellLimits();
    run.updateProgress(1.0);
    if (!ownsEveryDisplay || !lockScreenOn) {
        run.hideToast(told ? kNoticeSeconds : 2);
        logApplied(request.key);
        co_return;
    }
    if (told && run.manager()) {
        // Read before the lock screen's steps replace it.
        const std::stop_token neverStopped;
        co_await run.manager()->delays().sleep(int(std::max(kNoticeSeconds, NotificationManager::readingSeconds(*told)) * 1000), neverStopped);
    }
    co_await installLockScreen(request, file, run);
}

QCoro::Task<QUrl> MenuApplyPipeline::localVideoFile(Request request, MenuPipelineRun run)
{
    const LocalVideoResolver::Source source{.key = request.key, .address = request.masterUrl, .isCustom = request.isCustom};
    // Opened before the file is looked for: an own video that is gone fails there, and the
    // failure is told in this run's toast, not in an earlier run's.
    run.openToast(QCoreApplication::translate("MenuBarManager", kApplying), 0);
    const LocalVideoResolver::Report report{
        .checking = [run] { run.updateProgress(0.5); },
        .downloading = [run] {
            run.updateMessage(QCoreApplication::translate("MenuBarManager", kDownloading));
            run.updateProgress(0);
        },
        .progress = [run](double fraction) {
            run.updateMessage(QCoreApplication::translate("MenuBarManager", kDownloading));
            run.updateProgress(fraction * 0.9);
        },
        .downloaded = [run] {
            run.updateMessage(QCoreApplication::translate("MenuBarManager", kApplying));
            run.updateProgress(0.95);
        },
    };
    const QUrl file = co_await LocalVideoResolver::resolve(source, report);
    co_return file;
}

QCoro::Task<> MenuApplyPipeline::installLockScreen(Request request, QUrl file, MenuPipelineRun run)
{
    const qint64 key = request.key;
    const QString keyText = QString::number(key);
    if (MenuBarManager* manager = run.manager()) {
        const std::stop_token neverStopped;
        co_await manager->delays().sleep(kLockScreenPauseMs, neverStopped);
    }
    // A newer choice owns the lock screen now: installing this one after it would undo it.
    if (run.isOvertaken() || !run.ownsEveryDisplay()) {
        run.logOvertaken(key);
        co_return;
    }
    run.openToast(QCoreApplication::translate("MenuBarManager", "Applying Lock Screen"), 0);
    VideoConversionService& conversion = VideoConversionService::shared();
    std::optional<QString> failure;
    try {
        if (conversion.hasConvertedVideo(key)) {
            run.updateProgress(0.25);
            logLine(QStringLiteral("✅ MOV file already exists for key ") + keyText + QStringLiteral(", skipping conversion"));
        } else {
            run.updateProgress(0.1);
            logLine(QStringLiteral("🔄"), kType, QStringLiteral("Converting MP4 to MOV for key ") + keyText + QStringLiteral("..."));
            co_await conversion.convertToMOV(file, key);
            run.updateProgress(0.25);
            logLine(QStringLiteral("✅ Converted master.mp4 to ") + keyText + QStringLiteral(".mov (stored in Caches, ready for lock screen)"));
            // A choice made while the movie was written owns the lock screen; its movie stays
            // in Caches for the next apply of this key.
            if (run.isOvertaken() || !run.ownsEveryDisplay()) {
                run.logOvertaken(key);
                co_return;
            }
        }
        // An own wallpaper's image is its video: there is no picture to install.
        const bool withThumbnail = request.wallpaper.imageUrl && !request.isCustom;
        const std::optional<QUrl> thumbnail = withThumbnail ? request.wallpaper.imageUrl : std::nullopt;
        // The movie and the thumbnail change together.
        const VideoConversionService::ProgressHandler report = [run](double fraction) { run.updateProgress(fraction); };
        co_await conversion.copyToAerials(key, thumbnail, report);
        run.updateProgress(0.75);
        if (withThumbnail)
            logLine(QStringLiteral("✅ Copied thumbnail to Apple wallpaper thumbnails directory"));
        logLine(QStringLiteral("✅ Copied MOV file to Apple wallpaper videos directory"));
    } catch (const std::exception& error) {
        failure = describeError(error);
    }
    if (failure) {
        run.updateMessage(WallpaperApplyService::lockScreenFailedMessage(*failure));
        run.updateProgress(0);
        run.hideToast(kFailureSeconds);
        logLine(QStringLiteral("⚠️ Failed to process lock screen wallpaper: ") + *failure);
        logApplied(key);
        co_return;
    }

    run.updateProgress(0.85);
    try {
        co_await WallpaperAerialsExtensionService::shared().restartExtension();
    } catch (const std::exception&) {
        // The files are in place; the extension reads them when it next starts.
    }
    run.updateProgress(0.9);
    logLine(QStringLiteral("✅ Restarted WallpaperAerialsExtension"));
    run.updateProgress(0.95);
    conversion.removeConvertedVideo(key);
    run.updateMessage(WallpaperApplyService::lockScreenSetMessage());
    run.updateProgress(1.0);
    logLine(QStringLiteral("✅ Deleted MOV file from Caches after successful lock screen application"));
    run.hideToast(2);
    logApplied(key);
}
