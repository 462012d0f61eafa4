#pragma once

#include "screens/detail/WallpaperFullscreenApplyTarget.h"

#include <QList>
#include <QPointer>
#include <QWidget>

class FullscreenApplyTargetChip;
class LockScreenService;
class MonitorCardView;
class QHBoxLayout;
class QScrollArea;
class Screens;

// The display picker of the apply control: the apply-target chips, "Choose display" with an
// "All" button (when every display may be chosen at once), and one card per display in a row
// that scrolls sideways without a scroll bar. A card or "All" reports the choice with the
// chosen target; the popover applies nothing and does not close itself. The target starts at
// "Both" when the lock-screen feature is on, else "Desktop", and follows the feature's switch.
// The cards follow the display list while the popover is open, so an index always names a
// display that is there. Between 250 and 720 wide. GUI thread.
class MonitorPickerPopoverContent : public QWidget {
    Q_OBJECT

public:
    struct CardLayout {
        int width = 224;
        int height = 126;
        int spacing = 10;
    };
    static constexpr int kMinWidth = 250;
    static constexpr int kMaxWidth = 720;

    // Cards of the foot bar's size.
    MonitorPickerPopoverContent(Screens& screens, LockScreenService& lockScreen, bool offersApplyToAll, QWidget* parent = nullptr);
    MonitorPickerPopoverContent(Screens& screens, LockScreenService& lockScreen, bool offersApplyToAll, CardLayout cards,
        QWidget* parent = nullptr);

    WallpaperFullscreenApplyTarget selectedTarget() const { return selectedTarget_; }
    QList<FullscreenApplyTargetChip*> chips() const { return chips_; }
    QList<MonitorCardView*> cards() const { return cards_; }
    // Null without the every-display choice.
    FullscreenApplyTargetChip* allButton() const { return allButton_; }
    // The widest the popover may be for `count` displays: the cards and their gaps plus 40,
    // at most 720, never below the 250 minimum (also with no display at all).
    static int maximumWidthFor(int count, const CardLayout& cards);

    QSize sizeHint() const override;

Q_SIGNALS:
    void monitorSelected(int index, WallpaperFullscreenApplyTarget target);
    void applyToAllRequested(WallpaperFullscreenApplyTarget target);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void followLockScreen();
    void select(WallpaperFullscreenApplyTarget target);
    void rebuildCards();

    Screens& screens_;
    LockScreenService& lockScreen_;
    const CardLayout cardLayout_;
    WallpaperFullscreenApplyTarget selectedTarget_ = WallpaperFullscreenApplyTarget::desktop;
    QList<FullscreenApplyTargetChip*> chips_;
    FullscreenApplyTargetChip* allButton_ = nullptr;
    QScrollArea* scroll_;
    QWidget* row_;
    QHBoxLayout* rowLayout_;
    QList<MonitorCardView*> cards_;
};
