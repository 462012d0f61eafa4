#include "menubar/MenuReapplyPipeline.h"

#include "engine/HomeScreenWallpaperEngine.h"
#include "engine/LocalVideoResolver.h"
#include "engine/LockScreenService.h"
#include "engine/StaticWallpaperService.h"
#include "engine/WallpaperAerialsExtensionService.h"
#include "foundation/AppError.h"
#include "foundation/Log.h"
#include "library/CustomWallpapersService.h"
#include "menubar/MenuBarManager.h"
#include "model/WallpaperModel.h"

#include <QCoreApplication>
#include <QUuid>

namespace {
const QString kType = QStringLiteral("MenuBarManager");

void log(const QString& emoji, const QString& message) { logLine(emoji, kType, message); }
} // namespace

WallpaperModel MenuReapplyPipeline::wallpaperFor(const Request& request)
{
    const WallpapersByKey& custom = CustomWallpapersService::shared().customWallpapers();
    if (const auto found = custom.constFind(request.key); found != custom.cend()) {
        log(QStringLiteral("✅"), QStringLiteral("Found custom wallpaper: ") + found->title);
        return *found;
    }
    log(QStringLiteral("ℹ️"), QStringLiteral("Not a custom wallpaper, constructing model from saved data"));
    WallpaperModel model;
    model.id = QUuid::createUuid();
    model.key = request.key;
    model.title = QStringLiteral("Wallpaper ") + QString::number(request.key);
    model.category = QStringLiteral("Unknown");
    model.masterUrl = request.masterUrl;
    return model;
}

QCoro::Task<> MenuReapplyPipeline::run(Request request, MenuPipelineRun run)
{
    run.openToast(QCoreApplication::translate("MenuBarManager", "Reapplying wallpaper"), 0);
    log(QStringLiteral("📢"), QStringLiteral("Step 1: Showing notification"));

    log(QStringLiteral("🔍"), QStringLiteral("Step 3: Getting wallpaper model for key=") + QString::number(request.key));
    const WallpaperModel wallpaper = wallpaperFor(request);
    log(QStringLiteral("✅"), QStringLiteral("Wallpaper model obtained: title=") + wallpaper.title + QStringLiteral(", category=") + wallpaper.category);
    run.updateProgress(0.2);

    const bool isCustom = wallpaper.category == QLatin1String("Custom");
    QUrl file;
    try {
        log(QStringLiteral("🔍"), QStringLiteral("Step 4: Getting local video file"));
        log(QStringLiteral("ℹ️"), QStringLiteral("Is custom wallpaper: ") + (isCustom ? QStringLiteral("true") : QStringLiteral("false")));
        file = co_await localVideoFile(request, isCustom, run);
        // Checked before anything on screen is touched: a failed re-apply keeps the wallpaper.
        log(QStringLiteral("✅"), QStringLiteral("Local video file ready: ") + file.toLocalFile());
    } catch (const std::exception& error) {
        fail(error, run);
        co_return;
    }
    if (run.isOvertakenEverywhere()) {
        run.logOvertaken(request.key);
        co_return;
    }

    HomeScreenWallpaperEngine& engine = HomeScreenWallpaperEngine::shared();
    // Landing replaces what plays on every display the run still owns; displays chosen for since
    // the click keep their newer choice.
    log(QStringLiteral("🛑"), QStringLiteral("Step 2: Stopping wallpaper engine"));
    log(QStringLiteral("✅"), QStringLiteral("Wallpaper engine stopped"));
    log(QStringLiteral("🔄"), QStringLiteral("Step 5: Restarting wallpaper engine for home screen"));
    run.updateMessage(QCoreApplication::translate("MenuBarManager", "Applying Home Screen"));
    run.updateProgress(0.6);
    try {
        engine.land(file, request.key, run.claim());
    } catch (const std::exception& error) {
        fail(error, run);
        co_return;
    }
    log(QStringLiteral("✅"), QStringLiteral("Home screen wallpaper engine started"));

    if (MenuBarManager* manager = run.manager()) {
        manager->updateThumbnail();
        manager->updateWallpaperStatus(true);
    }
    log(QStringLiteral("✅"), QStringLiteral("Menu bar state updated"));
    run.updateProgress(0.7);

    // Shared by every display: a newer choice for one of them sets them.
    if (run.ownsEveryDisplay())
        co_await renewStillOrLockScreen(file, run);

    run.updateMessage(QCoreApplication::translate("MenuBarManager", "Wallpaper reapplied"));
    run.hideToast(run.tellLimits() ? 4 : 2);
    log(QStringLiteral("✅"), QStringLiteral("Wallpaper ") + QString::number(request.key) + QStringLiteral(" reapplied successfully"));
}

QCoro::Task<QUrl> MenuReapplyPipeline::localVideoFile(Request request, bool isCustom, MenuPipelineRun run)
{
    // The saved address is the cached file itself once applied: with the cache cleared, the video
    // comes back from the catalogue by its key.
    const LocalVideoResolver::Source source{.key = request.key, .address = request.masterUrl, .isCustom = isCustom};
    const LocalVideoResolver::Report report{
        .checking = [run] { run.updateProgress(0.5); },
        .downloading = [run] {
            log(QStringLiteral("⬇️"), QStringLiteral("Wallpaper not cached, downloading"));
            run.updateMessage(QCoreApplication::translate("MenuBarManager", "Downloading wallpaper"));
            run.updateProgress(0.3);
        },
        .progress = [run](double fraction) {
            run.updateMessage(QCoreApplication::translate("MenuBarManager", "Downloading wallpaper"));
            run.updateProgress(fraction * 0.2 + 0.3);
        },
        .downloaded = [run] {
            log(QStringLiteral("✅"), QStringLiteral("Download complete"));
            run.updateProgress(0.5);
        },
    };
    const QUrl file = co_await LocalVideoResolver::resolve(source, report);
    co_return file;
}

QCoro::Task<> MenuReapplyPipeline::renewStillOrLockScreen(QUrl file, MenuPipelineRun run)
{
    // Read once: a switch flipped halfway through takes effect at the next run.
    const bool lockScreenOn = LockScreenService::shared().isEnabled();
    // Without a live wallpaper the still picture is all the desktop shows, lock screen or not.
    const bool stillOnly = !HomeScreenWallpaperEngine::shared().drawsLiveWallpaper();
    if (lockScreenOn && !stillOnly) {
        log(QStringLiteral("ℹ️"), QStringLiteral("Lock screen is enabled, skipping static wallpaper"));
    } else {
        co_await renewStill(file, run);
    }
    if (!lockScreenOn) {
        log(QStringLiteral("ℹ️"), QStringLiteral("Lock screen is disabled, skipping extension restart"));
        run.updateProgress(1.0);
        co_return;
    }
    log(QStringLiteral("🔄"), QStringLiteral("Step 7: Restarting lock screen extension"));
    run.updateMessage(QCoreApplication::translate("MenuBarManager", "Applying Lock Screen"));
    run.updateProgress(0.9);
    try {
        co_await WallpaperAerialsExtensionService::shared().restartExtension();
        log(QStringLiteral("✅"), QStringLiteral("Lock screen extension restarted successfully"));
    } catch (const std::exception& error) {
        log(QStringLiteral("⚠️"), QStringLiteral("Failed to restart lock screen extension: ") + describeError(error));
    }
    run.updateProgress(1.0);
}

QCoro::Task<> MenuReapplyPipeline::renewStill(QUrl file, MenuPipelineRun run)
{
    log(QStringLiteral("🔄"), QStringLiteral("Step 6: Setting static wallpaper (lock screen disabled)"));
    std::optional<QString> failure;
    try {
        co_await StaticWallpaperService::shared().setStaticWallpaper(file);
    } catch (const std::exception& error) {
        failure = describeError(error);
    }
    if (failure) {
        log(QStringLiteral("⚠️"), QStringLiteral("Failed to set static wallpaper: ") + *failure);
        co_return;
    }
    log(QStringLiteral("✅"), QStringLiteral("Static wallpaper set successfully"));
    if (MenuBarManager* manager = run.manager(); manager && !run.isOvertaken())
        manager->updateThumbnail();
    run.updateProgress(0.8);
}

void MenuReapplyPipeline::fail(const std::exception& error, const MenuPipelineRun& run)
{
    log(QStringLiteral("❌"), QStringLiteral("Failed to reapply wallpaper: ") + describeError(error));
    log(QStringLiteral("❌"), QStringLiteral("Error details: ") + MenuPipelineRun::errorDetails(error));
    run.updateMessage(QCoreApplication::translate("MenuBarManager", "Failed to reapply wallpaper"));
    run.updateProgress(0);
    run.hideToast(3);
    run.reportFailure(QCoreApplication::translate("MenuBarManager", "Failed to reapply wallpaper"), error);
}
