#pragma once

#include "engine/DesktopClaim.h"
#include "engine/PerMonitorEntry.h"
#include "state/Delays.h"

#include "engine/LocalVideoResolver.h"

#include <QCoro/QCoroTask>
#include <QList>
#include <QObject>
#include <QSet>
#include <QUrl>

#include <optional>
#include <stop_token>

class NetworkReturn;

// Puts the previous run's wallpaper back at launch: the active playlist (only on a login launch;
// otherwise the playlist service brings it back by itself), else the per-display wallpapers,
// else the single saved wallpaper (also when no saved display is attached any more). An ordinary
// launch tries once; a login launch, when displays, window manager and network may not be ready,
// retries up to 60 times. A saved video that is gone from disk is downloaded again from the
// catalogue by its key; one of the user's own videos never is (the catalogue never had it).
// When all that leaves the desktop bare because something failed, the user is told in a desktop
// notification and, unless the video is gone for good, the launch's source is tried again after
// a growing pause, or as soon as the network comes back. Unless a playlist is active (its own
// applies put it back), the work claims every display when it begins: a display that anyone else
// applies to or clears after that (the user's choice, the rotation) keeps the newer choice on
// screen and in its saved record, while the other displays still get theirs; once every display
// was chosen for, the work ends at its next step. GUI thread; owned by the application delegate,
// which stops it when it goes.
class LaunchReapply : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxAttempts = 60;
    static constexpr int kScreenWaitMs = 100;
    static constexpr int kRetryWaitMs = 1'000;
    static constexpr int kStartRetryWaitMs = 500;
    // A login launch downloads a missing video on attempts 1, 6, 11, ...
    static constexpr int kDownloadEveryAttempts = 5;
    // After a failed launch: pauses from 10 s, doubled each time up to 10 min, 8 tries in all.
    static constexpr int kRecoveryFirstWaitMs = 10'000;
    static constexpr int kRecoveryLongestWaitMs = 600'000;
    static constexpr int kRecoveryAttempts = 8;

    // Hears of the network's return from the system.
    explicit LaunchReapply(Delays delays = Delays::real(), QObject* parent = nullptr);
    // `network` must outlive this object.
    LaunchReapply(Delays delays, NetworkReturn& network, QObject* parent = nullptr);
    ~LaunchReapply() override;

    // The whole launch's work: the saved state, then the recovery from a failure. On an
    // ordinary launch with an active playlist, the playlist service's first apply is watched.
    // A settings file that cannot be read at launch holds no saved state yet: once it is read,
    // its state is put back, unless a display was chosen for meanwhile.
    QCoro::Task<> run(bool isLoginLaunch);
    QCoro::Task<> autoApplySavedState(bool isLoginLaunch);
    // When the launch ended with nothing showing because something failed: tells the user why,
    // then tries the saved state again until a wallpaper shows or the tries run out.
    QCoro::Task<> recoverFromFailure();

    static QString failureSummary() { return tr("Wallpaper Not Applied"); }
    static QString playlistNotShown() { return tr("The playlist's wallpaper could not be put on the desktop."); }
    // The desktop notification's summary when the saved wallpaper is back but its video is not seen.
    static QString videoNotSeenSummary() { return tr("Live Wallpaper Not Shown"); }

Q_SIGNALS:
    // A saved wallpaper runs again: the tray shows it as running, with its thumbnail.
    void wallpaperRunning();

private:
    // The saved state's paths, taken by the launch and by every try of the recovery.
    QCoro::Task<> applySavedState(bool isLoginLaunch);
    QCoro::Task<> applyPlaylistWithRetry();
    // One pass over the current displays; true when a wallpaper shows afterwards.
    QCoro::Task<bool> applyPerMonitorWallpapers(QList<PerMonitorEntry> entries);
    QCoro::Task<> applyPerMonitorWallpapersWithRetry(QList<PerMonitorEntry> entries);
    // The single saved wallpaper, else the first usable per-display one, on every display.
    QCoro::Task<> applyOnEveryDisplay(QList<PerMonitorEntry> entries);
    QCoro::Task<> applySavedWallpaper(qint64 key, QUrl masterUrl);
    QCoro::Task<> applySavedWallpaperWithRetry(qint64 key, QUrl masterUrl);

    // A saved wallpaper as the resolver takes it: one of the user's own videos when its key is
    // in the own-videos list or its address is a file of their folder.
    static LocalVideoResolver::Source sourceOf(qint64 key, const QUrl& masterUrl);
    // The saved video when it is still on disk, else the cached master video of the key, by the
    // rule of LocalVideoResolver; a cached master that fails it is removed and counts as absent.
    QCoro::Task<std::optional<QUrl>> localVideo(qint64 key, QUrl masterUrl);
    // Downloads the key's master video through LocalVideoResolver (from the catalogue when the
    // saved address is a local file that is gone); nothing, and a log line, when that fails.
    // Nothing at once for an own video.
    QCoro::Task<std::optional<QUrl>> download(qint64 key, QUrl masterUrl);
    // Claims every display: from now on, a choice made by anyone else takes its displays from this work.
    void watchChoices();
    // After a suspension: true when the re-apply may go on; false once it was stopped, or once
    // every display was chosen for by someone else since it began (said once in the log).
    bool goesOn(const std::stop_token& stop);
    // goesOn for the recovery, which an active playlist's own applies do not end.
    bool mayRecover(const std::stop_token& stop);
    // Waits; false when the re-apply was stopped meanwhile. The playlist's own applies change
    // the desktop, so its path takes this one.
    QCoro::Task<bool> sleep(int ms);
    // Waits; false when the re-apply may not go on (see goesOn).
    QCoro::Task<bool> wait(int ms);
    // A pause of the recovery that the network's return ends early; false once stopped.
    QCoro::Task<bool> waitToRecover(int ms);
    // The saved wallpaper went on the desktop, as `appliedLine` says where the desktop draws
    // live wallpapers; where it draws none, the still picture of `video` is set instead and the
    // log says so. What keeps the video from view is told as every apply tells it, in the
    // toast, and in a desktop notification, as no window may be open.
    QCoro::Task<> reportShown(QUrl video, QString appliedLine);
    // Why the desktop may stay bare; `lasting` when trying again cannot help.
    void noteFailure(const QString& reason, bool lasting = false);
    // The first apply the playlist service ends on its own: when nothing shows after it, the
    // recovery starts.
    void watchFirstPlaylistApply();
    // The saved state once the settings file was read after the launch's own pass.
    QCoro::Task<> applyLateState(bool isLoginLaunch);

    // The watch of the network, made when a recovery first waits: a launch whose wallpaper
    // shows at once never loads the system's reachability backend.
    NetworkReturn& networkReturn();

    const Delays delays_;
    NetworkReturn* network_ = nullptr;
    std::stop_source stop_;
    // Keys whose download failed in this launch; a per-display pass does not try them again.
    QSet<qint64> failedDownloads_;
    // The latest failure of the current pass, and whether it is one a later try cannot mend.
    std::optional<QString> failure_;
    bool lastingFailure_ = false;
    // The displays this work may still put its wallpapers on; it gave way once it held none.
    DesktopClaim claim_;
    bool gaveWay_ = false;
    QMetaObject::Connection playlistWatch_;
};
