#include "app/LaunchReapply.h"

#include "engine/HomeScreenWallpaperEngine.h"
#include "engine/LocalVideoResolver.h"
#include "engine/WallpaperPersistenceService.h"
#include "foundation/AppError.h"
#include "foundation/Log.h"
#include "library/PlaylistPlaybackService.h"
#include "platform/Screens.h"

#include <QFileInfo>

namespace {
const QString kType = QStringLiteral("AppDelegate");

bool hasScreens() { return !Screens::shared().screens().isEmpty(); }

bool isShowing() { return HomeScreenWallpaperEngine::shared().currentWallpaperKey().has_value(); }

bool fileExists(const QUrl& url) { return url.isLocalFile() && QFileInfo(url.toLocalFile()).isFile(); }
} // namespace

LaunchReapply::LaunchReapply(Delays delays, QObject* parent) : QObject(parent), delays_(std::move(delays)) {}

// Suspended passes see the stop at their next step and end without touching this object.
LaunchReapply::~LaunchReapply() { stop_.request_stop(); }

QCoro::Task<> LaunchReapply::autoApplySavedState(bool isLoginLaunch)
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
            if (!co_await wait(kScreenWaitMs))
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
        if (!co_await wait(kRetryWaitMs))
            co_return;
    }
    logLine(QStringLiteral("❌ Failed to apply playlist wallpaper after %1 attempts").arg(kMaxAttempts));
}

QCoro::Task<bool> LaunchReapply::applyPerMonitorWallpapers(QList<PerMonitorEntry> entries)
{
    const std::stop_token stop = stop_.get_token();
    const QList<ScreenInfo> screens = Screens::shared().screens();
    if (screens.isEmpty())
        co_return false;
    bool anyDisplayKnown = false;
    for (const ScreenInfo& screen : screens) {
        const QString persistenceID = HomeScreenWallpaperEngine::displayPersistenceID(screen);
        const auto entry = std::find_if(entries.cbegin(), entries.cend(),
            [&persistenceID](const PerMonitorEntry& candidate) { return candidate.displayPersistenceID == persistenceID; });
        if (entry == entries.cend())
            continue;
        anyDisplayKnown = true;
        const std::optional<QUrl> saved = WallpaperPersistenceService::storedUrl(entry->masterUrlString);
        if (!saved)
            continue;
        std::optional<QUrl> video = co_await localVideo(entry->key, *saved);
        if (stop.stop_requested())
            co_return false;
        if (!video && !failedDownloads_.contains(entry->key)) {
            video = co_await download(entry->key, *saved);
            if (stop.stop_requested())
                co_return false;
        }
        if (!video)
            continue;
        // The displays may have changed during a download: apply only to one still attached.
        const QList<ScreenInfo> current = Screens::shared().screens();
        if (!current.contains(screen))
            continue;
        try {
            HomeScreenWallpaperEngine::shared().applyToScreen(screen, HomeScreenWallpaperEngine::displayID(screen), *video, entry->key);
        } catch (const std::exception&) {
            // This display stays as it is; the others still get theirs.
        }
    }
    HomeScreenWallpaperEngine::shared().reapplySavedPerMonitorWallpapers();
    // Records of other displays only (all displays renamed or swapped since): rather than an
    // empty desktop, the last wallpaper goes on every display.
    if (!isShowing() && !anyDisplayKnown) {
        co_await applyOnEveryDisplay(entries);
        co_return isShowing();
    }
    if (!isShowing())
        co_return false;
    Q_EMIT wallpaperRunning();
    logLine(QStringLiteral("✅ Applied per-monitor wallpapers"));
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
        if (stop.stop_requested())
            co_return;
        if (isShowing()) {
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
    if (stop.stop_requested())
        co_return;
    if (!video) {
        video = co_await download(key, masterUrl);
        if (stop.stop_requested() || !video)
            co_return;
    }
    if (!fileExists(*video))
        co_return;
    try {
        HomeScreenWallpaperEngine::shared().start(*video, key);
    } catch (const std::exception& error) {
        logLine(QStringLiteral("Failed to auto-apply wallpaper: ") + describeError(error));
        co_return;
    }
    Q_EMIT wallpaperRunning();
    logLine(QStringLiteral("Auto-applied wallpaper to home screen"));
}

QCoro::Task<> LaunchReapply::applySavedWallpaperWithRetry(qint64 key, QUrl masterUrl)
{
    const std::stop_token stop = stop_.get_token();
    for (int attempt = 1; attempt <= kMaxAttempts; ++attempt) {
        std::optional<QUrl> video = co_await localVideo(key, masterUrl);
        if (stop.stop_requested())
            co_return;
        if (!video) {
            const bool isDownloadAttempt = attempt % kDownloadEveryAttempts == 1;
            if (isDownloadAttempt) {
                video = co_await download(key, masterUrl);
                if (stop.stop_requested())
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
            HomeScreenWallpaperEngine::shared().start(*video, key);
        } catch (const std::exception&) {
            started = false;
        }
        if (!started) {
            if (!co_await wait(hasScreens() ? kStartRetryWaitMs : kScreenWaitMs))
                co_return;
            continue;
        }
        Q_EMIT wallpaperRunning();
        logLine(QStringLiteral("✅ Successfully applied wallpaper after %1 second(s)").arg(attempt));
        co_return;
    }
    logLine(QStringLiteral("❌ Failed to apply wallpaper after %1 seconds of retrying").arg(kMaxAttempts));
}

QCoro::Task<std::optional<QUrl>> LaunchReapply::localVideo(qint64 key, QUrl masterUrl)
{
    const LocalVideoResolver::Source source{.key = key, .address = masterUrl};
    std::optional<QUrl> video;
    try {
        video = co_await LocalVideoResolver::find(source);
    } catch (const std::exception& error) {
        // A saved file that is not the cache's own: the catalogue may still have the key.
        logLine(QStringLiteral("⚠️"), kType, QStringLiteral("The saved video cannot be played: ") + describeError(error));
    }
    co_return video;
}

QCoro::Task<std::optional<QUrl>> LaunchReapply::download(qint64 key, QUrl masterUrl)
{
    const std::stop_token stop = stop_.get_token();
    const LocalVideoResolver::Source source{.key = key, .address = masterUrl};
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
    logLine(QStringLiteral("⚠️"), kType, QStringLiteral("Could not download the saved wallpaper ") + QString::number(key)
            + QStringLiteral(": ") + failure);
    co_return std::nullopt;
}

QCoro::Task<bool> LaunchReapply::wait(int ms)
{
    const std::stop_token stop = stop_.get_token();
    co_await delays_.sleep(ms, stop);
    co_return !stop.stop_requested();
}
