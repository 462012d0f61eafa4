#include "state/ExploreWallpapersService.h"

#include "backend/APIService.h"
#include "foundation/Clock.h"
#include "foundation/Log.h"
#include "foundation/Shared.h"

#include <QPointer>
#include <QSet>

namespace {
const QString kType = QStringLiteral("ExploreWallpapersService");
const QString kCategoryEndpoint = QStringLiteral("get-wallpapers-by-category");

void logInfo(const QString& message) { logLine(QStringLiteral("🔵"), kType, message); }
void logDone(const QString& message) { logLine(QStringLiteral("✅"), kType, message); }

QString orNil(const std::optional<QString>& text) { return text.value_or(QStringLiteral("nil")); }

QString categoryParameters(const WallpaperListQuery& query, qint64 page)
{
    return QStringLiteral("Parameters: category=") + QString::number(query.categoryId) + QStringLiteral(", limit=")
           + QString::number(ExploreWallpapersService::kItemsPerPage) + QStringLiteral(", page=")
           + QString::number(page) + QStringLiteral(", sort_by=") + orNil(query.sortBy);
}

// A held list stops a first-page request only when it has items to show.
bool isUsable(const ExploreWallpapersService::Lists& store, const QString& key)
{
    const auto held = store.constFind(key);
    return held != store.constEnd() && held->isLoaded && !held->loadedWallpapers.isEmpty();
}
} // namespace

ExploreWallpapersService::ExploreWallpapersService(QObject* parent)
    : ExploreWallpapersService(APIService::shared(), Clock::system(), parent)
{
}

ExploreWallpapersService::ExploreWallpapersService(APIService& api, const Clock& clock, QObject* parent)
    : QObject(parent), api_(api), clock_(clock)
{
}

ExploreWallpapersService& ExploreWallpapersService::shared() { return Shared<ExploreWallpapersService>::instance(); }

void ExploreWallpapersService::prepopulateCache(qint64 categoryId, QList<WallpaperResponseItem> wallpapers,
    std::optional<QString> mode, std::optional<qint64> seed)
{
    const QString id = QString::number(categoryId);
    const bool seeded = WallpaperListQuery{categoryId, mode, {}, {}}.isSeeded();
    storeHandedOver(mode ? id + u'_' + *mode : id, categoryId, std::move(wallpapers),
        QStringLiteral("mode: ") + orNil(mode), seeded, seed);
}

void ExploreWallpapersService::prepopulateSortedCache(qint64 categoryId, QList<WallpaperResponseItem> wallpapers,
    std::optional<QString> sortBy)
{
    const QString id = QString::number(categoryId);
    storeHandedOver(sortBy ? id + QStringLiteral("_sort_") + *sortBy : id, categoryId, std::move(wallpapers),
        QStringLiteral("sortBy: ") + orNil(sortBy), false, std::nullopt);
}

void ExploreWallpapersService::storeHandedOver(const QString& key, qint64 categoryId,
    QList<WallpaperResponseItem> wallpapers, const QString& origin, bool seeded, std::optional<qint64> seed)
{
    const qsizetype count = wallpapers.size();
    // Handed-over rows are the head of the list in its order, but their request may have used a
    // smaller limit: count only the whole pages of the normal size they cover, so the next page
    // asked for starts where they end and skips nothing (duplicates are filtered on merge).
    qint64 wholePages = count / kItemsPerPage;
    // Random rows without their seed belong to no order that later pages could continue: page
    // through a new order from its start instead, which covers everything they skip.
    if (seeded && !seed) {
        seed = WallpaperListQuery::freshSeed(clock_);
        wholePages = 0;
    }
    cacheData_[key] = ExploreWallpapersCacheData{std::move(wallpapers), wholePages, true, true, seed};
    Q_EMIT cacheDataChanged();
    logDone(QStringLiteral("Pre-populated cache with key '") + key + QStringLiteral("' for categoryId ")
            + QString::number(categoryId) + QStringLiteral(" with ") + QString::number(count)
            + QStringLiteral(" wallpapers, ") + origin);
}

bool ExploreWallpapersService::usesHeldList(const WallpaperListQuery& query, const QString& key) const
{
    if (!isUsable(cacheData_, key))
        return false;
    switch (query.kind()) {
    case WallpaperListQuery::Kind::LockScreen:
        logDone(QStringLiteral("Using pre-populated cache for lockscreen with mode '") + *query.mode + u'\'');
        break;
    case WallpaperListQuery::Kind::ExploreSection:
        logDone(QStringLiteral("Using pre-populated cache for section with mode '") + *query.mode + u'\'');
        break;
    case WallpaperListQuery::Kind::Resolution:
    case WallpaperListQuery::Kind::Category:
        logDone(QStringLiteral("Cache already loaded for key '") + key + QStringLiteral("', skipping API call"));
        break;
    }
    return true;
}

QCoro::Task<> ExploreWallpapersService::loadWallpapers(WallpaperListQuery query)
{
    const QString key = query.cacheKey();
    if (loadingPages_.contains(key) && loadingPages_.value(key) == 1) {
        logInfo(QStringLiteral("Already loading page 1 for key '") + key + QStringLiteral("', skipping duplicate call"));
        co_return;
    }
    const bool random = query.isRandom();
    if (!random && usesHeldList(query, key))
        co_return;

    markLoading(key, 1);
    const bool category = query.kind() == WallpaperListQuery::Kind::Category;
    const std::optional<qint64> seed
        = query.isSeeded() ? std::optional(WallpaperListQuery::freshSeed(clock_)) : std::nullopt;
    if (category) {
        logInfo(QStringLiteral("Fetching endpoint: ") + kCategoryEndpoint);
        logInfo(categoryParameters(query, 1) + QStringLiteral(", seed=") + QString::number(seed.value_or(-1)));
    }
    QPointer<ExploreWallpapersService> self(this);
    QList<WallpaperResponseItem> items;
    try {
        items = co_await fetchPage(query, 1, seed);
    } catch (...) {
        if (self)
            clearLoading(key, 1);
        throw;
    }
    if (!self)
        co_return;
    if (category) {
        logDone(QStringLiteral("Loaded ") + QString::number(items.size()) + QStringLiteral(" wallpapers for category ")
                + QString::number(query.categoryId));
    }
    const bool full = items.size() == kItemsPerPage;
    writeList(query, key, ExploreWallpapersCacheData{std::move(items), 1, full, true, seed});
    clearLoading(key, 1);
}

QCoro::Task<> ExploreWallpapersService::loadNextPage(WallpaperListQuery query)
{
    const QString key = query.cacheKey();
    const Lists& store = storeFor(query);
    const auto held = store.constFind(key);
    if (held == store.constEnd() || !held->isLoaded) {
        // Nothing to extend yet: the next page of an empty list is its first.
        co_await loadWallpapers(query);
        co_return;
    }
    if (!held->hasMorePages)
        co_return;
    const qint64 nextPage = held->currentPage + 1;
    if (loadingPages_.contains(key) && loadingPages_.value(key) == nextPage)
        co_return;
    const std::optional<qint64> seed = held->seed;

    markLoading(key, nextPage);
    const bool category = query.kind() == WallpaperListQuery::Kind::Category;
    if (category) {
        logInfo(QStringLiteral("Fetching next page: ") + kCategoryEndpoint);
        logInfo(categoryParameters(query, nextPage));
    }
    QPointer<ExploreWallpapersService> self(this);
    QList<WallpaperResponseItem> items;
    try {
        items = co_await fetchPage(query, nextPage, seed);
    } catch (...) {
        if (self)
            clearLoading(key, nextPage);
        throw;
    }
    if (!self)
        co_return;
    if (category) {
        logDone(QStringLiteral("Loaded ") + QString::number(items.size()) + QStringLiteral(" wallpapers for category ")
                + QString::number(query.categoryId) + QStringLiteral(", page ") + QString::number(nextPage));
    }
    mergeNextPage(query, key, nextPage, items, seed);
    clearLoading(key, nextPage);
}

void ExploreWallpapersService::mergeNextPage(const WallpaperListQuery& query, const QString& key, qint64 page,
    const QList<WallpaperResponseItem>& items, std::optional<qint64> seed)
{
    const Lists& store = storeFor(query);
    const auto current = store.constFind(key);
    // The list was cleared, reloaded (a new seed) or extended while the page was on its way:
    // merging it now would put it out of order.
    if (current == store.constEnd() || current->seed != seed || current->currentPage != page - 1)
        return;
    ExploreWallpapersCacheData merged = *current;
    appendUnseen(merged.loadedWallpapers, items);
    merged.currentPage = page;
    merged.hasMorePages = items.size() == kItemsPerPage;
    writeList(query, key, std::move(merged));
}

void ExploreWallpapersService::appendUnseen(QList<WallpaperResponseItem>& list, const QList<WallpaperResponseItem>& page)
{
    QSet<qint64> seen;
    seen.reserve(list.size() + page.size());
    for (const WallpaperResponseItem& item : std::as_const(list))
        seen.insert(item.key);
    for (const WallpaperResponseItem& item : page) {
        if (!seen.contains(item.key)) {
            seen.insert(item.key);
            list.append(item);
        }
    }
}

bool ExploreWallpapersService::canLoadMore(const WallpaperListQuery& query) const
{
    const QString key = query.cacheKey();
    const Lists& store = storeFor(query);
    const auto held = store.constFind(key);
    if (held != store.constEnd() && !held->hasMorePages)
        return false;
    return !loadingPages_.contains(key);
}

std::optional<ExploreWallpapersCacheData> ExploreWallpapersService::list(const WallpaperListQuery& query) const
{
    const Lists& store = storeFor(query);
    const auto held = store.constFind(query.cacheKey());
    if (held == store.constEnd())
        return std::nullopt;
    return *held;
}

QCoro::Task<QList<WallpaperResponseItem>> ExploreWallpapersService::fetchPage(WallpaperListQuery query, qint64 page,
    std::optional<qint64> seed)
{
    switch (query.kind()) {
    case WallpaperListQuery::Kind::ExploreSection:
        co_return co_await api_.getWallpapers(*query.mode, kItemsPerPage, page, std::nullopt, seed);
    case WallpaperListQuery::Kind::LockScreen:
        co_return co_await api_.getWallpapers(*query.mode, kItemsPerPage, page, QStringLiteral("lockscreen"), seed);
    case WallpaperListQuery::Kind::Resolution:
        co_return (co_await api_.getWallpapersByResolution(*query.resolutionFilter, kItemsPerPage, page)).wallpapers;
    case WallpaperListQuery::Kind::Category:
        break;
    }
    co_return co_await api_.getWallpapersByCategory(query.categoryId, kItemsPerPage, page, query.sortBy, seed);
}

void ExploreWallpapersService::resetList(const WallpaperListQuery& query)
{
    const QString key = query.cacheKey();
    cacheData_.insert(key, ExploreWallpapersCacheData{});
    Q_EMIT cacheDataChanged();
    if (query.isRandom()) {
        transientRandomData_.insert(key, ExploreWallpapersCacheData{});
        Q_EMIT transientRandomDataChanged();
    }
    if (loadingPages_.remove(key))
        Q_EMIT loadingPagesChanged();
}

void ExploreWallpapersService::clearMemory()
{
    if (!cacheData_.isEmpty()) {
        cacheData_.clear();
        Q_EMIT cacheDataChanged();
    }
    if (!loadingPages_.isEmpty()) {
        loadingPages_.clear();
        Q_EMIT loadingPagesChanged();
    }
}

const ExploreWallpapersService::Lists& ExploreWallpapersService::storeFor(const WallpaperListQuery& query) const
{
    return query.isRandom() ? transientRandomData_ : cacheData_;
}

void ExploreWallpapersService::writeList(const WallpaperListQuery& query, const QString& key,
    ExploreWallpapersCacheData list)
{
    if (query.isRandom()) {
        transientRandomData_.insert(key, std::move(list));
        Q_EMIT transientRandomDataChanged();
    } else {
        cacheData_.insert(key, std::move(list));
        Q_EMIT cacheDataChanged();
    }
}

void ExploreWallpapersService::markLoading(const QString& key, qint64 page)
{
    loadingPages_.insert(key, page);
    Q_EMIT loadingPagesChanged();
}

void ExploreWallpapersService::clearLoading(const QString& key, qint64 page)
{
    const auto mark = loadingPages_.constFind(key);
    if (mark == loadingPages_.constEnd() || *mark != page)
        return;
    loadingPages_.remove(key);
    Q_EMIT loadingPagesChanged();
}
