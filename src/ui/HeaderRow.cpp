#include "ui/HeaderRow.h"

#include "state/HomePageService.h"
#include "ui/AppLogo.h"
#include "ui/HeaderBackdrop.h"
#include "ui/TopNavigationBar.h"

#include <QEvent>
#include <QGraphicsOpacityEffect>

#include <algorithm>

HeaderRow::HeaderRow(HomePageService& homePage, QWidget* trailing, QWidget* parent)
    : QWidget(parent), homePage_(homePage), logo_(new AppLogo(this)), bar_(new TopNavigationBar(AppTab::Home, this)),
      trailing_(trailing), fade_(new QGraphicsOpacityEffect(this)), backdrop_(new HeaderBackdrop(parent))
{
    setAttribute(Qt::WA_TranslucentBackground);
    if (trailing_)
        trailing_->setParent(this);
    setGraphicsEffect(fade_);
    parent->installEventFilter(this);
    connect(bar_, &TopNavigationBar::selectedTabChanged, this, &HeaderRow::follow);
    connect(&homePage_, &HomePageService::isShowingLoaderChanged, this, &HeaderRow::follow);
    connect(&presentation_, &AnimatedValue::valueChanged, this, &HeaderRow::place);
    connect(&presentation_, &QAbstractAnimation::finished, this, [this] {
        setVisible(wanted_);
        backdrop_->setVisible(wanted_);
    });

    wanted_ = !(bar_->selectedTab() == AppTab::Home && homePage_.isShowingLoader());
    presentation_.setValue(wanted_ ? 1 : 0);
    setVisible(wanted_);
    backdrop_->setVisible(wanted_);
    backdrop_->raise();
    raise();
    place();
}

void HeaderRow::follow()
{
    const bool wanted = !(bar_->selectedTab() == AppTab::Home && homePage_.isShowingLoader());
    if (wanted == wanted_)
        return;
    wanted_ = wanted;
    if (wanted) {
        show();
        backdrop_->show();
    }
    presentation_.animateTo(wanted ? 1 : 0, AnimatedValue::Curve());
}

bool HeaderRow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        place();
    return QWidget::eventFilter(watched, event);
}

// Away, the row sits just above the top edge; on the way it moves and fades together.
void HeaderRow::place()
{
    const int height = std::max({logo_->sizeHint().height(), bar_->sizeHint().height(),
        trailing_ ? trailing_->sizeHint().height() : 0});
    const qreal shown = std::clamp(presentation_.value(), 0.0, 1.0);
    const int top = qRound(-height + (kTop + height) * presentation_.value());
    setGeometry(0, top, parentWidget()->width(), height);
    backdrop_->setRowBottom(top + height);
    fade_->setOpacity(shown);
    // The effect renders the row offscreen; at rest in place it is not needed.
    fade_->setEnabled(shown < 1);
}

void HeaderRow::resizeEvent(QResizeEvent*)
{
    const auto centred = [this](QWidget* widget, int x, QSize size) {
        widget->setGeometry(x, (height() - size.height()) / 2, size.width(), size.height());
    };
    const int barWidth = bar_->sizeHint().width();
    centred(bar_, (width() - barWidth) / 2, bar_->sizeHint());
    // In a narrow window the name would run into the tab bar: the picture stands alone there.
    const QSize logo = logo_->sizeHint();
    const bool named = logo.width() <= (width() - barWidth) / 2 - kSpacing - kSidePadding;
    centred(logo_, kSidePadding, named ? logo : logo_->compactSizeHint());
    // The trailing controls take the whole width right of the bar, as the logo's side does left.
    if (trailing_) {
        const int x = (width() + barWidth) / 2 + kSpacing;
        const int height = trailing_->sizeHint().height();
        trailing_->setGeometry(x, (this->height() - height) / 2, std::max(0, width() - kSidePadding - x), height);
    }
}
