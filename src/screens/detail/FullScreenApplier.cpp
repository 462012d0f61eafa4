#include "screens/detail/FullScreenApplier.h"

#include "engine/DownloadError.h"
#include "engine/HomeScreenWallpaperEngine.h"
#include "engine/WallpaperApplyRequest.h"
#include "engine/WallpaperApplyError.h"
#include "engine/WallpaperApplyService.h"
#include "engine/WallpaperManager.h"
#include "engine/WallpaperPersistenceService.h"
#include "foundation/AppError.h"
#include "foundation/Async.h"
#include "foundation/Log.h"
#include "library/LikedWallpapersService.h"
#include "model/WallpaperAssets.h"
#include "platform/Screens.h"
#include "state/AppStore.h"
#include "state/NotificationManager.h"

#include <QCoreApplication>
#include <QPointer>

namespace {
const char* const kDisplayFailure = QT_TRANSLATE_NOOP("FullScreenApplier", "Failed to apply wallpaper");
const char* const kLockScreenFailure = QT_TRANSLATE_NOOP("FullScreenApplier", "Failed to apply lock screen wallpaper");
// Told after either, when the video found no room: the one cause the user can mend.
const char* const kNoRoom = QT_TRANSLATE_NOOP("FullScreenApplier", "the disk is full");
constexpr double kFailureToastSeconds = 3.0;

QString flag(bool value) { return value ? QStringLiteral("true") : QStringLiteral("false"); }

// The task body: the apply runs to its end in the service; the applier hears the outcome only
// while it still exists.
QCoro::Task<> runApply(WallpaperApplyRequest request, std::function<void(std::optional<FullScreenApplier::Failure>)> done)
{
    std::optional<FullScreenApplier::Failure> failure;
    try {
        co_await WallpaperApplyService::shared().applyWallpaper(std::move(request));
    } catch (const WallpaperApplyError& error) {
        const bool replaced = error.kind() == WallpaperApplyError::Kind::cancelled;
        failure = FullScreenApplier::Failure{describeError(error), false, replaced};
    } catch (const std::exception& error) {
        const auto* download = dynamic_cast<const DownloadError*>(&error);
        failure = FullScreenApplier::Failure{describeError(error), download && download->isOutOfSpace()};
    } catch (...) {
        failure = FullScreenApplier::Failure{QCoreApplication::translate("FullScreenApplier", "Unknown error")};
    }
    done(failure);
}
} // namespace

FullScreenApplier::FullScreenApplier(const WallpaperModel& wallpaper, Options options, QObject* parent)
    : QObject(parent), wallpaper_(wallpaper), options_(options)
{
}

std::optional<QUrl> FullScreenApplier::masterVideoUrl() const
{
    return WallpaperAssets::urlOr(wallpaper_.masterUrl, wallpaper_.key, AppStore::shared().baseUrl(), WallpaperAssets::File::Master);
}

void FullScreenApplier::refreshAppliedState()
{
    const bool applied = wallpaper_.key && HomeScreenWallpaperEngine::shared().isShowing(*wallpaper_.key);
    if (applied == isApplied_)
        return;
    isApplied_ = applied;
    Q_EMIT stateChanged();
}

void FullScreenApplier::applyFromFullScreen(std::optional<int> screenIndex, std::optional<WallpaperFullscreenApplyTarget> target)
{
    if (isApplied_) {
        removeAppliedWallpaper();
        return;
    }
    if (!screenIndex)
        return;
    applyToTarget(screenIndex, target.value_or(WallpaperFullscreenApplyTarget::desktop));
}

void FullScreenApplier::applyToTarget(std::optional<int> screenIndex, WallpaperFullscreenApplyTarget target)
{
    if (!wallpaper_.key) {
        logLine(QStringLiteral("Cannot apply wallpaper: missing key"));
        refuseIncomplete(Kind::display);
        return;
    }
    const std::optional<QUrl> master = masterVideoUrl();
    if (!master) {
        logLine(QStringLiteral("Cannot apply wallpaper: missing masterUrl"));
        refuseIncomplete(Kind::display);
        return;
    }
    const int screenCount = int(Screens::shared().screens().size());
    WallpaperApplyRequest request{.key = *wallpaper_.key, .videoURL = *master, .wallpaper = wallpaper_, .isCustom = options_.isCustom};
    if (screenIndex)
        request.screenIndices = QSet<int>{*screenIndex};
    request.lockScreenOnly = target == WallpaperFullscreenApplyTarget::lockScreen;
    request.skipLockScreenPipeline = target == WallpaperFullscreenApplyTarget::desktop;
    start(std::move(request), Run{Kind::display, target, screenCount});
}

void FullScreenApplier::applyToLockScreenOnly()
{
    const std::optional<QUrl> master = masterVideoUrl();
    if (!wallpaper_.key || !master) {
        refuseIncomplete(Kind::lockScreenOnly);
        return;
    }
    // Joins the saved list, without a like being counted.
    if (!isApplied_)
        LikedWallpapersService::shared().addWallpaper(wallpaper_, true);
    WallpaperApplyRequest request{.key = *wallpaper_.key, .videoURL = *master, .wallpaper = wallpaper_,
        .isCustom = options_.isCustom, .lockScreenOnly = true};
    start(std::move(request), Run{Kind::lockScreenOnly, WallpaperFullscreenApplyTarget::lockScreen, 0});
}

void FullScreenApplier::start(WallpaperApplyRequest request, Run run)
{
    applyStage_ = ApplyToast::Stage::applying;
    setState(true, 0, std::nullopt);
    const QPointer<FullScreenApplier> self(this);
    request.onStage = [self](ApplyToast::Stage stage) {
        if (!self || !self->isApplying_ || stage == self->applyStage_)
            return;
        self->applyStage_ = stage;
        Q_EMIT self->stateChanged();
    };
    auto done = [self, run, title = wallpaper_.title](std::optional<Failure> failure) {
        if (failure && !failure->replaced)
            tellFailure(title, run.kind, *failure);
        if (!self)
            return;
        if (failure)
            self->failed(*failure);
        else
            self->succeeded(run);
    };
    launch([request = std::move(request), done = std::move(done)] { return runApply(request, done); },
        QStringLiteral("FullScreenView"));
}

void FullScreenApplier::succeeded(const Run& run)
{
    setState(false, 1.0, applyError_);
    refreshAppliedState();
    sendAnalytics(run);
}

void FullScreenApplier::failed(const Failure& failure)
{
    const QString& description = failure.description;
    // The newer choice tells its own outcome; a word from this apply would speak over it.
    if (failure.replaced) {
        setState(false, 0, std::nullopt);
        logLine(QStringLiteral("Wallpaper ") + QString::number(*wallpaper_.key) + QStringLiteral(" not applied - a newer choice replaced it"));
        return;
    }
    setState(false, 0, description);
}

void FullScreenApplier::refuseIncomplete(Kind kind)
{
    const Failure failure{tr(kIncompleteError)};
    setState(isApplying_, downloadProgress_, failure.description);
    tellFailure(wallpaper_.title, kind, failure);
}

void FullScreenApplier::tellFailure(const QString& title, Kind kind, const Failure& failure)
{
    const QString summary = tr(kind == Kind::display ? kDisplayFailure : kLockScreenFailure);
    const QString message = summary + QStringLiteral(": ") + (failure.outOfSpace ? tr(kNoRoom) : failure.description);
    // A toast of its own: the apply's may have been overtaken by another (an import, an upload),
    // whose content a failure must not write over.
    NotificationManager& toast = NotificationManager::shared();
    const NotificationManager::Ticket shown = toast.show(title, message, {}, 0.0, true);
    logLine(summary + QStringLiteral(": ") + failure.description);
    toast.hide(shown, kFailureToastSeconds);
}

void FullScreenApplier::sendAnalytics(const Run& run) const
{
    const WallpaperManager& analytics = WallpaperManager::shared();
    const QString key = QString::number(*wallpaper_.key);
    if (run.kind == Kind::display) {
        analytics.send(QStringLiteral("Wallpaper.appliedFromFullScreen"),
            {{QStringLiteral("wallpaperKey"), key}, {QStringLiteral("isCustom"), flag(options_.isCustom)},
                {QStringLiteral("screenCount"), QString::number(run.screenCount)},
                {QStringLiteral("lockScreenOnly"), flag(run.target == WallpaperFullscreenApplyTarget::lockScreen)},
                {QStringLiteral("applyTarget"), WallpaperFullscreenApplyTargets::rawValue(run.target)},
                {QStringLiteral("skipLockScreenPipeline"), flag(run.target == WallpaperFullscreenApplyTarget::desktop)}});
        return;
    }
    analytics.send(QStringLiteral("Wallpaper.appliedFromFullScreen"),
        {{QStringLiteral("wallpaperKey"), key}, {QStringLiteral("isCustom"), flag(options_.isCustom)},
            {QStringLiteral("lockScreenOnly"), flag(true)}});
    if (options_.lockScreenExclusiveApply)
        analytics.send(QStringLiteral("LockscreenExclusive.wallpaperApplied"), {{QStringLiteral("wallpaperKey"), key}});
}

void FullScreenApplier::removeAppliedWallpaper()
{
    HomeScreenWallpaperEngine& engine = HomeScreenWallpaperEngine::shared();
    WallpaperPersistenceService& persistence = WallpaperPersistenceService::shared();
    const Screens& screens = Screens::shared();
    const QList<ScreenInfo> all = screens.screens();
    if (all.size() == 1) {
        engine.stopAll();
        persistence.clearSavedWallpaper();
        persistence.clearAllPerMonitorWallpapers();
        refreshAppliedState();
        return;
    }
    if (!wallpaper_.key)
        return;
    const auto shows = [&](const ScreenInfo& screen) {
        const auto entry = engine.entries().find(HomeScreenWallpaperEngine::displayID(screen));
        return entry != engine.entries().end() && entry->second.wallpaperKey == wallpaper_.key;
    };
    const std::optional<ScreenInfo> main = screens.mainScreen();
    std::optional<ScreenInfo> showing;
    if (main && shows(*main))
        showing = main;
    for (qsizetype i = 0; !showing && i < all.size(); ++i) {
        if (shows(all[i]))
            showing = all[i];
    }
    if (!showing)
        return;
    engine.removeWallpaper(HomeScreenWallpaperEngine::displayID(*showing));
    if (main && *showing == *main)
        persistence.clearSavedWallpaper();
    refreshAppliedState();
}

void FullScreenApplier::setState(bool applying, double progress, std::optional<QString> error)
{
    if (applying == isApplying_ && progress == downloadProgress_ && error == applyError_)
        return;
    isApplying_ = applying;
    downloadProgress_ = progress;
    applyError_ = std::move(error);
    Q_EMIT stateChanged();
}
