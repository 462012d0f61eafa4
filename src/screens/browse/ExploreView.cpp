#include "screens/browse/ExploreView.h"

#include "backend/APIService.h"
#include "foundation/AppError.h"
#include "foundation/Async.h"
#include "foundation/Log.h"
#include "screens/browse/CategoriesSection.h"
#include "screens/browse/ExploreFilterChips.h"
#include "screens/browse/ExploreHero.h"
#include "screens/browse/HomeGridSection.h"
#include "screens/browse/PopularScrollableSection.h"
#include "state/AppStore.h"
#include "state/ExplorePageService.h"
#include "state/ExploreWallpapersService.h"
#include "ui/BrowseContext.h"
#include "ui/LoadingWallpapersRow.h"
#include "ui/MainWrapper.h"
#include "ui/Theme.h"

#include <QGuiApplication>
#include <QPointer>
#include "ui/OverscrollStretch.h"

#include <QScrollArea>
#include <QScreen>
#include <QVBoxLayout>

namespace {
const QString kType = QStringLiteral("ExploreView");
constexpr int kGridRowsSpacer = 60;

// How a section title opens its full list: the rows handed over and the order it keeps.
struct SectionRoute {
    QString title;
    std::optional<QString> mode; // a catalogue-wide list; none: the monochrome category
    CategoryFilter filter;
};

const QList<SectionRoute>& sectionRoutes()
{
    static const QList<SectionRoute> routes{
        {QStringLiteral("Latest Wallpapers"), QStringLiteral("recent"), CategoryFilter::Latest},
        {ExploreView::kPopularTitle, QStringLiteral("download"), CategoryFilter::Popular},
        {ExplorePageService::kDiscoverTitle, QStringLiteral("random"), CategoryFilter::Random},
        {QStringLiteral("Monochrome Wallpapers"), std::nullopt, CategoryFilter::Latest},
    };
    return routes;
}

int screenSpacing()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return ExploreView::sectionSpacing(screen ? std::optional(screen->availableGeometry().height()) : std::nullopt);
}
} // namespace

ExploreView::ExploreView(BrowseContext* context, OpenCategory openCategory, QWidget* parent)
    : QWidget(parent), context_(context), openCategory_(std::move(openCategory)), appStore_(AppStore::shared()),
      service_(ExplorePageService::shared()), lists_(ExploreWallpapersService::shared()), api_(APIService::shared()),
      scroll_(new QScrollArea(this)), hero_(new ExploreHero(appStore_)), chips_(new ExploreFilterChips(appStore_)),
      loading_(new LoadingWallpapersRow), sections_(new QWidget), sectionsLayout_(new QVBoxLayout(sections_)),
      categories_(new CategoriesSection(appStore_, 20))
{
    setPalette(Theme::palette());
    setAutoFillBackground(true);
    const int spacing = screenSpacing();
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setWidgetResizable(true);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* content = new QWidget;
    auto* page = new QVBoxLayout(content);
    page->setContentsMargins(0, 0, 0, 0);
    page->setSpacing(0);
    page->addWidget(hero_);
    auto* column = new QWidget;
    auto* blocks = new QVBoxLayout(column);
    blocks->setContentsMargins(0, 0, 0, 0);
    blocks->setSpacing(spacing);
    blocks->addWidget(chips_);
    blocks->addWidget(loading_);
    blocks->addWidget(sections_);
    sectionsLayout_->setContentsMargins(0, 0, 0, kGridRowsSpacer);
    sectionsLayout_->setSpacing(spacing);
    sectionsLayout_->addWidget(categories_);
    categories_->setCategories(appStore_.categories());
    connect(categories_, &CategoriesSection::categoryTapped, this, [this](const CategoryItem& category) {
        open(CategoryNavigationItem::named(int(category.id), category.categoryName));
    });
    page->addWidget(new MainWrapper(column, 50, 120, MainWrapperStyle::Home));
    page->addStretch();
    scroll_->setWidget(content);
    connect(new OverscrollStretch(scroll_), &OverscrollStretch::pullChanged, hero_, &HeroBackdrop::setPull);

    const auto fitHero = [this] { hero_->setFixedHeight(qRound(ExploreHero::kHeightShare * context_->windowSizeOrFallback().height())); };
    fitHero();
    connect(context_, &BrowseContext::windowSizeChanged, this, fitHero);
    connect(chips_, &ExploreFilterChips::categoryRequested, this, &ExploreView::open);
    connect(&service_, &ExplorePageService::sectionsChanged, this, &ExploreView::rebuildSections);
    connect(&service_, &ExplorePageService::isLoadedChanged, this, &ExploreView::followLoading);
    // A new asset host rebuilds every card's addresses.
    connect(&appStore_, &AppStore::baseUrlChanged, this, [this] {
        rebuildSections();
        showPopular();
    });
    connect(&appStore_, &AppStore::categoriesChanged, this, [this] {
        categories_->setCategories(appStore_.categories());
        rebuildSections();
        showPopular();
    });
    rebuildSections();
    followLoading();
}

int ExploreView::sectionSpacing(std::optional<int> availableHeight)
{
    if (!availableHeight)
        return 60;
    const double usable = 0.8 * *availableHeight;
    return usable > 1000 ? 60 : int(std::min(0.065 * usable, 60.0));
}

void ExploreView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    scroll_->setGeometry(rect());
}

void ExploreView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (std::exchange(categoryOpen_, false))
        chips_->clearSelectedResolution();
    if (!service_.isLoaded() && !service_.isLoading()) {
        isLoadingInitial_ = true;
        followLoading();
        fireAndForget(loadPage(), kType);
    } else if (service_.isLoaded()) {
        isLoadingInitial_ = false;
        followLoading();
    }
    if (popularWallpapers_.isEmpty())
        seedPopularFromSections();
}

QCoro::Task<> ExploreView::loadPage()
{
    QPointer<ExploreView> self(this);
    bool loaded = true;
    try {
        co_await service_.loadExplorePage();
    } catch (const std::exception& error) {
        loaded = false;
        logLine(QStringLiteral("❌"), kType, QStringLiteral("Failed to load explore page: ") + describeError(error));
    }
    if (!self)
        co_return;
    isLoadingInitial_ = false;
    followLoading();
    if (loaded)
        seedPopularFromSections();
}

void ExploreView::followLoading()
{
    const bool loadingBlock = isLoadingInitial_ && !service_.isLoaded();
    loading_->setVisible(loadingBlock);
    sections_->setVisible(!loadingBlock);
}

QList<WallpaperModel> ExploreView::wallpaperModels(const QList<WallpaperResponseItem>& items)
{
    QList<WallpaperModel> models;
    models.reserve(items.size());
    for (const WallpaperResponseItem& item : items) {
        WallpaperModel model = item.toWallpaperModel(appStore_.baseUrl(),
            appStore_.categoryName(item.categoryId).value_or(QStringLiteral("Unknown")));
        if (const auto known = idOfKey_.constFind(item.key); known != idOfKey_.constEnd())
            model.id = *known;
        else
            idOfKey_.insert(item.key, model.id);
        models.append(std::move(model));
    }
    return models;
}

void ExploreView::rebuildSections()
{
    qDeleteAll(grids_);
    grids_.clear();
    int at = 0;
    for (const ExplorePageSection& section : service_.sections()) {
        if (section.title == kPopularTitle)
            continue;
        const bool routed = std::any_of(sectionRoutes().begin(), sectionRoutes().end(),
            [&](const SectionRoute& route) { return route.title == section.title; });
        auto* grid = new HomeGridSection(section.title, section.subtitle, routed, {int(section.rows), 3, 20, 24}, context_);
        grid->setWallpapers(wallpaperModels(section.wallpapers));
        connect(grid, &HomeGridSection::titleClicked, this, [this, section] { openSection(section); });
        sectionsLayout_->insertWidget(at++, grid);
        grids_.append(grid);
    }
}

void ExploreView::seedPopularFromSections()
{
    for (const ExplorePageSection& section : service_.sections()) {
        if (section.title != kPopularTitle)
            continue;
        popularWallpapers_.clear();
        ExploreWallpapersService::appendUnseen(popularWallpapers_, section.wallpapers);
        popularCurrentPage_ = 1;
        hasMorePopularPages_ = section.wallpapers.size() >= kPopularPageSize;
        showPopular();
        return;
    }
}

void ExploreView::showPopular()
{
    if (popularWallpapers_.isEmpty())
        return;
    if (!popular_) {
        popular_ = new PopularScrollableSection(kPopularTitle, tr("Trending wallpapers loved by the community"),
            3, 20, 24, context_);
        connect(popular_, &PopularScrollableSection::loadMore, this, &ExploreView::loadMorePopular);
        sectionsLayout_->addWidget(popular_);
    }
    popular_->setWallpapers(wallpaperModels(popularWallpapers_));
    popular_->setLoadingMore(isLoadingMorePopular_);
}

void ExploreView::loadMorePopular()
{
    if (isLoadingMorePopular_ || !hasMorePopularPages_)
        return;
    isLoadingMorePopular_ = true;
    showPopular();
    fireAndForget(fetchPopularPage(popularCurrentPage_ + 1), kType);
}

QCoro::Task<> ExploreView::fetchPopularPage(qint64 page)
{
    QPointer<ExploreView> self(this);
    std::optional<QList<WallpaperResponseItem>> items;
    try {
        items = co_await api_.getWallpapers(QStringLiteral("download"), kPopularPageSize, page, std::nullopt);
    } catch (...) {
        // Dropped without a message: the next ask tries the same page again.
    }
    if (!self)
        co_return;
    isLoadingMorePopular_ = false;
    if (items) {
        ExploreWallpapersService::appendUnseen(popularWallpapers_, *items);
        popularCurrentPage_ = page;
        hasMorePopularPages_ = items->size() >= kPopularPageSize;
    }
    showPopular();
}

void ExploreView::openSection(const ExplorePageSection& section)
{
    const auto route = std::find_if(sectionRoutes().begin(), sectionRoutes().end(),
        [&](const SectionRoute& candidate) { return candidate.title == section.title; });
    if (route == sectionRoutes().end())
        return;
    if (!route->mode) {
        lists_.prepopulateSortedCache(CategoryNavigationItem::kMonochrome, section.wallpapers, QStringLiteral("latest"));
        open(CategoryNavigationItem::named(CategoryNavigationItem::kMonochrome, QStringLiteral("Monochrome")));
        return;
    }
    lists_.prepopulateCache(CategoryNavigationItem::kSectionList, section.wallpapers, route->mode, section.listSeed);
    CategoryNavigationItem item = CategoryNavigationItem::named(CategoryNavigationItem::kSectionList, section.title);
    item.customTitle = section.title;
    item.isFromSection = true;
    item.sectionFilter = route->filter;
    if (section.shuffleSeed)
        item.shuffleSeed = int(*section.shuffleSeed);
    open(item);
}

void ExploreView::open(const CategoryNavigationItem& item)
{
    categoryOpen_ = true;
    if (openCategory_)
        openCategory_(item);
}
