#include "screens/browse/HomeView.h"

#include "backend/APIError.h"
#include "backend/APIService.h"
#include "foundation/AppError.h"
#include "foundation/Async.h"
#include "foundation/Log.h"
#include "screens/browse/CategoriesSection.h"
#include "screens/browse/CategoryNavigationItem.h"
#include "screens/browse/HeroThumbnailRow.h"
#include "screens/browse/HomeCarouselSection.h"
#include "screens/browse/HomeHeroCarousel.h"
#include "screens/browse/LoadingScreenView.h"
#include "state/AppStore.h"
#include "state/HomePageService.h"
#include "ui/BrowseContext.h"
#include "ui/FooterView.h"
#include "ui/MainWrapper.h"
#include "ui/NotificationToastOverlay.h"
#include "ui/OverscrollStretch.h"

#include <QAbstractScrollArea>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>

namespace {
const QString kType = QStringLiteral("HomeView");
constexpr int kCardSpacing = 20;
constexpr int kFooterTop = 40;
constexpr double kHeroOverlap = 0.6;

QString popularTitle() { return QObject::tr("Most Popular Wallpapers"); }
} // namespace

HomeView::Services HomeView::Services::shared()
{
    return {AppStore::shared(), HomePageService::shared(), APIService::shared(), kRetryMs};
}

HomeView::HomeView(BrowseContext* context, PageLinks links, std::function<void()> checkForUpdates, QWidget* parent)
    : HomeView(context, std::move(links), std::move(checkForUpdates), Services::shared(), parent)
{
}

HomeView::HomeView(BrowseContext* context, PageLinks links, std::function<void()> checkForUpdates,
    const Services& services, QWidget* parent)
    : QWidget(parent), context_(context), links_(std::move(links)), checkForUpdates_(std::move(checkForUpdates)),
      services_(services), sectionSpacing_(sectionSpacingFor(QGuiApplication::primaryScreen()
                                                   ? QGuiApplication::primaryScreen()->availableGeometry()
                                                   : QRect())),
      loading_(new LoadingScreenView(services.appStore, services.homePage, this))
{
    setMinimumHeight(kMinimumHeight);
    retryTimer_.setSingleShot(true);
    connect(&retryTimer_, &QTimer::timeout, this, &HomeView::startLoad);
    rebuild_.setSingleShot(true);
    connect(&rebuild_, &QTimer::timeout, this, &HomeView::rebuild);
    connect(loading_, &LoadingScreenView::retryRequested, this, &HomeView::retry);

    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(0, 0, 0, 0);
    page->setSpacing(0);
    page->addWidget(createFeed());

    AppStore& store = services_.appStore;
    HomePageService& home = services_.homePage;
    // Loads start again when the statistics come or go and when the feed's state changes.
    connect(&store, &AppStore::platformStatsChanged, this, &HomeView::startLoad);
    connect(&home, &HomePageService::isLoadedChanged, this, &HomeView::startLoad);
    // A feed load that ends without a feed is the page's to try again.
    connect(&home, &HomePageService::isLoadingChanged, this, [this] {
        if (!services_.homePage.isLoading())
            startLoad();
    });
    connect(&store, &AppStore::categoriesChanged, this, &HomeView::checkReadyState);
    connect(&home, &HomePageService::popularWallpapersChanged, this, &HomeView::checkReadyState);
    connect(&home, &HomePageService::isShowingLoaderChanged, this, &HomeView::followLoader);
    for (auto changed : {&AppStore::baseUrlChanged, &AppStore::categoriesChanged})
        connect(&store, changed, this, [this] { markDirty(true, true); });
    connect(&home, &HomePageService::heroCarouselChanged, this, [this] { markDirty(true, false); });
    for (auto changed : {&HomePageService::sectionsChanged, &HomePageService::popularWallpapersChanged, &HomePageService::isLoadedChanged})
        connect(&home, changed, this, [this] { markDirty(false, true); });
    if (context_)
        connect(context_, &BrowseContext::windowSizeChanged, this, &HomeView::followWindowSize);

    followWindowSize();
    followLoader();
    rebuild();
}

HomeView::~HomeView() = default;

QWidget* HomeView::createFeed()
{
    feed_ = new QWidget;
    hero_ = new HomeHeroCarousel(context_, feed_);
    thumbnails_ = new HeroThumbnailRow;
    connect(hero_, &HomeHeroCarousel::currentIndexChanged, thumbnails_, &HeroThumbnailRow::setSelectedIndex);
    connect(thumbnails_, &HeroThumbnailRow::picked, hero_, &HomeHeroCarousel::setCurrentIndex);
    thumbnails_->installEventFilter(this);
    NotificationToastOverlay::keepClearOf(thumbnails_);

    rowsColumn_ = new QVBoxLayout;
    rowsColumn_->setContentsMargins(0, 0, 0, 0);
    rowsColumn_->setSpacing(int(sectionSpacing_));

    categories_ = new CategoriesSection(services_.appStore, kCardSpacing);
    connect(categories_, &CategoriesSection::categoryTapped, this, [this](const CategoryItem& category) {
        if (!links_.openCategory)
            return;
        CategoryNavigationItem item;
        item.categoryId = int(category.id);
        item.categoryName = category.categoryName;
        links_.openCategory(item);
    });
    categoriesBlock_ = new MainWrapper(categories_, 50, 120, MainWrapperStyle::Home);
    footer_ = new FooterView;

    auto* column = new QVBoxLayout(feed_);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(int(sectionSpacing_));
    heroSpace_ = new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Fixed);
    column->addItem(heroSpace_);
    column->addWidget(thumbnails_);
    column->addLayout(rowsColumn_);
    column->addWidget(categoriesBlock_);
    auto* footerSpace = new QWidget;
    auto* footerColumn = new QVBoxLayout(footerSpace);
    footerColumn->setContentsMargins(0, kFooterTop, 0, 0);
    footerColumn->addWidget(footer_);
    column->addWidget(footerSpace);
    hero_->lower();
    return feed_;
}

qreal HomeView::sectionSpacingFor(QRect available)
{
    if (available.height() <= 0 || 0.8 * available.height() > 1000)
        return 60;
    return std::min(0.8 * available.height() * 0.065, 60.0);
}

int HomeView::retryDelayMs(int failures, int first)
{
    if (failures <= 0)
        return 0;
    const qint64 delay = qint64(first) << std::min(failures - 1, 16);
    return int(std::min<qint64>(delay, kRetryMaxMs));
}

QList<HomeCarouselSection*> HomeView::rows() const
{
    QList<HomeCarouselSection*> rows;
    for (const auto& row : rows_)
        if (row)
            rows.append(row);
    return rows;
}

bool HomeView::isReadyToShow() const
{
    const AppStore& store = services_.appStore;
    const HomePageService& home = services_.homePage;
    return store.platformStats() && store.baseUrl() && home.isLoaded() && !store.categories().isEmpty()
        && !home.popularWallpapers().isEmpty();
}

QString HomeView::loadingMessage() const
{
    if (!services_.appStore.platformStats())
        return tr("Waking things up");
    if (!services_.homePage.isLoaded())
        return tr("Getting things ready");
    if (services_.homePage.popularWallpapers().isEmpty())
        return tr("Setting up your space");
    return tr("Ready to go!");
}

void HomeView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    attachStretch();
    // Back on Home after the ready moment, the feed shows at once.
    if (services_.homePage.hasShownReadyMessage()) {
        services_.homePage.setShowingLoader(false);
        return;
    }
    services_.homePage.setShowingLoader(true);
    startLoad();
}

void HomeView::attachStretch()
{
    // The page scrolls in the scroll area of whoever shows it; the carousel answers its pull.
    if (stretchAttached_ || !hero_)
        return;
    for (QWidget* widget = parentWidget(); widget; widget = widget->parentWidget()) {
        if (auto* area = qobject_cast<QAbstractScrollArea*>(widget)) {
            connect(new OverscrollStretch(area), &OverscrollStretch::pullChanged, hero_, &HomeHeroCarousel::setPull);
            stretchAttached_ = true;
            return;
        }
    }
}

void HomeView::followLoader()
{
    const bool loader = services_.homePage.isShowingLoader();
    loading_->setVisible(loader);
    // The start-up screen lies over the feed, which is laid out and fetches its posters beneath
    // it during the ready moment, so the feed is whole the moment the screen goes.
    feed_->setVisible(!loader || showReadyMessage_);
    loading_->raise();
    loading_->setLoadingMessage(loadingMessage());
}

void HomeView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    loading_->setGeometry(0, 0, width(), loading_->height());
}

bool HomeView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == thumbnails_) {
        switch (event->type()) {
        case QEvent::Move:
        case QEvent::Show:
        case QEvent::Hide:
            followThumbnailRow();
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void HomeView::followThumbnailRow()
{
    // Both lie in the feed, the hero at its top.
    hero_->setCoveredBottom(thumbnails_->isVisibleTo(feed_) ? std::max(0, hero_->height() - thumbnails_->y()) : 0);
}

void HomeView::followWindowSize()
{
    const QSize window = context_ ? context_->windowSizeOrFallback() : BrowseContext::fallbackWindowSize({});
    const int height = window.height();
    loading_->setGeometry(0, 0, width(), height);
    heroSpace_->changeSize(0, int(kHeroOverlap * height), QSizePolicy::Minimum, QSizePolicy::Fixed);
    feed_->layout()->invalidate();
    hero_->setGeometry(0, 0, std::max(feed_->width(), window.width()), height);
    followThumbnailRow();
}

void HomeView::startLoad()
{
    loading_->setLoadingMessage(loadingMessage());
    fireAndForget(loadInitialData(this), kType);
}

QCoro::Task<> HomeView::loadInitialData(QPointer<HomeView> self)
{
    // One run at a time, none while a retry waits: the run under way or the retry reads the
    // newest state when it gets there.
    if (!self || self->loadRunning_ || self->retryTimer_.isActive())
        co_return;
    AppStore& store = self->services_.appStore;
    HomePageService& home = self->services_.homePage;
    // Without statistics the application state retries and reports a failed connection itself.
    if (!store.platformStats() || !store.baseUrl() || home.isLoading())
        co_return;
    self->loadRunning_ = true;
    bool failed = false;
    bool unreadable = false;
    bool popularStage = false;
    try {
        // A feed that failed in the first load is asked for again here: nothing else would.
        if (!home.isLoaded())
            co_await home.loadHomePage();
        if (self && store.categories().isEmpty() && !store.isLoadingCategories()) {
            co_await store.loadCategoriesIfNeeded();
            if (self && store.categories().isEmpty()) {
                if (store.categoriesError())
                    std::rethrow_exception(store.categoriesError());
                throw MessageError(QStringLiteral("No categories"));
            }
        }
        if (self && home.popularWallpapers().isEmpty()) {
            popularStage = true;
            co_await loadPopularSection(self);
        }
    } catch (const std::exception& error) {
        logLine(QStringLiteral("❌"), kType,
            (popularStage ? QStringLiteral("Failed to load popular section: ") : QStringLiteral("Failed to load the home page: "))
                + describeError(error));
        failed = true;
        unreadable = APIError::isUnreadableReply(std::current_exception());
    }
    if (!self)
        co_return;
    self->loadRunning_ = false;
    if (failed) {
        self->scheduleRetry(unreadable);
        co_return;
    }
    self->loadFailures_ = 0;
    self->loading_->setLoadFailed(false);
    if (self->isReadyToShow() && self->checkForUpdates_ && !std::exchange(self->updateCheckStarted_, true))
        self->checkForUpdates_();
    self->checkReadyState();
}

QCoro::Task<> HomeView::loadPopularSection(QPointer<HomeView> self)
{
    HomePageService* home = &self->services_.homePage;
    QList<WallpaperResponseItem> popular = co_await self->services_.api.getWallpapers(QStringLiteral("download"), 10, 1);
    // An empty list keeps the page waiting for it as surely as a failure would.
    if (popular.isEmpty())
        throw MessageError(QStringLiteral("The popular list is empty"));
    if (!self)
        co_return;
    home->setPopularWallpapers(std::move(popular));
    home->setPopularSectionLoaded(true);
}

void HomeView::scheduleRetry(bool unreadableReply)
{
    // Tried again after 3 s, twice as long each time up to a minute; Retry is offered after three.
    ++loadFailures_;
    retryTimer_.start(retryDelayMs(loadFailures_, services_.retryMs));
    if (loadFailures_ >= kFailuresBeforeRetryButton)
        loading_->setLoadFailed(true, unreadableReply);
}

void HomeView::retry()
{
    if (services_.appStore.connectionFailed())
        services_.appStore.retryConnection();
    retryTimer_.stop();
    loadFailures_ = 0;
    loading_->setLoadFailed(false);
    startLoad();
}

void HomeView::checkReadyState()
{
    loading_->setLoadingMessage(loadingMessage());
    HomePageService& home = services_.homePage;
    if (home.hasShownReadyMessage() || !isReadyToShow() || showReadyMessage_)
        return;
    showReadyMessage_ = true;
    home.setHasShownReadyMessage(true);
    loading_->setShowReadyMessage(true);
    followLoader();
    QPointer<HomeView> self(this);
    // The loader goes even when the page went meanwhile: the service outlives it.
    runAfter(kReadyMomentMs, &home, [self, &home] {
        if (self) {
            self->completeFeed();
            self->showReadyMessage_ = false;
            self->loading_->setShowReadyMessage(false);
        }
        home.setShowingLoader(false);
    });
}

void HomeView::completeFeed()
{
    // On a busy machine the ready moment can end in the same turn as the rebuild it waited for,
    // before the layouts (posted events) gave the rows their size and so their cards: build and
    // lay out now, so the screen never goes over an empty feed.
    if (rebuild_.isActive()) {
        rebuild_.stop();
        rebuild();
    }
    // A widget added to a shown layout shows on a queued call: show the rows now.
    for (const auto& row : std::as_const(rows_))
        if (row)
            row->show();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
}

QList<WallpaperModel> HomeView::models(const QList<WallpaperResponseItem>& items) const
{
    const AppStore& store = services_.appStore;
    const std::optional<QString> host = store.baseUrl().value_or(QString());
    QList<WallpaperModel> models;
    models.reserve(items.size());
    for (const WallpaperResponseItem& item : items)
        models.append(item.toWallpaperModel(host, store.categoryName(item.categoryId).value_or(QStringLiteral("Unknown"))));
    return models;
}

void HomeView::markDirty(bool hero, bool rows)
{
    heroDirty_ = heroDirty_ || hero;
    rowsDirty_ = rowsDirty_ || rows;
    rebuild_.start(0);
}

void HomeView::openPopularList()
{
    if (!links_.openCategory)
        return;
    CategoryNavigationItem item;
    item.categoryId = CategoryNavigationItem::kSectionList;
    item.categoryName = popularTitle();
    item.isFromSection = true;
    item.sectionFilter = CategoryFilter::Popular;
    item.customTitle = popularTitle();
    links_.openCategory(item);
}

void HomeView::rebuild()
{
    const HomePageService& home = services_.homePage;
    if (std::exchange(heroDirty_, false)) {
        const QList<WallpaperModel> hero = models(home.heroCarousel());
        hero_->setWallpapers(hero);
        thumbnails_->setWallpapers(hero);
        thumbnails_->setSelectedIndex(hero_->currentIndex());
        thumbnails_->setVisible(!hero.isEmpty());
    }
    if (std::exchange(rowsDirty_, false)) {
        for (const auto& row : std::exchange(rows_, {}))
            delete row;
        for (const HomePageSection& section : home.sections()) {
            auto* row = new HomeCarouselSection(section.title, section.subtitle, false, false, kCardSpacing, context_);
            row->setWallpapers(models(section.wallpapers));
            rowsColumn_->addWidget(row);
            rows_.append(row);
        }
        if (!home.popularWallpapers().isEmpty()) {
            auto* popular = new HomeCarouselSection(
                popularTitle(), tr("Trending wallpapers loved by the community"), true, true, kCardSpacing, context_);
            popular->setWallpapers(models(home.popularWallpapers()));
            connect(popular, &HomeCarouselSection::titleClicked, this, &HomeView::openPopularList);
            rowsColumn_->addWidget(popular);
            rows_.append(popular);
        }
        categories_->setCategories(services_.appStore.categories());
        categoriesBlock_->setVisible(home.isLoaded() && !services_.appStore.categories().isEmpty());
        footer_->parentWidget()->setVisible(home.isLoaded());
    }
    followWindowSize();
}
