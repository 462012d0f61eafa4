#pragma once

#include "backend/CategoryItem.h"
#include "state/Delays.h"
#include "state/PlatformStatsData.h"

#include <QCoro/QCoroTask>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <exception>
#include <optional>
#include <stop_token>

class APIService;
class HomePageService;
class SingleFlight;

// The application-wide state of the catalogue: the platform statistics and the asset host taken
// from them, the categories, the loading and error state of both loads, and the offline state
// with its automatic retry. Runs the first load (statistics, then the home feed), retries it
// every 3 s up to 10 times while the backend is unreachable, and loads the categories when a
// screen first asks. GUI thread; one shared instance kept until exit. Never fails towards its
// callers: errors land in the error fields.
class AppStore : public QObject {
    Q_OBJECT
    Q_PROPERTY(std::optional<PlatformStatsData> platformStats READ platformStats NOTIFY platformStatsChanged)
    Q_PROPERTY(std::optional<QString> baseUrl READ baseUrl NOTIFY baseUrlChanged)
    Q_PROPERTY(QList<CategoryItem> categories READ categories NOTIFY categoriesChanged)
    Q_PROPERTY(bool isLoadingPlatformStats READ isLoadingPlatformStats NOTIFY isLoadingPlatformStatsChanged)
    Q_PROPERTY(bool isLoadingCategories READ isLoadingCategories NOTIFY isLoadingCategoriesChanged)
    Q_PROPERTY(bool isInitialized READ isInitialized NOTIFY isInitializedChanged)
    Q_PROPERTY(bool connectionFailed READ connectionFailed NOTIFY connectionFailedChanged)
    Q_PROPERTY(std::exception_ptr platformStatsError READ platformStatsError NOTIFY platformStatsErrorChanged)
    Q_PROPERTY(std::exception_ptr categoriesError READ categoriesError NOTIFY categoriesErrorChanged)

public:
    static constexpr int kRetryDelayMs = 3'000;
    static constexpr int kMaxRetryAttempts = 10;

    // The shared backend client and home feed, real timers.
    explicit AppStore(QObject* parent = nullptr);
    AppStore(APIService& api, HomePageService& homePage, Delays delays, QObject* parent = nullptr);
    ~AppStore() override;

    static AppStore& shared();

    // Runs the first load unless the store is initialized. Callers that arrive while it runs
    // wait for it. A load that fails sets connectionFailed and starts a retry series.
    QCoro::Task<> initializeIfNeeded();
    // Ends the retry series, clears the failure state and starts one load on the next turn of the
    // event loop; a failure there sets connectionFailed without starting a new series.
    void retryConnection();
    // Loads the categories unless they are there; an empty reply counts as not loaded. Their
    // names are the ones the screens show (CategoryNames).
    QCoro::Task<> loadCategoriesIfNeeded();
    // The name of the first category with this id, nothing when none has it.
    std::optional<QString> categoryName(qint64 categoryId) const;

    const std::optional<PlatformStatsData>& platformStats() const { return platformStats_; }
    // The asset host of the statistics; nothing until they arrive, and nothing when what they
    // name is not a bare host with an optional port.
    const std::optional<QString>& baseUrl() const { return baseUrl_; }
    const QList<CategoryItem>& categories() const { return categories_; }
    bool isLoadingPlatformStats() const { return isLoadingPlatformStats_; }
    bool isLoadingCategories() const { return isLoadingCategories_; }
    bool isInitialized() const { return isInitialized_; }
    bool connectionFailed() const { return connectionFailed_; }
    std::exception_ptr platformStatsError() const { return platformStatsError_; }
    std::exception_ptr categoriesError() const { return categoriesError_; }
    // A retry series is waiting or loading.
    bool isAutoRetrying() const { return autoRetrying_; }

Q_SIGNALS:
    void platformStatsChanged();
    void baseUrlChanged();
    void categoriesChanged();
    void isLoadingPlatformStatsChanged();
    void isLoadingCategoriesChanged();
    void isInitializedChanged();
    void connectionFailedChanged();
    void platformStatsErrorChanged();
    void categoriesErrorChanged();

private:
    // Fetches the statistics unless they are there; concurrent callers share one request.
    QCoro::Task<> loadPlatformStats();
    QCoro::Task<> fetchPlatformStats();
    QCoro::Task<> runFirstLoad();
    // Statistics, then the home feed, then ready: one load at a time, which every caller (first
    // load, retry series, manual retry) joins, so none can mark the store ready before the feed.
    QCoro::Task<> loadStatsThenHomeFeed();
    QCoro::Task<> runStatsThenHomeFeed();
    QCoro::Task<> fetchCategories();
    // The home feed after good statistics; its failure is the home screen's business.
    QCoro::Task<> loadHomeFeed();
    QCoro::Task<> runRetrySeries(std::stop_token stop, int series);
    static QCoro::Task<> runManualRetry(QPointer<AppStore> store);
    void startAutoRetry();
    void stopAutoRetry();
    void markReady();

    void setPlatformStats(PlatformStatsData stats);
    void setBaseUrl(std::optional<QString> host);
    void setLoadingPlatformStats(bool loading);
    void setLoadingCategories(bool loading);
    void setInitialized(bool initialized);
    void setConnectionFailed(bool failed);
    void setPlatformStatsError(std::exception_ptr error);
    void setCategoriesError(std::exception_ptr error);

    APIService& api_;
    HomePageService& homePage_;
    const Delays delays_;
    SingleFlight* statsFlight_;
    SingleFlight* firstLoadFlight_;
    SingleFlight* loadFlight_;
    SingleFlight* categoriesFlight_;

    std::optional<PlatformStatsData> platformStats_;
    std::optional<QString> baseUrl_;
    QList<CategoryItem> categories_;
    bool isLoadingPlatformStats_ = false;
    bool isLoadingCategories_ = false;
    bool isInitialized_ = false;
    bool connectionFailed_ = false;
    std::exception_ptr platformStatsError_;
    std::exception_ptr categoriesError_;

    std::stop_source retryStop_;
    int retrySeries_ = 0;
    bool autoRetrying_ = false;
};
