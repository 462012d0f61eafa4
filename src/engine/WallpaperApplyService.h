#pragma once

#include "engine/ApplyToast.h"
#include "engine/AsyncFifoLock.h"
#include "engine/DesktopClaim.h"
#include "engine/WallpaperApplyRequest.h"
#include "state/Delays.h"

#include <QCoro/QCoroTask>
#include <QObject>

class NotificationManager;

// The road by which one wallpaper reaches the screen: the running playlist rotation is ended
// (unless the rotation asks), the video file is found locally or downloaded with progress in the
// in-app toast, the desktop video starts on every display or the chosen ones, the download is
// counted, the wallpaper joins the recents, and then either the still desktop picture is set
// (lock-screen feature off) or the video is converted and installed as the lock-screen wallpaper
// (feature on). The full-screen view and the playlist rotation call it. The rotation and the
// recents sit above this floor: they hear of an apply through the signals.
//
// Applies may be requested while others run. The desktop steps of one apply never interleave
// with another's. Each request claims its displays when it is made (HomeScreenWallpaperEngine::
// claim), so after its download it plays only on the displays no newer choice, from any surface,
// has claimed since; with none left it ends as replaced, and with some taken it leaves the
// still picture and the lock screen to the newer choice; once a newer choice took every display
// of an apply, that apply's toast is withdrawn and says nothing more. The lock-screen installs
// take turns in the order they began. GUI thread; one shared instance kept until exit.
class WallpaperApplyService : public QObject {
    Q_OBJECT

public:
    static QString lockScreenOffNotice() { return tr("Turn on Lock Screen in Settings to set this wallpaper for the lock screen only."); }
    static QString applyingMessage() { return tr("Applying..."); }
    static QString downloadingMessage() { return tr("Downloading..."); }
    static QString appliedMessage() { return tr("Wallpaper applied"); }
    static QString settingLockScreenMessage() { return tr("Setting Lock Screen"); }
    // The lock-screen step's own end, after the desktop's.
    static QString lockScreenSetMessage() { return tr("Lock Screen set"); }
    // The lock-screen part of an apply failed; the desktop keeps the new wallpaper.
    static QString lockScreenFailedMessage(const QString& reason) { return tr("Lock screen not set: %1").arg(reason); }
    // Said once per run where the desktop lets no application draw a live wallpaper.
    static QString stillPictureNotice()
    {
        return tr("This desktop lets no application draw a live wallpaper, so the still picture was set instead.");
    }
    // The display title without a record.
    static inline const QString kDefaultTitle = QStringLiteral("Wallpaper");

    // The shared toast and real timers.
    explicit WallpaperApplyService(QObject* parent = nullptr);
    // `delays` times the pause before the lock-screen install and nothing else.
    WallpaperApplyService(NotificationManager& notificationManager, Delays delays, QObject* parent = nullptr);
    ~WallpaperApplyService() override;

    static WallpaperApplyService& shared();

    NotificationManager& notificationManager() const { return notificationManager_; }

    // Throws WallpaperApplyError (lock screen off, cancelled, or replaced by a newer apply), DownloadError
    // or EngineError (also for a file that is no playable video); every later failure (still
    // picture, lock-screen install, counter) is logged and absorbed, except the still picture's
    // on a desktop without a live wallpaper, where it is all the apply puts on screen.
    QCoro::Task<> applyWallpaper(WallpaperApplyRequest request);

Q_SIGNALS:
    // An apply that is not the rotation's began: the rotation ends, leaving the desktop as is.
    void manualApplyStarted();
    // The wallpaper went on screen (or, lock screen only, is about to be installed there), with
    // the record the recents list keeps.
    void wallpaperApplied(const WallpaperModel& record);

private:
    // Everything after the lock-screen gate.
    QCoro::Task<> runApply(WallpaperApplyRequest request, DesktopClaim claim, ApplyToast toast);
    // The local video file by the one rule of LocalVideoResolver, with the toast's stages.
    static QCoro::Task<QUrl> videoFile(WallpaperApplyRequest request, ApplyToast toast);
    // The desktop video, the counter and recents, and the still picture, in one turn; the notice
    // the toast ends with when it tells that only the still picture could be set, or that the
    // video cannot be seen.
    QCoro::Task<std::optional<QString>> applyToDesktop(WallpaperApplyRequest request, QUrl file, DesktopClaim claim, ApplyToast toast);
    QCoro::Task<> installLockScreen(WallpaperApplyRequest request, QUrl file, ApplyToast toast);
    // The counter bump in a task of its own, and the recents entry through the signal.
    void recordApply(const WallpaperApplyRequest& request);
    // Once a newer choice from any surface took every display of the apply whose toast it is,
    // that toast is withdrawn: it would speak for a replaced apply.
    void withdrawReplacedToast();

    NotificationManager& notificationManager_;
    const Delays delays_;
    const ApplyToast::Owner toastOwner_;
    quint64 lastTicket_ = 0;
    AsyncFifoLock desktopTurns_;
};
