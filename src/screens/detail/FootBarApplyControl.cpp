#include "screens/detail/FootBarApplyControl.h"

#include "engine/LockScreenService.h"
#include "engine/WallpaperApplyService.h"
#include "library/LikedWallpapersService.h"
#include "platform/Screens.h"
#include "screens/detail/FloatingNote.h"
#include "screens/detail/MonitorPickerPopoverContent.h"
#include "ui/GlassBackground.h"
#include "ui/PopoverHost.h"
#include "ui/Theme.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace {
constexpr int kPaddingX = 24;
constexpr int kPaddingY = 8;
constexpr qreal kCapsule = 999;
constexpr int kHintMaxWidth = 280;

QFont labelFont() { return Theme::font(Theme::TextStyle::Body); }
} // namespace

FootBarApplyControl::FootBarApplyControl(const WallpaperModel& wallpaper, Actions actions, QWidget* parent)
    : FootBarApplyControl(wallpaper, actions, LockScreenService::shared(), Screens::shared(), LikedWallpapersService::shared(), parent)
{
}

FootBarApplyControl::FootBarApplyControl(const WallpaperModel& wallpaper, Actions actions, LockScreenService& lockScreen,
    Screens& screens, LikedWallpapersService& liked, QWidget* parent)
    : PressableWidget(AnimatedValue::Curve::easeInOut(150), parent), wallpaper_(wallpaper), actions_(actions),
      lockScreen_(lockScreen), screens_(screens), liked_(liked), pickerHost_(new PopoverHost(this)),
      hint_(new FloatingNote(tr("Enable lockscreen from app settings."), Theme::systemFont(13), QMargins(12, 12, 12, 12),
          kHintMaxWidth, this, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowTransparentForInput))
{
    setObjectName(QStringLiteral("setWallpaperButton"));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(this, &PressableWidget::clicked, this, &FootBarApplyControl::tap);
    connect(&lockScreen_, &LockScreenService::isEnabledChanged, this, &FootBarApplyControl::followState);
    followState();
}

void FootBarApplyControl::setApplying(std::optional<ApplyToast::Stage> stage)
{
    if (stage == applying_)
        return;
    applying_ = stage;
    followState();
}

void FootBarApplyControl::setWallpaperApplied(bool applied)
{
    if (applied == applied_)
        return;
    applied_ = applied;
    followState();
}

bool FootBarApplyControl::isLockScreenWallpaper() const { return actions_.lockScreenOnly || wallpaper_.forLockscreen; }

bool FootBarApplyControl::isGated() const { return !applied_ && isLockScreenWallpaper() && !lockScreen_.isEnabled(); }

QString FootBarApplyControl::label() const { return labelFor(applying_, applied_); }

QString FootBarApplyControl::labelFor(std::optional<ApplyToast::Stage> applying, bool applied) const
{
    // The apply's own words, the toast's, to its very end: the desktop's end, then the
    // lock-screen install and its end.
    if (applying) {
        switch (*applying) {
        case ApplyToast::Stage::downloading:
            return WallpaperApplyService::downloadingMessage();
        case ApplyToast::Stage::applied:
            return WallpaperApplyService::appliedMessage();
        case ApplyToast::Stage::lockScreen:
            return WallpaperApplyService::settingLockScreenMessage();
        case ApplyToast::Stage::lockScreenSet:
            return WallpaperApplyService::lockScreenSetMessage();
        case ApplyToast::Stage::notice:
        case ApplyToast::Stage::applying:
        case ApplyToast::Stage::downloaded:
            return WallpaperApplyService::applyingMessage();
        }
    }
    if (applied)
        return tr("Remove Wallpaper");
    if (isLockScreenWallpaper())
        return tr("Set lockscreen");
    return tr("Set Wallpaper");
}

qreal FootBarApplyControl::fillOpacity() const
{
    if (applying_)
        return 0.5;
    if (isGated())
        return 0.45;
    return 1.0 - 0.1 * hoverAmount();
}

qreal FootBarApplyControl::buttonOpacity() const
{
    if (applying_)
        return 0.9;
    if (isPressed())
        return 0.65;
    return 1.0 - 0.15 * hoverAmount();
}

MonitorPickerPopoverContent* FootBarApplyControl::picker() const
{
    return pickerHost_->isVisible() ? qobject_cast<MonitorPickerPopoverContent*>(pickerHost_->content()) : nullptr;
}

bool FootBarApplyControl::isHintShown() const { return hint_->isVisible(); }

// As wide as the widest label the button can show, so the bar does not shift while an apply runs
// and the button's text changes under the pointer.
QSize FootBarApplyControl::sizeHint() const
{
    const QFontMetrics metrics(labelFont());
    int widest = 0;
    const std::optional<ApplyToast::Stage> stages[] = {std::nullopt, ApplyToast::Stage::applying, ApplyToast::Stage::downloading,
        ApplyToast::Stage::applied, ApplyToast::Stage::lockScreen, ApplyToast::Stage::lockScreenSet};
    for (const std::optional<ApplyToast::Stage> applying : stages)
        for (const bool applied : {false, true})
            widest = std::max(widest, metrics.horizontalAdvance(labelFor(applying, applied)));
    return {widest + 2 * kPaddingX, metrics.height() + 2 * kPaddingY};
}

bool FootBarApplyControl::hitTest(const QPointF& point) const { return GlassBackground::shape(QRectF(rect()), kCapsule).contains(point); }

void FootBarApplyControl::followState()
{
    // Disabling clears a hover that was under way (PressableWidget); the hint is for the gate only.
    setEnabled(!applying_ && !isGated());
    if (!isGated() || applying_)
        showHint(false);
    setFixedSize(sizeHint());
    update();
}

void FootBarApplyControl::tap()
{
    if (applied_) {
        Q_EMIT rightButtonTapped(std::nullopt, std::nullopt);
    } else if (actions_.lockScreenOnly) {
        Q_EMIT lockScreenOnlyRequested();
    } else if (!wallpaper_.forLockscreen) {
        openPicker();
    }
}

void FootBarApplyControl::openPicker()
{
    auto* content = new MonitorPickerPopoverContent(screens_, lockScreen_, actions_.applyToAll);
    connect(content, &MonitorPickerPopoverContent::monitorSelected, this, [this](int index, WallpaperFullscreenApplyTarget target) {
        chose();
        Q_EMIT rightButtonTapped(index, target);
        pickerHost_->close();
    });
    connect(content, &MonitorPickerPopoverContent::applyToAllRequested, this, [this](WallpaperFullscreenApplyTarget target) {
        chose();
        Q_EMIT applyToAllRequested(target);
        pickerHost_->close();
    });
    pickerHost_->setContent(content);
    pickerHost_->open(this);
}

void FootBarApplyControl::chose()
{
    // The wallpaper the user sets is one they keep: it joins the saved list, no like counted.
    if (!applied_)
        liked_.addWallpaper(wallpaper_, true);
}

void FootBarApplyControl::showHint(bool show)
{
    if (!show) {
        hint_->hide();
        return;
    }
    hint_->adjustSize();
    const QRect anchor(mapToGlobal(QPoint(0, 0)), size());
    hint_->move(PopoverHost::placement(anchor, hint_->size(), PopoverHost::availableArea(this)));
    hint_->show();
}

void FootBarApplyControl::enterEvent(QEnterEvent* event)
{
    PressableWidget::enterEvent(event);
    // A disabled button still hears the pointer come in; only the gate says something then.
    if (isGated() && !applying_)
        showHint(true);
}

void FootBarApplyControl::leaveEvent(QEvent* event)
{
    PressableWidget::leaveEvent(event);
    showHint(false);
}

void FootBarApplyControl::hideEvent(QHideEvent* event)
{
    PressableWidget::hideEvent(event);
    showHint(false);
}

void FootBarApplyControl::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(buttonOpacity());
    const QPainterPath capsule = GlassBackground::shape(QRectF(rect()), kCapsule);
    painter.fillPath(capsule, Theme::withOpacity(Qt::white, fillOpacity()));
    painter.setFont(labelFont());
    painter.setPen(Qt::black);
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, label());
}
