#pragma once

#include "engine/ApplyToast.h"
#include "model/WallpaperModel.h"
#include "screens/detail/WallpaperFullscreenApplyTarget.h"

#include <QObject>
#include <QSet>
#include <QUrl>

#include <optional>

struct WallpaperApplyRequest;

// What the full-screen view does with its wallpaper: apply it to every display or one, to the
// desktop, the lock screen or both, or the lock screen alone; remove it from the display that
// shows it; and keep the view's apply state (running, progress, last error, shown now). The apply
// itself is the apply service's, which reports progress in the toast; a failure lands in
// applyError and in the toast, never nowhere. An apply runs to its end in the service even when
// the view goes first; only the state updates are skipped then, its failure is still told.
// GUI thread; owned by the view.
class FullScreenApplier : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isApplyingWallpaper READ isApplyingWallpaper NOTIFY stateChanged)
    Q_PROPERTY(bool isWallpaperApplied READ isWallpaperApplied NOTIFY stateChanged)

public:
    static constexpr const char* kIncompleteError = QT_TR_NOOP("Wallpaper information is incomplete");

    // How an apply failed: its description, whether it was for want of room on the disk, and
    // whether a newer choice replaced it (no failure the user is told of).
    struct Failure {
        QString description;
        bool outOfSpace = false;
        bool replaced = false;
    };

    struct Options {
        bool isCustom = false;                 // one of the user's own videos
        bool lockScreenExclusiveApply = false; // opened from the lock-screen exclusives
    };

    FullScreenApplier(const WallpaperModel& wallpaper, Options options, QObject* parent = nullptr);

    const WallpaperModel& wallpaper() const { return wallpaper_; }
    const Options& options() const { return options_; }
    // The record's master video, or the asset host's for its key; none without either.
    std::optional<QUrl> masterVideoUrl() const;
    // The record is applied to the lock screen only: it gets no every-display apply.
    bool isLockScreenOnly() const { return options_.lockScreenExclusiveApply || wallpaper_.forLockscreen; }

    bool isApplyingWallpaper() const { return isApplying_; }
    // How far the apply under way has got, as its toast says (even once another toast shows).
    ApplyToast::Stage applyStage() const { return applyStage_; }
    double downloadProgress() const { return downloadProgress_; }
    const std::optional<QString>& applyError() const { return applyError_; }
    bool isWallpaperApplied() const { return isApplied_; }

    // Re-reads whether a desktop shows this wallpaper's key.
    void refreshAppliedState();
    // The foot bar's main action: removes an applied wallpaper, otherwise applies to the display
    // given (the desktop when no target is given); without a display nothing happens.
    void applyFromFullScreen(std::optional<int> screenIndex, std::optional<WallpaperFullscreenApplyTarget> target);
    // One display, or every display without an index.
    void applyToTarget(std::optional<int> screenIndex, WallpaperFullscreenApplyTarget target);
    void applyToLockScreenOnly();
    // One display: every desktop video stops and the saved wallpaper is forgotten. Several: only
    // the display that shows this key stops (the main one first).
    void removeAppliedWallpaper();

Q_SIGNALS:
    void stateChanged();

private:
    enum class Kind { display, lockScreenOnly };
    struct Run {
        Kind kind;
        WallpaperFullscreenApplyTarget target;
        int screenCount;
    };

    void start(WallpaperApplyRequest request, Run run);
    void succeeded(const Run& run);
    void failed(const Failure& failure);
    // Refuses a record it cannot apply, in the state and the toast.
    void refuseIncomplete(Kind kind);
    // The failure in a toast of its own and the log: the view may be gone, the user is not.
    static void tellFailure(const QString& title, Kind kind, const Failure& failure);
    void sendAnalytics(const Run& run) const;
    void setState(bool applying, double progress, std::optional<QString> error);

    const WallpaperModel wallpaper_;
    const Options options_;
    bool isApplying_ = false;
    ApplyToast::Stage applyStage_ = ApplyToast::Stage::applying;
    double downloadProgress_ = 0;
    std::optional<QString> applyError_;
    bool isApplied_ = false;
};
