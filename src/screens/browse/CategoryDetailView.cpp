#include "screens/browse/CategoryDetailView.h"

#include "screens/browse/HeroBackdrop.h"
#include "state/AnalyticsSignals.h"
#include "state/AppStore.h"
#include "state/ExploreWallpapersService.h"
#include "state/NotificationManager.h"
#include "ui/BackButton.h"
#include "ui/BrowseContext.h"
#include "ui/EscapeKeyFilter.h"
#include "ui/FilterChip.h"
#include "ui/LazyGridView.h"
#include "ui/LoadingWallpapersRow.h"
#include "ui/MainWrapper.h"
#include "ui/NotificationToast.h"
#include "ui/NotificationToastOverlay.h"
#include "ui/OverscrollStretch.h"
#include "ui/PlaceholderPosterCard.h"
#include "ui/PosterCardView.h"
#include "ui/ScreenMessageView.h"
#include "ui/SheetHost.h"
#include "ui/TextLabel.h"
#include "ui/Theme.h"

#include <QHBoxLayout>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

namespace {
constexpr qreal kHeroShare = 0.45;

// The caption over the page's title ("CATEGORY", "SECTION", ...).
QWidget* titleBlock(const CategoryDetailController& page, QWidget* parent)
{
    auto* block = new QWidget(parent);
    auto* column = new QVBoxLayout(block);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(4);
    const Qt::Alignment align = page.isLockScreen() ? Qt::AlignHCenter : Qt::AlignLeft;
    column->addWidget(new TextLabel(page.caption(), Theme::font(Theme::TextStyle::Body, QFont::Normal),
                          Theme::withOpacity(Qt::white, 0.7), block),
        0, align);
    column->addWidget((new TextLabel(page.item().title(), Theme::systemFont(36, QFont::Bold),
                           Theme::withOpacity(Qt::white, 0.9), block))
                          ->elided(),
        0, align);
    return block;
}
} // namespace

CategoryDetailView::CategoryDetailView(const CategoryNavigationItem& item, BrowseContext* context, Hooks hooks,
    QWidget* parent)
    : QWidget(parent),
      controller_(new CategoryDetailController(item, ExploreWallpapersService::shared(), AppStore::shared(),
          hooks.sendSignal ? hooks.sendSignal
                           : [](const QString& name, const QHash<QString, QString>& parameters) {
                                 AnalyticsSignals::shared().send(name, parameters);
                             },
          this)),
      context_(new BrowseContext(context, this)), hooks_(std::move(hooks)), scroll_(new QScrollArea(this)),
      back_(new BackButton)
{
    setMinimumHeight(kMinimumHeight);
    setPalette(Theme::palette());
    setAutoFillBackground(true);
    for (int i = 0; i < kPlaceholderCount; ++i)
        placeholderKeys_.append(QUuid::createUuid());

    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setWidgetResizable(true);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* content = new QWidget;
    auto* stack = new QVBoxLayout(content);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    if (controller_->isLockScreen()) {
        stack->addWidget(buildHero());
        connect(new OverscrollStretch(scroll_), &OverscrollStretch::pullChanged, hero_, &HeroBackdrop::setPull);
    }
    stack->addWidget(new MainWrapper(buildColumn(), 50, 120,
        controller_->isLockScreen() ? MainWrapperStyle::Home : MainWrapperStyle::Standard));
    stack->addStretch();
    scroll_->setWidget(content);

    new NotificationToastOverlay(NotificationManager::shared(), this);
    // The button rides in the scrolled content and is moved back by every scroll: a control laid
    // over the scroll area would stop Qt from scrolling by copying pixels and make every frame
    // repaint the whole page.
    back_->setParent(content);
    const auto pin = [this](int offset) {
        back_->move(kBackButtonLeading, kBackButtonTop + offset);
        back_->raise();
    };
    pin(0);
    connect(scroll_->verticalScrollBar(), &QScrollBar::valueChanged, back_, pin);
    connect(back_, &BackButton::clicked, this, [this] {
        if (hooks_.dismiss)
            hooks_.dismiss();
    });

    connect(controller_, &CategoryDetailController::wallpapersChanged, this, &CategoryDetailView::showGrid);
    connect(controller_, &CategoryDetailController::loadingChanged, this, [this] {
        loadingMore_->setVisible(controller_->isLoadingMorePages());
        showGrid();
    });
    connect(controller_, &CategoryDetailController::loadFailureChanged, this, &CategoryDetailView::showMessage);
    connect(controller_, &CategoryDetailController::selectedFilterChanged, this, [this] {
        for (FilterChip* chip : std::as_const(chips_))
            chip->setSelected(chip->title() == CategoryFilters::rawValue(controller_->selectedFilter()));
    });
    connect(grid_, &LazyGridView::cellAppeared, this, [this](int index) {
        if (!showingPlaceholders_)
            controller_->loadMoreIfNeeded(index);
    });
    connect(context_, &BrowseContext::selectedWallpaperChanged, this, &CategoryDetailView::followSelection);
    connect(context_, &BrowseContext::windowSizeChanged, this, &CategoryDetailView::followWindowSize);
    showGrid();
}

QWidget* CategoryDetailView::buildHero()
{
    hero_ = new HeroBackdrop;
    const auto followStats = [hero = hero_] {
        const auto& stats = AppStore::shared().platformStats();
        hero->setVideoAddress(stats ? stats->lockscreenPageVideo : std::nullopt);
    };
    followStats();
    connect(&AppStore::shared(), &AppStore::platformStatsChanged, hero_, followStats);
    // The title sits under a spacer of 0.38 of the hero's height, the two centred together.
    auto* overlay = new QVBoxLayout(hero_);
    overlay->setContentsMargins(50, 0, 50, 40);
    overlay->setSpacing(0);
    overlay->addStretch();
    heroSpacer_ = new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Fixed);
    overlay->addSpacerItem(heroSpacer_);
    overlay->addWidget(titleBlock(*controller_, hero_));
    overlay->addStretch();
    followWindowSize();
    return hero_;
}

QWidget* CategoryDetailView::buildColumn()
{
    const bool lockScreen = controller_->isLockScreen();
    auto* column = new QWidget;
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(30);
    layout->addSpacing(2);
    if (!lockScreen)
        layout->addWidget(titleBlock(*controller_, column));
    if (controller_->showsChips()) {
        auto* row = new QHBoxLayout;
        row->setContentsMargins(0, 0, 0, 10);
        row->setSpacing(12);
        for (CategoryFilter filter : CategoryFilters::kAll) {
            auto* chip = new FilterChip(CategoryFilters::rawValue(filter), filter == controller_->selectedFilter(), column);
            connect(chip, &FilterChip::clicked, controller_, [this, filter] { controller_->selectFilter(filter); });
            chips_.append(chip);
            row->addWidget(chip);
        }
        row->addStretch();
        layout->addLayout(row);
    }
    grid_ = new LazyGridView(LazyGridView::Orientation::Vertical, column);
    grid_->setColumns(3);
    grid_->setSpacing(lockScreen ? 12 : 24, lockScreen ? 12 : 24);
    grid_->setContentsMargins(0, 5, 0, 0);
    layout->addWidget(grid_);
    message_ = new ScreenMessageView(column);
    message_->setContentsMargins(0, 40, 0, 40);
    message_->hide();
    connect(message_, &ScreenMessageView::actionClicked, controller_, &CategoryDetailController::retry);
    layout->addWidget(message_);
    loadingMore_ = new LoadingWallpapersRow(column);
    loadingMore_->hide();
    layout->addWidget(loadingMore_);
    if (lockScreen) {
        auto* note = new TextLabel(tr("More lockscreen exclusive wallpapers coming soon, stay tuned!"),
            Theme::font(Theme::TextStyle::Body, QFont::Normal), Theme::withOpacity(Qt::white, 0.38), column);
        note->setAlignment(Qt::AlignCenter);
        note->setContentsMargins(0, 48, 0, 40);
        layout->addWidget(note);
    }
    return column;
}

FilterChip* CategoryDetailView::chip(CategoryFilter filter) const
{
    for (FilterChip* chip : chips_) {
        if (chip->title() == CategoryFilters::rawValue(filter))
            return chip;
    }
    return nullptr;
}

void CategoryDetailView::showMessage()
{
    // Only a page with nothing else to show speaks: cards still held say more than the failure
    // of a reload, and loading cards are an answer of their own.
    const bool nothing = controller_->wallpapers().isEmpty() && !controller_->isLoadingInitial();
    const std::optional<QString>& failure = controller_->loadFailure();
    if (nothing && failure) {
        message_->setMessage(ScreenMessageView::Message::failure(tr("Failed to load wallpapers"), *failure,
            tr("Try Again")));
    } else if (const ExploreWallpapersCacheData held = controller_->currentCacheData();
               nothing && held.isLoaded && held.loadedWallpapers.isEmpty()) {
        message_->setMessage(ScreenMessageView::Message::empty(QStringLiteral("photo.on.rectangle.angled"),
            tr("No wallpapers here yet"), tr("New wallpapers arrive often. Check back soon.")));
    } else {
        message_->hide();
        return;
    }
    message_->show();
}

void CategoryDetailView::showGrid()
{
    showMessage();
    const bool placeholders = controller_->showsPlaceholders();
    if (placeholders) {
        if (!showingPlaceholders_) {
            showingPlaceholders_ = true;
            grid_->setKeys({});
            grid_->setCellFactory([](int) { return new PlaceholderPosterCard(false); });
            grid_->setCellUpdater({});
            grid_->setKeys(placeholderKeys_);
        }
        return;
    }
    if (showingPlaceholders_) {
        showingPlaceholders_ = false;
        grid_->setKeys({});
    }
    const bool lockScreen = controller_->isLockScreen();
    PosterCardView::Options options;
    options.autoplayPreviewWhenVisible = lockScreen;
    options.emphasizedBorder = lockScreen;
    options.usePreviewHdForCard = lockScreen;
    // The factory reads the list as it stands when a cell is made.
    grid_->setCellFactory([this, options](int index) -> QWidget* {
        return new PosterCardView(controller_->wallpapers().at(index), options, context_);
    });
    grid_->setCellUpdater(
        [this](QWidget* cell, int index) { PosterCardView::refresh(cell, controller_->wallpapers().at(index)); });
    QList<QUuid> keys;
    keys.reserve(controller_->wallpapers().size());
    for (const WallpaperModel& wallpaper : controller_->wallpapers())
        keys.append(wallpaper.id);
    grid_->setKeys(keys);
}

void CategoryDetailView::appeared()
{
    // Like every other pushed page, Escape goes back, unless a sheet over the window has it.
    EscapeKeyFilter::shared().add(this, [this] {
        if (window()->isActiveWindow() && !SheetHost::isSheetOpenIn(window()) && hooks_.dismiss)
            hooks_.dismiss();
    });
    if (opened_)
        return;
    opened_ = true;
    controller_->pageOpened();
}

void CategoryDetailView::disappeared() { EscapeKeyFilter::shared().remove(this); }

void CategoryDetailView::followSelection()
{
    const bool selected = context_->selectedWallpaper().has_value();
    context_->setCardsShouldPause(selected);
    if (hero_)
        hero_->setVideoPlaying(!selected);
}

int CategoryDetailView::heroHeight() const { return qRound(kHeroShare * context_->windowSizeOrFallback().height()); }

void CategoryDetailView::followWindowSize()
{
    if (!hero_)
        return;
    hero_->setFixedHeight(heroHeight());
    heroSpacer_->changeSize(0, int(0.38 * heroHeight()), QSizePolicy::Minimum, QSizePolicy::Fixed);
    hero_->layout()->invalidate();
}

void CategoryDetailView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    scroll_->setGeometry(rect());
}
