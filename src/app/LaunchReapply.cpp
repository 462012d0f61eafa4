#include "app/LaunchReapply.h"

#include "app/NetworkReturn.h"
#include "engine/HomeScreenWallpaperEngine.h"
#include "engine/LocalVideoResolver.h"
#include "engine/StaticWallpaperService.h"
#include "engine/WallpaperApplyService.h"
#include "engine/WallpaperPersistenceService.h"
#include "foundation/AppError.h"
#include "foundation/Async.h"
#include "foundation/Log.h"
#include "library/CustomWallpapersService.h"
#include "library/PlaylistPlaybackService.h"
#include "platform/DesktopNotifications.h"
#include "platform/Screens.h"
#include "state/NotificationManager.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {
const QString kType = QStringLiteral("AppDelegate");
// The least time a notice stays in the toast; a long one stays until it can be read.
constexpr double kNoticeSeconds = 4.0;

bool hasScreens() { return !Screens::shared().screens().isEmpty(); }

bool isShowing() { return HomeScreenWallpaperEngine::shared().currentWallpaperKey().has_value(); }

bool fileExists(const QUrl& url) { return url.isLocalFile() && QFileInfo(url.toLocalFile()).isFile(); }
} // namespace

LaunchReapply::LaunchReapply(Delays delays, QObject* parent)
    : QObject(parent), delays_(std::move(delays))
{
}

LaunchReapply::LaunchReapply(Delays delays, NetworkReturn& network, QObject* parent)
    : QObject(parent), delays_(std::move(delays)), network_(&network)
{
}

// Suspended passes see the stop at their next step and end without touching this object.
LaunchReapply::~LaunchReapply() { stop_.request_stop(); }

QCoro::Task<> LaunchReapply::run(bool isLoginLaunch)
{
    const std::stop_token stop = stop_.get_token();
    // Queued: the playlist service restores an active playlist from the same read first.
    connect(&WallpaperPersistenceService::shared(), &WallpaperPersistenceService::readLate, this,
        [this, isLoginLaunch] { fireAndForget(applyLateState(isLoginLaunch), kType); }, Qt::QueuedConnection);
    co_await autoApplySavedState(isLoginLaunch);
    if (stop.stop_requested() || gaveWay_)
        co_return;
    if (!isLoginLaunch && PlaylistPlaybackService::shared().activePlaylistId()) {
        watchFirstPlaylistApply();
        co_return;
    }
    co_await recoverFromFailure();
}

void LaunchReapply::watchFirstPlaylistApply()
{
    PlaylistPlaybackService* playlists = &PlaylistPlaybackService::shared();
    playlistWatch_ = connect(playlists, &PlaylistPlaybackService::isApplyingChanged, this, [this, playlists] {
        if (playlists->isApplying())
            return;
        disconnect(playlistWatch_);
        if (isShowing() || !playlists->activePlaylistId())
            return;
        noteFailure(playlistNotShown());
        fireAndForget(recoverFromFailure(), kType);
    });
}

QCoro::Task<> LaunchReapply::applyLateState(bool isLoginLaunch)
{
    const std::stop_token stop = stop_.get_token();
    if (!goesOn(stop) || isShowing())
        co_return;
    logLine(QStringLiteral("🔄"), kType, QStringLiteral("The settings file was read after the launch; putting its saved wallpaper back"));
    co_await applySavedState(isLoginLaunch);
    if (stop.stop_requested() || gaveWay_)
        co_return;
    co_await recoverFromFailure();
}

QCoro::Task<> LaunchReapply::autoApplySavedState(bool isLoginLaunch)
{
    // An active playlist comes back through its own applies, the first of which may already
    // run: a claim taken now would replace it, and the launch would report its wallpaper as
    // failed just before the playlist's next apply shows it.
    if (!PlaylistPlaybackService::shared().activePlaylistId())
        watchChoices();
    co_await applySavedState(isLoginLaunch);
}

QCoro::Task<> LaunchReapply::applySavedState(bool isLoginLaunch)
{
    if (PlaylistPlaybackService::shared().activePlaylistId()) {
        // An ordinary launch leaves the playlist to its service, which applies it once the asset
        // host is known.
        if (isLoginLaunch)
            co_await applyPlaylistWithRetry();
        co_return;
    }
    const QList<PerMonitorEntry> entries = WallpaperPersistenceService::shared().loadPerMonitorWallpapers().values();
    if (!entries.isEmpty()) {
        logLine(QStringLiteral("🎬 AUTO-APPLYING PER-MONITOR WALLPAPERS (priority #1)"));
        if (isLoginLaunch)
            co_await applyPerMonitorWallpapersWithRetry(entries);
        else
            co_await applyPerMonitorWallpapers(entries);
        co_return;
    }
    const std::optional<WallpaperPersistenceService::SavedWallpaper> saved = WallpaperPersistenceService::shared().loadSavedWallpaper();
    if (!saved)
        co_return;
    logLine(QStringLiteral("🎬 AUTO-APPLYING WALLPAPER IMMEDIATELY (priority #1): key=") + QString::number(saved->key));
    if (isLoginLaunch)
        co_await applySavedWallpaperWithRetry(saved->key, saved->masterUrl);
    else
        co_await applySavedWallpaper(saved->key, saved->masterUrl);
}

QCoro::Task<> LaunchReapply::applyPlaylistWithRetry()
{
    for (int attempt = 1; attempt <= kMaxAttempts; ++attempt) {
        if (!hasScreens()) {
            if (!co_await sleep(kScreenWaitMs))
                co_return;
            continue;
        }
        if (isShowing()) {
            logLine(QStringLiteral("✅ Playlist wallpaper applied after %1 attempt(s)").arg(attempt));
            Q_EMIT wallpaperRunning();
            co_return;
        }
        // Asked again only once the previous apply has ended without a wallpaper: every request
        // while one runs would start another download.
        PlaylistPlaybackService& playlists = PlaylistPlaybackService::shared();
        if (!playlists.isApplying())
            playlists.applyCurrentWallpaper();
        if (!co_await sleep(kRetryWaitMs))
            co_return;
    }
    logLine(QStringLiteral("❌ Failed to apply playlist wallpaper after %1 attempts").arg(kMaxAttempts));
    noteFailure(playlistNotShown());
}

QCoro::Task<bool> LaunchReapply::applyPerMonitorWallpapers(QList<PerMonitorEntry> entries)
{
    const std::stop_token stop = stop_.get_token();
    const QList<ScreenInfo> screens = Screens::shared().screens();
    if (screens.isEmpty())
        co_return false;
    bool anyDisplayKnown = false;
    // The first video put on a display: its still picture stands for them all where no live
    // wallpaper is drawn.
    std::optional<QUrl> landed;
    for (const ScreenInfo& screen : screens) {
        const QString persistenceID = HomeScreenWallpaperEngine::displayPersistenceID(screen);
        const auto entry = std::find_if(entries.cbegin(), entries.cend(),
            [&persistenceID](const PerMonitorEntry& candidate) { return candidate.displayPersistenceID == persistenceID; });
        if (entry == entries.cend())
            continue;
        anyDisplayKnown = true;
        // Chosen for since the launch began: its newer wallpaper stays, and nothing is fetched.
        if (!HomeScreenWallpaperEngine::shared().holds(claim_, HomeScreenWallpaperEngine::displayID(screen)))
            continue;
        const std::optional<QUrl> saved = WallpaperPersistenceService::storedUrl(entry->masterUrlString);
        if (!saved)
            continue;
        std::optional<QUrl> video = co_await localVideo(entry->key, *saved);
        if (!goesOn(stop))
            co_return false;
        if (!video && !failedDownloads_.contains(entry->key)) {
            video = co_await download(entry->key, *saved);
            if (!goesOn(stop))
                co_return false;
        }
        if (!video)
            continue;
        // The displays may have changed during a download: apply only to one still attached.
        const QList<ScreenInfo> current = Screens::shared().screens();
        if (!current.contains(screen))
            continue;
        try {
            if (HomeScreenWallpaperEngine::shared().landOnScreen(screen, *video, entry->key, claim_) && !landed)
                landed = *video;
        } catch (const std::exception& error) {
            // This display stays as it is; the others still get theirs.
            noteFailure(describeError(error));
        }
    }
    // Displays chosen for meanwhile are not covered over, nor are the others made to mirror them.
    if (HomeScreenWallpaperEngine::shared().holdsAll(claim_))
        HomeScreenWallpaperEngine::shared().reapplySavedPerMonitorWallpapers();
    // Records of other displays only (all displays renamed or swapped since): rather than an
    // empty desktop, the last wallpaper goes on every display.
    if (!isShowing() && !anyDisplayKnown) {
        co_await applyOnEveryDisplay(entries);
        co_return !stop.stop_requested() && isShowing();
    }
    if (!isShowing())
        co_return false;
    Q_EMIT wallpaperRunning();
    if (landed) {
        const QString applied = QStringLiteral("✅ Applied per-monitor wallpapers");
        co_await reportShown(*landed, applied);
        if (stop.stop_requested())
            co_return false;
    }
    co_return true;
}

QCoro::Task<> LaunchReapply::applyOnEveryDisplay(QList<PerMonitorEntry> entries)
{
    const auto saved = WallpaperPersistenceService::shared().loadSavedWallpaper();
    if (saved) {
        co_await applySavedWallpaper(saved->key, saved->masterUrl);
        co_return;
    }
    for (const PerMonitorEntry& entry : entries) {
        if (const std::optional<QUrl> url = WallpaperPersistenceService::storedUrl(entry.masterUrlString)) {
            co_await applySavedWallpaper(entry.key, *url);
            co_return;
        }
    }
}

QCoro::Task<> LaunchReapply::applyPerMonitorWallpapersWithRetry(QList<PerMonitorEntry> entries)
{
    const std::stop_token stop = stop_.get_token();
    for (int attempt = 1; attempt <= kMaxAttempts; ++attempt) {
        if (!hasScreens()) {
            if (!co_await wait(kScreenWaitMs))
                co_return;
            continue;
        }
        co_await applyPerMonitorWallpapers(entries);
        if (stop.stop_requested() || gaveWay_)
            co_return;
        if (isShowing()) {
            if (HomeScreenWallpaperEngine::shared().drawsLiveWallpaper())
                logLine(QStringLiteral("✅ Per-monitor wallpapers applied after %1 attempt(s)").arg(attempt));
            co_return;
        }
        if (!co_await wait(kRetryWaitMs))
            co_return;
    }
    logLine(QStringLiteral("❌ Failed to apply per-monitor wallpapers after %1 attempts").arg(kMaxAttempts));
}

QCoro::Task<> LaunchReapply::applySavedWallpaper(qint64 key, QUrl masterUrl)
{
    const std::stop_token stop = stop_.get_token();
    std::optional<QUrl> video = co_await localVideo(key, masterUrl);
    if (!goesOn(stop))
        co_return;
    if (!video) {
        video = co_await download(key, masterUrl);
        if (!goesOn(stop) || !video)
            co_return;
    }
    if (!fileExists(*video))
        co_return;
    try {
        if (HomeScreenWallpaperEngine::shared().land(*video, key, claim_) == 0 && !goesOn(stop))
            co_return;
    } catch (const std::exception& error) {
        logLine(QStringLiteral("Failed to auto-apply wallpaper: ") + describeError(error));
        noteFailure(describeError(error));
        co_return;
    }
    Q_EMIT wallpaperRunning();
    const QString applied = QStringLiteral("Auto-applied wallpaper to home screen");
    co_await reportShown(*video, applied);
}

QCoro::Task<> LaunchReapply::applySavedWallpaperWithRetry(qint64 key, QUrl masterUrl)
{
    const std::stop_token stop = stop_.get_token();
    const bool ownVideo = sourceOf(key, masterUrl).isCustom;
    for (int attempt = 1; attempt <= kMaxAttempts; ++attempt) {
        std::optional<QUrl> video = co_await localVideo(key, masterUrl);
        if (!goesOn(stop))
            co_return;
        // An own video that is gone does not come back by waiting.
        if (!video && ownVideo)
            co_return;
        if (!video) {
            const bool isDownloadAttempt = attempt % kDownloadEveryAttempts == 1;
            if (isDownloadAttempt) {
                video = co_await download(key, masterUrl);
                if (!goesOn(stop))
                    co_return;
            }
            if (!video) {
                if (!co_await wait(kRetryWaitMs))
                    co_return;
                continue;
            }
        }
        if (!fileExists(*video)) {
            if (!co_await wait(kRetryWaitMs))
                co_return;
            continue;
        }
        if (!hasScreens()) {
            if (!co_await wait(kScreenWaitMs))
                co_return;
            continue;
        }
        bool started = true;
        try {
            if (HomeScreenWallpaperEngine::shared().land(*video, key, claim_) == 0 && !goesOn(stop))
                co_return;
        } catch (const std::exception& error) {
            started = false;
            noteFailure(describeError(error));
        }
        if (!started) {
            if (!co_await wait(hasScreens() ? kStartRetryWaitMs : kScreenWaitMs))
                co_return;
            continue;
        }
        Q_EMIT wallpaperRunning();
        const QString applied = QStringLiteral("✅ Successfully applied wallpaper after %1 second(s)").arg(attempt);
        co_await reportShown(*video, applied);
        co_return;
    }
    logLine(QStringLiteral("❌ Failed to apply wallpaper after %1 seconds of retrying").arg(kMaxAttempts));
}

LocalVideoResolver::Source LaunchReapply::sourceOf(qint64 key, const QUrl& masterUrl)
{
    CustomWallpapersService& own = CustomWallpapersService::shared();
    const bool inOwnFolder = masterUrl.isLocalFile() && own.knowsFolder()
        && QFileInfo(masterUrl.toLocalFile()).absolutePath() == QDir(own.folderPath()).absolutePath();
    return {.key = key, .address = masterUrl, .isCustom = inOwnFolder || own.customWallpapers().contains(key)};
}

QCoro::Task<std::optional<QUrl>> LaunchReapply::localVideo(qint64 key, QUrl masterUrl)
{
    const std::stop_token stop = stop_.get_token();
    const LocalVideoResolver::Source source = sourceOf(key, masterUrl);
    std::optional<QUrl> video;
    try {
        video = co_await LocalVideoResolver::find(source);
    } catch (const std::exception& error) {
        // A saved file that is not the cache's own: the catalogue may still have the key, unless
        // it is one of the user's own videos.
        logLine(QStringLiteral("⚠️"), kType, QStringLiteral("The saved video cannot be played: ") + describeError(error));
        if (source.isCustom && !stop.stop_requested())
            noteFailure(describeError(error), true);
    }
    co_return video;
}

QCoro::Task<std::optional<QUrl>> LaunchReapply::download(qint64 key, QUrl masterUrl)
{
    const std::stop_token stop = stop_.get_token();
    const LocalVideoResolver::Source source = sourceOf(key, masterUrl);
    if (source.isCustom)
        co_return std::nullopt;
    const WallpaperDownloadService::ProgressHandler unreported;
    QString failure;
    try {
        const QUrl file = co_await LocalVideoResolver::fetch(source, unreported);
        co_return file;
    } catch (const std::exception& error) {
        failure = describeError(error);
    }
    if (stop.stop_requested())
        co_return std::nullopt;
    failedDownloads_.insert(key);
    noteFailure(failure);
    logLine(QStringLiteral("⚠️"), kType, QStringLiteral("Could not download the saved wallpaper ") + QString::number(key)
            + QStringLiteral(": ") + failure);
    co_return std::nullopt;
}

QCoro::Task<> LaunchReapply::recoverFromFailure()
{
    const std::stop_token stop = stop_.get_token();
    if (!failure_ || isShowing() || !mayRecover(stop))
        co_return;
    logLine(QStringLiteral("⚠️"), kType, QStringLiteral("The saved wallpaper is not on the desktop: ") + *failure_);
    DesktopNotifications::shared().notify(failureSummary(), *failure_);
    int pause = kRecoveryFirstWaitMs;
    int attempt = 0;
    while (attempt < kRecoveryAttempts) {
        if (lastingFailure_)
            co_return;
        if (!co_await waitToRecover(pause))
            co_return;
        // Something went on screen meanwhile (the display change, the rotation): nothing to mend.
        if (isShowing() || !mayRecover(stop))
            co_return;
        PlaylistPlaybackService& playlists = PlaylistPlaybackService::shared();
        // The playlist's apply still under way (a stalled download) is not asked again: no try
        // is made, so none is counted, and the next check comes after the same pause.
        if (playlists.activePlaylistId() && playlists.isApplying())
            continue;
        ++attempt;
        pause = std::min(pause * 2, kRecoveryLongestWaitMs);
        logLine(QStringLiteral("🔄"), kType, QStringLiteral("Trying the saved wallpaper again (%1 of %2)").arg(attempt).arg(kRecoveryAttempts));
        failure_.reset();
        failedDownloads_.clear();
        if (playlists.activePlaylistId()) {
            // Its outcome shows at the next check.
            playlists.applyCurrentWallpaper();
            continue;
        }
        co_await applySavedState(false);
        if (stop.stop_requested() || gaveWay_ || isShowing())
            co_return;
    }
    if (!lastingFailure_ && !isShowing())
        logLine(QStringLiteral("❌"), kType, QStringLiteral("Gave up putting the saved wallpaper back after %1 tries").arg(kRecoveryAttempts));
}

QCoro::Task<> LaunchReapply::reportShown(QUrl video, QString appliedLine)
{
    const std::stop_token stop = stop_.get_token();
    HomeScreenWallpaperEngine& engine = HomeScreenWallpaperEngine::shared();
    // In the toast, as an apply tells it, for a main window open now or soon; and on the desktop,
    // where a notification service shows it with no window open.
    const auto tell = [](const QString& notice) {
        logLine(QStringLiteral("ℹ️"), kType, notice);
        NotificationManager& toast = NotificationManager::shared();
        const NotificationManager::Ticket shown = toast.show(videoNotSeenSummary(), notice, QImage(), 1.0, false);
        toast.hide(shown, kNoticeSeconds);
        DesktopNotifications::shared().notify(videoNotSeenSummary(), notice);
    };
    if (engine.drawsLiveWallpaper()) {
        logLine(appliedLine);
        if (const std::optional<QString> covered = engine.coveredNotice())
            tell(*covered);
        co_return;
    }
    std::optional<QString> failure;
    try {
        co_await StaticWallpaperService::shared().setStaticWallpaper(video);
    } catch (const std::exception& error) {
        failure = describeError(error);
    }
    // A choice the user made meanwhile is theirs to report.
    if (stop.stop_requested() || gaveWay_)
        co_return;
    if (failure) {
        logLine(QStringLiteral("⚠️"), kType, QStringLiteral("This desktop draws no live wallpaper, and the still picture could not be set: ") + *failure);
        co_return;
    }
    logLine(QStringLiteral("🖼️"), kType, QStringLiteral("This desktop draws no live wallpaper: set the saved wallpaper's still picture"));
    if (engine.takeStillPictureNotice())
        tell(WallpaperApplyService::stillPictureNotice());
}

void LaunchReapply::noteFailure(const QString& reason, bool lasting)
{
    failure_ = reason;
    lastingFailure_ = lasting;
}

void LaunchReapply::watchChoices()
{
    claim_ = HomeScreenWallpaperEngine::shared().claim();
    gaveWay_ = false;
}

bool LaunchReapply::goesOn(const std::stop_token& stop)
{
    // Once stopped this object may be gone: nothing of it is touched.
    if (stop.stop_requested())
        return false;
    if (gaveWay_)
        return false;
    if (HomeScreenWallpaperEngine::shared().holdsAny(claim_))
        return true;
    gaveWay_ = true;
    logLine(QStringLiteral("⏹️"), kType, QStringLiteral("Stopped putting the saved wallpaper back: the desktop was changed since it began"));
    return false;
}

bool LaunchReapply::mayRecover(const std::stop_token& stop)
{
    // The rotation's applies are how an active playlist comes back: they claim the displays for it.
    if (PlaylistPlaybackService::shared().activePlaylistId())
        return !stop.stop_requested() && !gaveWay_;
    return goesOn(stop);
}

QCoro::Task<bool> LaunchReapply::sleep(int ms)
{
    const std::stop_token stop = stop_.get_token();
    co_await delays_.sleep(ms, stop);
    co_return !stop.stop_requested();
}

QCoro::Task<bool> LaunchReapply::wait(int ms)
{
    const std::stop_token stop = stop_.get_token();
    co_return co_await sleep(ms) && goesOn(stop);
}

NetworkReturn& LaunchReapply::networkReturn()
{
    if (!network_)
        network_ = new NetworkReturn(true, this);
    return *network_;
}

QCoro::Task<bool> LaunchReapply::waitToRecover(int ms)
{
    const std::stop_token stop = stop_.get_token();
    std::stop_source wake;
    const std::stop_callback stopping(stop, [wake]() mutable { wake.request_stop(); });
    const QMetaObject::Connection back = connect(&networkReturn(), &NetworkReturn::cameBack, this, [wake]() mutable { wake.request_stop(); });
    co_await delays_.sleep(ms, wake.get_token());
    // Once stopped this object may be gone, and its connection with it.
    if (stop.stop_requested())
        co_return false;
    disconnect(back);
    co_return true;
}
