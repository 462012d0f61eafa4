#pragma once

#include "engine/ApplyToast.h"
#include "model/WallpaperModel.h"
#include "screens/detail/WallpaperFullscreenApplyTarget.h"
#include "ui/PressableWidget.h"

#include <QPointer>

#include <optional>

class FloatingNote;
class LikedWallpapersService;
class LockScreenService;
class MonitorPickerPopoverContent;
class PopoverHost;
class Screens;

// The foot bar's main button, a white capsule: "Set Wallpaper" opens the display picker,
// "Set lockscreen" applies a lock-screen wallpaper at once, "Remove Wallpaper" removes the shown
// one, and while an apply runs (disabled) the apply's stage: "Downloading...", "Applying...",
// "Setting Lock Screen". A lock-screen wallpaper is disabled while the lock-screen feature is
// off, and hovering it then explains where to turn it on. Choosing from the picker also saves the wallpaper to the liked list (no like counted).
// The control applies nothing itself: its owner does, on its signals. GUI thread.
class FootBarApplyControl : public PressableWidget {
    Q_OBJECT

public:
    struct Actions {
        bool applyToAll = false;     // the picker offers "All"
        bool lockScreenOnly = false; // the tap applies to the lock screen at once
    };

    FootBarApplyControl(const WallpaperModel& wallpaper, Actions actions, QWidget* parent = nullptr);
    FootBarApplyControl(const WallpaperModel& wallpaper, Actions actions, LockScreenService& lockScreen, Screens& screens,
        LikedWallpapersService& liked, QWidget* parent = nullptr);

    // The stage of the apply under way, or none.
    void setApplying(std::optional<ApplyToast::Stage> stage);
    void setWallpaperApplied(bool applied);

    QString label() const;
    // Disabled for lock-screen wallpapers while the feature is off.
    bool isGated() const;
    qreal fillOpacity() const;
    qreal buttonOpacity() const;
    // Open popovers, or null.
    MonitorPickerPopoverContent* picker() const;
    FloatingNote* hint() const { return hint_; }
    bool isHintShown() const;

    QSize sizeHint() const override;

Q_SIGNALS:
    // Apply to the display at `index`, or remove (both absent).
    void rightButtonTapped(std::optional<int> index, std::optional<WallpaperFullscreenApplyTarget> target);
    void applyToAllRequested(WallpaperFullscreenApplyTarget target);
    void lockScreenOnlyRequested();

protected:
    bool hitTest(const QPointF& point) const override;
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QString labelFor(std::optional<ApplyToast::Stage> applying, bool applied) const;
    void tap();
    void openPicker();
    void chose();
    void followState();
    void showHint(bool show);
    bool isLockScreenWallpaper() const;

    const WallpaperModel wallpaper_;
    const Actions actions_;
    LockScreenService& lockScreen_;
    Screens& screens_;
    LikedWallpapersService& liked_;
    std::optional<ApplyToast::Stage> applying_;
    bool applied_ = false;
    PopoverHost* pickerHost_;
    FloatingNote* hint_;
};
