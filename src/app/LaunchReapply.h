#pragma once

#include "engine/PerMonitorEntry.h"
#include "state/Delays.h"

#include <QCoro/QCoroTask>
#include <QList>
#include <QObject>
#include <QSet>
#include <QUrl>

#include <optional>
#include <stop_token>

// Puts the previous run's wallpaper back at launch: the active playlist (only on a login launch;
// otherwise the playlist service brings it back by itself), else the per-display wallpapers,
// else the single saved wallpaper (also when no saved display is attached any more). An ordinary launch tries once; a login launch, when displays,
// window manager and network may not be ready, retries up to 60 times. A saved video that is gone
// from disk is downloaded again from the catalogue by its key. Results are only the wallpaper
// and log lines. GUI thread; owned by the application delegate, which stops it when it goes.
class LaunchReapply : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxAttempts = 60;
    static constexpr int kScreenWaitMs = 100;
    static constexpr int kRetryWaitMs = 1'000;
    static constexpr int kStartRetryWaitMs = 500;
    // A login launch downloads a missing video on attempts 1, 6, 11, ...
    static constexpr int kDownloadEveryAttempts = 5;

    explicit LaunchReapply(Delays delays = Delays::real(), QObject* parent = nullptr);
    ~LaunchReapply() override;

    QCoro::Task<> autoApplySavedState(bool isLoginLaunch);

Q_SIGNALS:
    // A saved wallpaper runs again: the tray shows it as running, with its thumbnail.
    void wallpaperRunning();

private:
    QCoro::Task<> applyPlaylistWithRetry();
    // One pass over the current displays; true when a wallpaper shows afterwards.
    QCoro::Task<bool> applyPerMonitorWallpapers(QList<PerMonitorEntry> entries);
    QCoro::Task<> applyPerMonitorWallpapersWithRetry(QList<PerMonitorEntry> entries);
    // The single saved wallpaper, else the first usable per-display one, on every display.
    QCoro::Task<> applyOnEveryDisplay(QList<PerMonitorEntry> entries);
    QCoro::Task<> applySavedWallpaper(qint64 key, QUrl masterUrl);
    QCoro::Task<> applySavedWallpaperWithRetry(qint64 key, QUrl masterUrl);

    // The saved video when it is still on disk, else the cached master video of the key, by the
    // rule of LocalVideoResolver; a cached master that fails it is removed and counts as absent.
    static QCoro::Task<std::optional<QUrl>> localVideo(qint64 key, QUrl masterUrl);
    // Downloads the key's master video through LocalVideoResolver (from the catalogue when the
    // saved address is a local file that is gone); nothing, and a log line, when that fails.
    QCoro::Task<std::optional<QUrl>> download(qint64 key, QUrl masterUrl);
    // Waits; false when the re-apply was stopped meanwhile.
    QCoro::Task<bool> wait(int ms);

    const Delays delays_;
    std::stop_source stop_;
    // Keys whose download failed in this launch; a per-display pass does not try them again.
    QSet<qint64> failedDownloads_;
};
