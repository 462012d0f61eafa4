#include "screens/browse/HomeCarouselSection.h"

#include "screens/browse/SectionTitleComponent.h"
#include "ui/BrowseContext.h"
#include "ui/LazyGridView.h"
#include "ui/NotificationToastOverlay.h"
#include "ui/PosterCardView.h"
#include "ui/SymbolButton.h"
#include "ui/Theme.h"

#include <QHBoxLayout>
#include <QScrollArea>
#include <QScrollBar>

#include <cmath>

namespace {
// Card frames are 37 wide for 21 high.
constexpr double kFrameAspect = 21.0 / 37.0;
constexpr qreal kChevronPointSize = 16;
} // namespace

HomeCarouselSection::HomeCarouselSection(const QString& title, const QString& subtitle, bool clickableTitle,
    bool showRank, int cardSpacing, BrowseContext* context, QWidget* parent)
    : QWidget(parent), showRank_(showRank), cardSpacing_(cardSpacing), context_(context),
      left_(new SymbolButton(QStringLiteral("chevron.left"), kChevronPointSize, Theme::withOpacity(Qt::white, 0.7))),
      right_(new SymbolButton(QStringLiteral("chevron.right"), kChevronPointSize, Theme::withOpacity(Qt::white, 0.7))),
      scroll_(new QScrollArea(this)), strip_(new QWidget), grid_(new LazyGridView(LazyGridView::Orientation::Horizontal, strip_))
{
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);

    auto* chevrons = new QWidget;
    auto* pair = new QHBoxLayout(chevrons);
    pair->setContentsMargins(0, 0, 0, 0);
    pair->setSpacing(8);
    pair->addWidget(left_);
    pair->addWidget(right_);
    // The chevrons sit at the row's right end, where a toast rests when the row is low in the
    // window: the user must still reach them.
    NotificationToastOverlay::keepClearOf(chevrons);
    heading_ = new SectionTitleComponent(title, subtitle, clickableTitle, chevrons, SectionTitleComponent::Size::Section, this);
    connect(heading_, &SectionTitleComponent::titleClicked, this, &HomeCarouselSection::titleClicked);
    connect(left_, &SymbolButton::clicked, this, &HomeCarouselSection::pageLeft);
    connect(right_, &SymbolButton::clicked, this, &HomeCarouselSection::pageRight);

    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->viewport()->setAutoFillBackground(false);
    scroll_->setWidget(strip_);
    strip_->setAutoFillBackground(false);
    grid_->setSpacing(cardSpacing_, 0);
    grid_->setCellFactory([this](int index) -> QWidget* {
        PosterCardView::Options options;
        if (showRank_)
            options.rank = index + 1;
        return new PosterCardView(wallpapers_.at(index), options, context_);
    });

    connect(&scrollValue_, &AnimatedValue::valueChanged, this,
        [this](double value) { scroll_->horizontalScrollBar()->setValue(int(std::lround(value))); });
    connect(&scrollValue_, &QAbstractAnimation::finished, this, [this] {
        scrolling_ = false;
        updateChevrons();
    });
    connect(scroll_->horizontalScrollBar(), &QScrollBar::valueChanged, this, [this] {
        if (scrolling_)
            return;
        scrolledByHand_ = true;
        target_ = leadingIndex(false);
        updateChevrons();
    });
    updateChevrons();
}

void HomeCarouselSection::setWallpapers(const QList<WallpaperModel>& wallpapers)
{
    wallpapers_ = wallpapers;
    QList<QUuid> keys;
    keys.reserve(wallpapers_.size());
    for (const WallpaperModel& wallpaper : wallpapers_)
        keys.append(wallpaper.id);
    grid_->setKeys(keys);
    target_ = std::clamp(target_, 0, std::max(0, int(wallpapers_.size()) - 1));
    resizeEvent(nullptr);
    updateChevrons();
}

int HomeCarouselSection::cardWidthFor(int width) const
{
    return std::max(0, (width - 2 * kBleed - 2 * cardSpacing_) / 3);
}

int HomeCarouselSection::rowHeightFor(int width) const
{
    return int(std::lround(cardWidthFor(width) * kFrameAspect));
}

int HomeCarouselSection::heightForWidth(int width) const
{
    return heading_->heightForWidth(std::max(1, width - 2 * kBleed)) + kHeadingSpacing + rowHeightFor(width);
}

QSize HomeCarouselSection::sizeHint() const
{
    const int width = this->width() > 0 ? this->width() : 1200;
    return {width, heightForWidth(width)};
}

void HomeCarouselSection::resizeEvent(QResizeEvent*)
{
    const int headingHeight = heading_->heightForWidth(std::max(1, width() - 2 * kBleed));
    heading_->setGeometry(kBleed, 0, std::max(0, width() - 2 * kBleed), headingHeight);
    const int rowHeight = rowHeightFor(width());
    grid_->setCellSize(QSize(cardWidthFor(width()), rowHeight));
    const QSize strip = grid_->sizeHint();
    grid_->setGeometry(kBleed, 0, strip.width(), rowHeight);
    strip_->resize(strip.width() + 2 * kBleed, rowHeight);
    scroll_->setGeometry(0, headingHeight + kHeadingSpacing, width(), rowHeight);
}

int HomeCarouselSection::offsetFor(int index) const
{
    // The start shows the leading spacer, which lines the first card up with the heading.
    if (index <= 0)
        return 0;
    return std::min(kBleed + index * (cardWidthFor(width()) + cardSpacing_), scroll_->horizontalScrollBar()->maximum());
}

int HomeCarouselSection::leadingIndex(bool roundUp) const
{
    const double step = cardWidthFor(width()) + cardSpacing_;
    if (step <= 0)
        return 0;
    const double position = (scroll_->horizontalScrollBar()->value() - kBleed) / step;
    const int index = int(roundUp ? std::ceil(position - 0.01) : std::floor(position + 0.01));
    return std::clamp(index, 0, std::max(0, int(wallpapers_.size()) - 1));
}

void HomeCarouselSection::pageLeft()
{
    const int from = std::exchange(scrolledByHand_, false) ? leadingIndex(true) : target_;
    scrollTo(std::max(from - 2, 0));
}

void HomeCarouselSection::pageRight()
{
    const int from = std::exchange(scrolledByHand_, false) ? leadingIndex(false) : target_;
    scrollTo(std::min(from + 2, int(wallpapers_.size()) - 1));
}

void HomeCarouselSection::scrollTo(int index)
{
    if (wallpapers_.isEmpty())
        return;
    target_ = index;
    scrolling_ = true;
    scrollValue_.setValue(scroll_->horizontalScrollBar()->value());
    scrollValue_.animateTo(offsetFor(index), AnimatedValue::Curve::easeInOut(kScrollMs));
    // Already there: no animation runs, so none ends to say so.
    if (scrollValue_.state() != QAbstractAnimation::Running)
        scrolling_ = false;
    updateChevrons();
}

void HomeCarouselSection::updateChevrons()
{
    const int count = int(wallpapers_.size());
    left_->setEnabled(count > 0 && (target_ > 0 || scroll_->horizontalScrollBar()->value() > 0));
    right_->setEnabled(count > 0 && target_ < count - 1);
}
