#include "screens/browse/CategoryDetailController.h"

#include "foundation/AppError.h"
#include "foundation/Async.h"
#include "state/AppStore.h"
#include "state/ExploreWallpapersService.h"
#include "ui/PosterCardRules.h"

#include <QPointer>

#include <algorithm>

namespace {
const QString kOwner = QStringLiteral("CategoryDetailView");
} // namespace

CategoryDetailController::CategoryDetailController(CategoryNavigationItem item, ExploreWallpapersService& service,
    AppStore& appStore, SignalSender sendSignal, QObject* parent)
    : QObject(parent), item_(std::move(item)), service_(service), appStore_(appStore),
      sendSignal_(std::move(sendSignal)), selectedFilter_(item_.sectionFilter.value_or(CategoryFilter::Latest))
{
    // The list lives in the service: whoever loads it (this page, an earlier page of the same
    // list, a refresh), the cards follow, and the loading rows end with the load.
    connect(&service_, &ExploreWallpapersService::cacheDataChanged, this,
        &CategoryDetailController::updateSortedCacheIfNeeded);
    connect(&service_, &ExploreWallpapersService::transientRandomDataChanged, this,
        &CategoryDetailController::updateSortedCacheIfNeeded);
    connect(&service_, &ExploreWallpapersService::loadingPagesChanged, this, [this] {
        if (service_.loadingPages().contains(query().cacheKey()))
            return;
        setLoadingMorePages(false);
        if (awaitingOtherFirstPage_) {
            awaitingOtherFirstPage_ = false;
            setLoadingInitial(false);
        }
    });
    // A new asset host rebuilds every card's addresses without a request.
    connect(&appStore_, &AppStore::baseUrlChanged, this, &CategoryDetailController::updateSortedCacheIfNeeded);
}

bool CategoryDetailController::showsChips() const
{
    return isLockScreen() || (!isFromSection() && !item_.resolutionFilter);
}

QString CategoryDetailController::caption() const
{
    if (item_.resolutionFilter)
        return QStringLiteral("RESOLUTION");
    if (isLockScreen())
        return QStringLiteral("LOCKSCREEN");
    return isFromSection() ? QStringLiteral("SECTION") : QStringLiteral("CATEGORY");
}

std::optional<QString> CategoryDetailController::apiMode() const
{
    if (isLockScreen())
        return CategoryFilters::mode(selectedFilter_);
    if (isFromSection() && item_.sectionFilter)
        return CategoryFilters::mode(*item_.sectionFilter);
    return std::nullopt;
}

std::optional<QString> CategoryDetailController::apiSortBy() const
{
    if (isLockScreen() || isFromSection() || item_.resolutionFilter)
        return std::nullopt;
    return CategoryFilters::sortBy(selectedFilter_);
}

WallpaperListQuery CategoryDetailController::query() const
{
    return {item_.categoryId, apiMode(), item_.resolutionFilter, apiSortBy()};
}

ExploreWallpapersCacheData CategoryDetailController::currentCacheData() const
{
    return service_.list(query()).value_or(ExploreWallpapersCacheData{});
}

void CategoryDetailController::pageOpened()
{
    if (isLoadInProgress_)
        return;
    const ExploreWallpapersCacheData held = currentCacheData();
    const bool freshShuffle = selectedFilter_ == CategoryFilter::Random && !isFromSection() && !item_.resolutionFilter
                              && !isLockScreen();
    if (freshShuffle) {
        resetRandomList();
    } else if (held.isLoaded && !held.loadedWallpapers.isEmpty()) {
        setLoadingInitial(false);
        updateSortedCacheIfNeeded();
    }
    if (freshShuffle || !held.isLoaded || held.loadedWallpapers.isEmpty())
        startFirstLoad();
    if (!sendSignal_)
        return;
    const QHash<QString, QString> parameters{{QStringLiteral("title"), item_.title()}};
    sendSignal_(QStringLiteral("Category.pageOpened"), parameters);
    if (isLockScreen())
        sendSignal_(QStringLiteral("LockscreenExclusive.opened"), parameters);
}

void CategoryDetailController::startFirstLoad()
{
    setLoadInProgress(true);
    QPointer<CategoryDetailController> self(this);
    fireAndForget(
        [](QPointer<CategoryDetailController> page) -> QCoro::Task<> {
            co_await page->loadInitialWallpapers();
            if (page)
                page->setLoadInProgress(false);
        }(self),
        kOwner);
}

void CategoryDetailController::retry()
{
    if (isLoadInProgress_ || isLoadingInitial_)
        return;
    startFirstLoad();
}

void CategoryDetailController::selectFilter(CategoryFilter filter)
{
    if (filter != selectedFilter_) {
        selectedFilter_ = filter;
        Q_EMIT selectedFilterChanged();
    }
    // A section's or a resolution's list is fixed: the chip only re-sorts what is held.
    if (isFromSection() || item_.resolutionFilter) {
        updateSortedCacheIfNeeded();
        return;
    }
    if (filter == CategoryFilter::Random)
        resetRandomList();
    cachedSortedWallpapers_.clear();
    lastCacheCount_ = 0;
    Q_EMIT wallpapersChanged();
    setLoadingInitial(true);
    fireAndForget(loadInitialWallpapers(), kOwner);
}

void CategoryDetailController::resetRandomList()
{
    cachedSortedWallpapers_.clear();
    lastCacheCount_ = 0;
    Q_EMIT wallpapersChanged();
    service_.resetList(query());
}

QCoro::Task<> CategoryDetailController::loadInitialWallpapers()
{
    QPointer<CategoryDetailController> self(this);
    const WallpaperListQuery asked = query();
    setLoadFailure(std::nullopt);
    setLoadingInitial(true);
    std::optional<QString> failure;
    try {
        co_await service_.loadWallpapers(asked);
    } catch (const std::exception& error) {
        failure = describeError(error); // the page keeps what it shows; the service logged it
    }
    if (!self)
        co_return;
    const bool loaded = !failure;
    // A failure of a list the page has left since (another chip) is not this list's.
    if (failure && asked.cacheKey() == query().cacheKey())
        setLoadFailure(failure);
    // An earlier page of the same list may still be fetching the first page: its end (seen
    // through the service's loading marks) ends the loading state here too.
    awaitingOtherFirstPage_ = service_.loadingPages().value(query().cacheKey()) == 1;
    setLoadingInitial(awaitingOtherFirstPage_);
    if (loaded)
        updateSortedCacheIfNeeded();
    syncLoadingMoreState();
}

void CategoryDetailController::loadMoreIfNeeded(int index)
{
    if (index < cachedSortedWallpapers_.size() - 3 || !service_.canLoadMore(query()))
        return;
    setLoadingMorePages(true);
    fireAndForget(loadNextPage(), kOwner);
}

QCoro::Task<> CategoryDetailController::loadNextPage()
{
    QPointer<CategoryDetailController> self(this);
    bool loaded = true;
    try {
        co_await service_.loadNextPage(query());
    } catch (...) {
        loaded = false; // asked again when a card near the end comes into view again
    }
    if (!self)
        co_return;
    if (loaded)
        updateSortedCacheIfNeeded();
    syncLoadingMoreState();
}

void CategoryDetailController::syncLoadingMoreState()
{
    setLoadingMorePages(service_.loadingPages().contains(query().cacheKey()));
}

std::optional<QString> CategoryDetailController::categoryNameFor(qint64 itemCategoryId) const
{
    if (item_.categoryId == CategoryNavigationItem::kMonochrome)
        return QStringLiteral("Monochrome");
    std::optional<QString> name = appStore_.categoryName(itemCategoryId);
    if (!name && !isLockScreen() && !isFromSection())
        name = item_.categoryName;
    return name.value_or(QStringLiteral("Unknown"));
}

void CategoryDetailController::updateSortedCacheIfNeeded()
{
    const ExploreWallpapersCacheData held = currentCacheData();
    const qsizetype count = held.loadedWallpapers.size();
    const std::optional<QString>& host = appStore_.baseUrl();
    if (count == lastCacheCount_ && lastSelectedFilter_ == selectedFilter_ && !cachedSortedWallpapers_.isEmpty()
        && lastMappedBaseUrl_ == host)
        return;
    QList<WallpaperModel> wallpapers;
    wallpapers.reserve(count);
    for (const WallpaperResponseItem& item : held.loadedWallpapers) {
        WallpaperModel model = item.toWallpaperModel(host, categoryNameFor(item.categoryId));
        if (const auto known = idOfKey_.constFind(item.key); known != idOfKey_.constEnd())
            model.id = *known;
        else
            idOfKey_.insert(item.key, model.id);
        wallpapers.append(std::move(model));
    }
    if (selectedFilter_ == CategoryFilter::Latest)
        sortNewestFirst(wallpapers);
    cachedSortedWallpapers_ = std::move(wallpapers);
    lastCacheCount_ = count;
    lastSelectedFilter_ = selectedFilter_;
    lastMappedBaseUrl_ = host;
    Q_EMIT wallpapersChanged();
}

void CategoryDetailController::sortNewestFirst(QList<WallpaperModel>& wallpapers)
{
    QList<std::pair<std::optional<QDateTime>, WallpaperModel>> dated;
    dated.reserve(wallpapers.size());
    for (WallpaperModel& wallpaper : wallpapers)
        dated.append({PosterCardRules::parseCreatedAt(wallpaper.createdAt), std::move(wallpaper)});
    // A strict weak order: every date before every non-date, later dates first.
    std::stable_sort(dated.begin(), dated.end(), [](const auto& a, const auto& b) {
        if (!a.first || !b.first)
            return a.first.has_value() && !b.first.has_value();
        return *a.first > *b.first;
    });
    wallpapers.clear();
    for (auto& entry : dated)
        wallpapers.append(std::move(entry.second));
}

void CategoryDetailController::setLoadFailure(std::optional<QString> failure)
{
    if (failure == loadFailure_)
        return;
    loadFailure_ = std::move(failure);
    Q_EMIT loadFailureChanged();
}

void CategoryDetailController::setLoadingInitial(bool loading)
{
    if (loading == isLoadingInitial_)
        return;
    isLoadingInitial_ = loading;
    Q_EMIT loadingChanged();
}

void CategoryDetailController::setLoadInProgress(bool inProgress)
{
    if (inProgress == isLoadInProgress_)
        return;
    isLoadInProgress_ = inProgress;
    Q_EMIT loadingChanged();
}

void CategoryDetailController::setLoadingMorePages(bool loading)
{
    if (loading == isLoadingMorePages_)
        return;
    isLoadingMorePages_ = loading;
    Q_EMIT loadingChanged();
}
