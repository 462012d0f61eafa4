#include "screens/detail/MonitorPickerPopoverContent.h"

#include "engine/LockScreenService.h"
#include "platform/Screens.h"
#include "screens/detail/FullscreenApplyTargetChip.h"
#include "screens/detail/MonitorCardView.h"
#include "ui/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>

namespace {
QString chipTitle(WallpaperFullscreenApplyTarget target)
{
    switch (target) {
    case WallpaperFullscreenApplyTarget::both:
        return MonitorPickerPopoverContent::tr("Both");
    case WallpaperFullscreenApplyTarget::desktop:
        return MonitorPickerPopoverContent::tr("Desktop");
    case WallpaperFullscreenApplyTarget::lockScreen:
        return MonitorPickerPopoverContent::tr("Lockscreen");
    }
    return {};
}
} // namespace

MonitorPickerPopoverContent::MonitorPickerPopoverContent(Screens& screens, LockScreenService& lockScreen, bool offersApplyToAll,
    QWidget* parent)
    : MonitorPickerPopoverContent(screens, lockScreen, offersApplyToAll, CardLayout{}, parent)
{
}

MonitorPickerPopoverContent::MonitorPickerPopoverContent(Screens& screens, LockScreenService& lockScreen, bool offersApplyToAll,
    CardLayout cards, QWidget* parent)
    : QWidget(parent), screens_(screens), lockScreen_(lockScreen), cardLayout_(cards), scroll_(new QScrollArea(this)),
      row_(new QWidget), rowLayout_(new QHBoxLayout(row_))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(3, 3, 3, 3);
    layout->setSpacing(10);

    auto* chipRow = new QHBoxLayout;
    chipRow->setContentsMargins(2, 0, 2, 0);
    chipRow->setSpacing(8);
    for (WallpaperFullscreenApplyTarget target : WallpaperFullscreenApplyTargets::all()) {
        auto* chip = new FullscreenApplyTargetChip(chipTitle(target), this);
        connect(chip, &FullscreenApplyTargetChip::clicked, this, [this, target] { select(target); });
        chips_.append(chip);
        chipRow->addWidget(chip);
    }
    chipRow->addStretch();
    layout->addLayout(chipRow);

    auto* header = new QHBoxLayout;
    auto* title = new QLabel(tr("Choose display"), this);
    title->setFont(Theme::systemFont(12, QFont::DemiBold));
    title->setContentsMargins(4, 0, 4, 0);
    QPalette palette = title->palette();
    palette.setColor(QPalette::WindowText, Theme::withOpacity(Qt::white, 0.9));
    title->setPalette(palette);
    header->addWidget(title);
    header->addStretch();
    if (offersApplyToAll) {
        allButton_ = new FullscreenApplyTargetChip(tr("All"), this);
        connect(allButton_, &FullscreenApplyTargetChip::clicked, this, [this] { Q_EMIT applyToAllRequested(selectedTarget_); });
        header->addWidget(allButton_);
    }
    layout->addLayout(header);

    rowLayout_->setContentsMargins(6, 2, 6, 2);
    rowLayout_->setSpacing(cardLayout_.spacing);
    rowLayout_->setSizeConstraint(QLayout::SetFixedSize);
    scroll_->setWidget(row_);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setFixedHeight(cardLayout_.height + 4);
    // The popover's glass shows through the row.
    scroll_->viewport()->setAutoFillBackground(false);
    row_->setAutoFillBackground(false);
    layout->addWidget(scroll_);

    rebuildCards();
    followLockScreen();
    connect(&lockScreen_, &LockScreenService::isEnabledChanged, this, [this] {
        if (isVisible())
            followLockScreen();
    });
    connect(&screens_, &Screens::parametersChanged, this, &MonitorPickerPopoverContent::rebuildCards);
}

int MonitorPickerPopoverContent::maximumWidthFor(int count, const CardLayout& cards)
{
    const int wanted = count * cards.width + std::max(count - 1, 0) * cards.spacing + 40;
    return std::max(kMinWidth, std::min(wanted, kMaxWidth));
}

QSize MonitorPickerPopoverContent::sizeHint() const
{
    const int count = int(cards_.size());
    const int ideal = std::max(QWidget::sizeHint().width(), row_->sizeHint().width() + 6);
    const int width = std::clamp(ideal, kMinWidth, maximumWidthFor(count, cardLayout_));
    return {width, QWidget::sizeHint().height()};
}

void MonitorPickerPopoverContent::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    followLockScreen();
}

void MonitorPickerPopoverContent::followLockScreen()
{
    const bool enabled = lockScreen_.isEnabled();
    for (int i = 0; i < chips_.size(); ++i)
        chips_[i]->setEnabled(enabled || WallpaperFullscreenApplyTargets::all()[i] == WallpaperFullscreenApplyTarget::desktop);
    select(enabled ? WallpaperFullscreenApplyTarget::both : WallpaperFullscreenApplyTarget::desktop);
}

void MonitorPickerPopoverContent::select(WallpaperFullscreenApplyTarget target)
{
    selectedTarget_ = target;
    for (int i = 0; i < chips_.size(); ++i)
        chips_[i]->setSelected(WallpaperFullscreenApplyTargets::all()[i] == target);
}

void MonitorPickerPopoverContent::rebuildCards()
{
    qDeleteAll(cards_);
    cards_.clear();
    const QList<ScreenInfo> screens = screens_.screens();
    const std::optional<ScreenInfo> main = screens_.mainScreen();
    for (int index = 0; index < screens.size(); ++index) {
        auto* card = new MonitorCardView(screens[index].localizedName, main && *main == screens[index],
            QSize(cardLayout_.width, cardLayout_.height), row_);
        connect(card, &MonitorCardView::clicked, this, [this, index] { Q_EMIT monitorSelected(index, selectedTarget_); });
        cards_.append(card);
        rowLayout_->addWidget(card);
    }
    row_->adjustSize();
    updateGeometry();
    if (QWidget* popup = window(); popup != this && popup->isVisible())
        popup->adjustSize();
}
