#include "state/AppStore.h"

#include "backend/APIService.h"
#include "foundation/AppError.h"
#include "foundation/Async.h"
#include "foundation/Log.h"
#include "foundation/Shared.h"
#include "state/AssetHost.h"
#include "state/AssignChanged.h"
#include "state/CategoryNames.h"
#include "state/HomePageService.h"
#include "state/PlatformStats.h"
#include "state/SingleFlight.h"

namespace {
const QString kType = QStringLiteral("AppStore");
} // namespace

AppStore::AppStore(QObject* parent)
    : AppStore(APIService::shared(), HomePageService::shared(), Delays::real(), parent)
{
}

AppStore::AppStore(APIService& api, HomePageService& homePage, Delays delays, QObject* parent)
    : QObject(parent)
    , api_(api)
    , homePage_(homePage)
    , delays_(std::move(delays))
    , statsFlight_(new SingleFlight(this))
    , firstLoadFlight_(new SingleFlight(this))
    , loadFlight_(new SingleFlight(this))
    , categoriesFlight_(new SingleFlight(this))
{
}

AppStore::~AppStore()
{
    // A series still waiting wakes up, finds the store gone and ends.
    stopAutoRetry();
}

AppStore& AppStore::shared() { return Shared<AppStore>::instance(); }

QCoro::Task<> AppStore::initializeIfNeeded()
{
    if (isInitialized_)
        co_return;
    co_await firstLoadFlight_->run([this] { return runFirstLoad(); });
}

QCoro::Task<> AppStore::runFirstLoad()
{
    QPointer<AppStore> self(this);
    co_await loadStatsThenHomeFeed();
    if (self && !platformStats_) {
        setConnectionFailed(true);
        startAutoRetry();
    }
}

QCoro::Task<> AppStore::loadStatsThenHomeFeed()
{
    co_await loadFlight_->run([this] { return runStatsThenHomeFeed(); });
}

QCoro::Task<> AppStore::runStatsThenHomeFeed()
{
    QPointer<AppStore> self(this);
    co_await loadPlatformStats();
    if (!self || !platformStats_)
        co_return;
    co_await loadHomeFeed();
    if (self)
        markReady();
}

QCoro::Task<> AppStore::loadPlatformStats()
{
    if (platformStats_)
        co_return;
    co_await statsFlight_->run([this] { return fetchPlatformStats(); });
}

QCoro::Task<> AppStore::fetchPlatformStats()
{
    setLoadingPlatformStats(true);
    setPlatformStatsError(nullptr);
    QPointer<AppStore> self(this);
    std::optional<PlatformStatsData> stats;
    std::exception_ptr failure;
    try {
        stats = co_await PlatformStats::fetch(api_);
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self)
        co_return;
    if (stats) {
        const std::optional<QString> host = AssetHost::validated(stats->baseUrl);
        if (!host) {
            logLine(QStringLiteral("⚠️"), kType,
                QStringLiteral("Ignoring asset host that is not a bare host name: '") + stats->baseUrl + u'\'');
        }
        setPlatformStats(std::move(*stats));
        setBaseUrl(host);
    } else {
        setPlatformStatsError(failure);
    }
    setLoadingPlatformStats(false);
}

QCoro::Task<> AppStore::loadHomeFeed()
{
    try {
        co_await homePage_.loadHomePage();
    } catch (...) {
        // The home screen shows its own state for a feed that did not load.
    }
}

void AppStore::markReady()
{
    setInitialized(true);
    setConnectionFailed(false);
}

void AppStore::startAutoRetry()
{
    stopAutoRetry();
    retryStop_ = std::stop_source();
    autoRetrying_ = true;
    fireAndForget(runRetrySeries(retryStop_.get_token(), ++retrySeries_), kType);
}

void AppStore::stopAutoRetry()
{
    retryStop_.request_stop();
    autoRetrying_ = false;
}

QCoro::Task<> AppStore::runRetrySeries(std::stop_token stop, int series)
{
    QPointer<AppStore> self(this);
    for (int attempt = 1;; ++attempt) {
        co_await delays_.sleep(kRetryDelayMs, stop);
        if (!self || stop.stop_requested())
            co_return;
        if (isInitialized_)
            break;
        co_await loadStatsThenHomeFeed();
        if (!self)
            co_return;
        if (platformStats_)
            break;
        if (attempt == kMaxRetryAttempts)
            break;
    }
    if (series == retrySeries_)
        autoRetrying_ = false;
}

void AppStore::retryConnection()
{
    stopAutoRetry();
    setConnectionFailed(false);
    setPlatformStatsError(nullptr);
    launch([store = QPointer<AppStore>(this)] { return runManualRetry(store); }, kType);
}

QCoro::Task<> AppStore::runManualRetry(QPointer<AppStore> store)
{
    if (!store)
        co_return;
    co_await store->loadStatsThenHomeFeed();
    if (store && !store->platformStats_)
        store->setConnectionFailed(true);
}

QCoro::Task<> AppStore::loadCategoriesIfNeeded()
{
    if (!categories_.isEmpty())
        co_return;
    co_await categoriesFlight_->run([this] { return fetchCategories(); });
}

QCoro::Task<> AppStore::fetchCategories()
{
    setLoadingCategories(true);
    setCategoriesError(nullptr);
    QPointer<AppStore> self(this);
    QList<CategoryItem> loaded;
    std::exception_ptr failure;
    QString description;
    try {
        loaded = co_await api_.getCategories();
    } catch (const std::exception& error) {
        failure = std::current_exception();
        description = describeError(error);
    }
    if (!self)
        co_return;
    if (failure) {
        setCategoriesError(failure);
        logLine(QStringLiteral("Failed to load categories: ") + description);
    } else {
        if (!loaded.isEmpty()) {
            categories_ = CategoryNames::toldApart(std::move(loaded));
            Q_EMIT categoriesChanged();
        }
        logLine(QStringLiteral("Categories loaded: ") + QString::number(categories_.size()) + QStringLiteral(" items"));
    }
    setLoadingCategories(false);
}

std::optional<QString> AppStore::categoryName(qint64 categoryId) const
{
    for (const CategoryItem& category : categories_) {
        if (category.id == categoryId)
            return category.categoryName;
    }
    return std::nullopt;
}

void AppStore::setPlatformStats(PlatformStatsData stats)
{
    if (assignChanged(platformStats_, std::move(stats)))
        Q_EMIT platformStatsChanged();
}

void AppStore::setBaseUrl(std::optional<QString> host)
{
    if (assignChanged(baseUrl_, std::move(host)))
        Q_EMIT baseUrlChanged();
}

void AppStore::setLoadingPlatformStats(bool loading)
{
    if (assignChanged(isLoadingPlatformStats_, loading))
        Q_EMIT isLoadingPlatformStatsChanged();
}

void AppStore::setLoadingCategories(bool loading)
{
    if (assignChanged(isLoadingCategories_, loading))
        Q_EMIT isLoadingCategoriesChanged();
}

void AppStore::setInitialized(bool initialized)
{
    if (assignChanged(isInitialized_, initialized))
        Q_EMIT isInitializedChanged();
}

void AppStore::setConnectionFailed(bool failed)
{
    if (assignChanged(connectionFailed_, failed))
        Q_EMIT connectionFailedChanged();
}

void AppStore::setPlatformStatsError(std::exception_ptr error)
{
    if (assignChanged(platformStatsError_, std::move(error)))
        Q_EMIT platformStatsErrorChanged();
}

void AppStore::setCategoriesError(std::exception_ptr error)
{
    if (assignChanged(categoriesError_, std::move(error)))
        Q_EMIT categoriesErrorChanged();
}
