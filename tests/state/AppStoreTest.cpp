#include "support/CatalogueSession.h"
#include "Settle.h"
#include "TestDelays.h"

#include "backend/APIError.h"
#include "backend/APIService.h"
#include "backend/ResponseCache.h"
#include "foundation/Log.h"
#include "state/AppStore.h"
#include "state/CategoryNames.h"
#include "state/HomePageService.h"
#include "support/Eventually.h"
#include "RunToEnd.h"

#include <QJsonArray>
#include <QSignalSpy>

#include <gtest/gtest.h>

using samplecatalogue::Fault;

namespace {
// Waits, by what they wait for: a few turns of the event loop, a few loopback requests, and a
// whole retry series (eleven failed requests, sleeps of a millisecond between them).
constexpr int kTurnsWaitMs = 1'000;
constexpr int kRequestsWaitMs = 5'000;
constexpr int kSeriesWaitMs = 10'000;
const QString kStats = QStringLiteral("platform-stats");

APIError::Kind errorKind(std::exception_ptr error)
{
    if (!error) {
        ADD_FAILURE() << "no error was recorded";
        return APIError::Kind::InvalidResponse;
    }
    try {
        std::rethrow_exception(error);
    } catch (const APIError& apiError) {
        return apiError.kind();
    } catch (...) {
    }
    ADD_FAILURE() << "not an APIError";
    return APIError::Kind::InvalidResponse;
}

// Records the order in which the store's fields change.
class ChangeLog {
public:
    explicit ChangeLog(AppStore& store)
    {
        const auto track = [this, &store](auto signal, const char* name) {
            QObject::connect(&store, signal, [this, name] { names_.append(QString::fromLatin1(name)); });
        };
        track(&AppStore::platformStatsChanged, "platformStats");
        track(&AppStore::baseUrlChanged, "baseUrl");
        track(&AppStore::isInitializedChanged, "isInitialized");
        track(&AppStore::connectionFailedChanged, "connectionFailed");
    }
    const QStringList& names() const { return names_; }

private:
    QStringList names_;
};

class AppStoreTest : public ::testing::Test {
protected:
    explicit AppStoreTest(const CatalogueSession::SeedEdit& edit = {}) : session_(edit) {}

    void SetUp() override { ASSERT_TRUE(session_.isRunning()); }
    void TearDown() override
    {
        store_.reset();
        settle();
    }

    samplecatalogue::SampleCatalogue& server() { return session_.server(); }
    void failStats(int times = -1) { server().setFault(CatalogueSession::path(kStats), Fault{503, 0, false, false, times}); }
    AppStore& store() { return *store_; }

    TestDelays delays_;
    CatalogueSession session_;
    HomePageService home_{session_.api()};
    std::unique_ptr<AppStore> store_ = std::make_unique<AppStore>(session_.api(), home_, delays_.delays());
};

TEST_F(AppStoreTest, FirstLoadTakesStatisticsThenTheHomeFeed)
{
    ChangeLog changes(store());
    runToEnd(store().initializeIfNeeded());

    ASSERT_TRUE(store().platformStats());
    EXPECT_EQ(store().platformStats()->totalWallpapers, server().catalogue().wallpapers().size());
    EXPECT_EQ(store().baseUrl(), server().assetHost());
    EXPECT_TRUE(home_.isLoaded());
    EXPECT_TRUE(store().isInitialized());
    EXPECT_FALSE(store().connectionFailed());
    EXPECT_FALSE(store().isAutoRetrying());
    EXPECT_EQ(changes.names(), (QStringList{"platformStats", "baseUrl", "isInitialized"}));
    EXPECT_TRUE(store().categories().isEmpty()) << "categories wait for their first screen";

    // Once ready, nothing is asked again and nothing changes.
    runToEnd(store().initializeIfNeeded());
    store().retryConnection();
    settle();
    EXPECT_EQ(session_.requests(kStats), 1);
    EXPECT_EQ(session_.requests(QStringLiteral("get-home-page")), 1);
    EXPECT_EQ(changes.names().size(), 3);
    EXPECT_TRUE(store().isInitialized());
}

TEST_F(AppStoreTest, OverlappingFirstLoadsShareOneRequestAndNeitherReportsFailure)
{
    server().setFault(CatalogueSession::path(kStats), Fault{0, 150, false, false, 1});
    QSignalSpy failures(store_.get(), &AppStore::connectionFailedChanged);

    auto first = store().initializeIfNeeded();
    auto second = store().initializeIfNeeded();
    runToEnd(std::move(second));
    EXPECT_TRUE(store().isInitialized()) << "a waiting caller returns once the load it joined is done";
    EXPECT_TRUE(home_.isLoaded());
    runToEnd(std::move(first));

    EXPECT_EQ(session_.requests(kStats), 1);
    EXPECT_EQ(failures.count(), 0);
    EXPECT_FALSE(store().isAutoRetrying());
}

TEST_F(AppStoreTest, OverlappingFailedFirstLoadsStartOneRetrySeries)
{
    failStats(1);
    delays_.holdSleeps(true);
    auto first = store().initializeIfNeeded();
    auto second = store().initializeIfNeeded();
    runToEnd(std::move(second));
    runToEnd(std::move(first));

    EXPECT_EQ(session_.requests(kStats), 1);
    EXPECT_TRUE(store().connectionFailed());
    EXPECT_EQ(delays_.sleeps(), QList<int>{AppStore::kRetryDelayMs});
}

TEST_F(AppStoreTest, ACallerJoiningARunningLoadNeverMarksTheStoreReadyBeforeTheHomeFeed)
{
    struct Case {
        const char* name;
        bool retryFirst;
    };
    for (const Case& each : {Case{"retry during the first load", false}, Case{"first load during a retry", true}}) {
        SCOPED_TRACE(each.name);
        // Each case fetches the feed itself, slowly.
        session_.api().responseCache().remove(
            ResponseCache::cacheKey("GET", *session_.api().endpointURL(QStringLiteral("get-home-page")), std::nullopt));
        HomePageService home(session_.api());
        AppStore store(session_.api(), home, delays_.delays());
        server().setFault(CatalogueSession::path(QStringLiteral("get-home-page")), Fault{0, 400, false, false, 1});
        QList<bool> feedLoadedWhenReady;
        QObject::connect(&store, &AppStore::isInitializedChanged, [&] { feedLoadedWhenReady.append(home.isLoaded()); });

        // A retry runs in a task of its own; a first load is awaited.
        const auto start = [&store](bool retry) {
            std::optional<QCoro::Task<>> load;
            if (retry)
                store.retryConnection();
            else
                load.emplace(store.initializeIfNeeded());
            return load;
        };
        auto first = start(each.retryFirst);
        ASSERT_EVENTUALLY(store.platformStats().has_value(), kRequestsWaitMs);
        auto second = start(!each.retryFirst);
        for (auto* load : {&second, &first}) {
            if (*load)
                runToEnd(std::move(**load));
        }
        ASSERT_EVENTUALLY(store.isInitialized(), kRequestsWaitMs);

        EXPECT_EQ(feedLoadedWhenReady, QList<bool>{true});
        EXPECT_EQ(session_.requests(QStringLiteral("get-home-page")), 1);
        server().clearFaults();
        session_.server().clearRequests();
        // The caller that joined resumes on a later turn, before its store goes.
        settle();
    }
}

TEST_F(AppStoreTest, UnreachableBackendRetriesTenTimesThreeSecondsApartThenWaits)
{
    failStats();
    runToEnd(store().initializeIfNeeded());
    EXPECT_TRUE(store().connectionFailed());
    EXPECT_TRUE(store().isAutoRetrying());

    ASSERT_EVENTUALLY(!store().isAutoRetrying(), kSeriesWaitMs) << session_.requests(kStats) << " requests";
    EXPECT_EQ(session_.requests(kStats), 1 + AppStore::kMaxRetryAttempts);
    EXPECT_EQ(delays_.sleeps(), QList<int>(AppStore::kMaxRetryAttempts, AppStore::kRetryDelayMs));
    EXPECT_TRUE(store().connectionFailed());
    EXPECT_FALSE(store().isInitialized());
    EXPECT_EQ(store().baseUrl(), std::nullopt);
    EXPECT_EQ(errorKind(store().platformStatsError()), APIError::Kind::HttpError);

    // A new first load after the series starts over and, with the backend back, succeeds.
    server().clearFaults();
    runToEnd(store().initializeIfNeeded());
    EXPECT_TRUE(store().isInitialized());
    EXPECT_FALSE(store().connectionFailed());
    EXPECT_EQ(store().platformStatsError(), nullptr);
}

TEST_F(AppStoreTest, BackendComingBackDuringTheSeriesMakesTheStoreReady)
{
    failStats(3);
    ChangeLog changes(store());
    runToEnd(store().initializeIfNeeded());
    ASSERT_EVENTUALLY(store().isInitialized(), kRequestsWaitMs);

    EXPECT_EQ(session_.requests(kStats), 4);
    EXPECT_FALSE(store().connectionFailed());
    EXPECT_TRUE(home_.isLoaded());
    EXPECT_EQ(changes.names(),
        (QStringList{"connectionFailed", "platformStats", "baseUrl", "isInitialized", "connectionFailed"}));
    ASSERT_EVENTUALLY(!store().isAutoRetrying(), kTurnsWaitMs);
}

TEST_F(AppStoreTest, ManualRetryEndsTheSeriesAndStartsNoNewOneWhenItFails)
{
    failStats();
    delays_.holdSleeps(true);
    runToEnd(store().initializeIfNeeded());
    ASSERT_EVENTUALLY(delays_.heldSleeps() == 1, kTurnsWaitMs);

    store().retryConnection();
    EXPECT_FALSE(store().connectionFailed()) << "cleared at once, before the load";
    EXPECT_FALSE(store().isAutoRetrying());
    ASSERT_EVENTUALLY(store().connectionFailed(), kRequestsWaitMs);
    settle();

    EXPECT_EQ(session_.requests(kStats), 2);
    EXPECT_EQ(delays_.heldSleeps(), 0) << "the series' wait was cut short";
    EXPECT_EQ(delays_.sleeps().size(), 1) << "no new series";
    EXPECT_FALSE(store().isAutoRetrying());
}

TEST_F(AppStoreTest, CategoriesLoadOnceAndNameTheirIds)
{
    LogCapture log;
    auto first = store().loadCategoriesIfNeeded();
    auto overlapping = store().loadCategoriesIfNeeded();
    runToEnd(std::move(first));
    runToEnd(std::move(overlapping));
    runToEnd(store().loadCategoriesIfNeeded());

    EXPECT_EQ(session_.requests(QStringLiteral("get-categories")), 1);
    EXPECT_EQ(log.lines().filter(QStringLiteral("Categories loaded")),
        QStringList{QStringLiteral("Categories loaded: 8 items")});
    EXPECT_EQ(store().categoryName(99), QStringLiteral("Monochrome"));
    EXPECT_EQ(store().categoryName(1), QStringLiteral("Nature"));
    EXPECT_EQ(store().categoryName(12345), std::nullopt);
    EXPECT_FALSE(store().isLoadingCategories());
}

// A name with nothing to show once control characters are left out would be blank on every
// card, chip, list and title: it is shown as the fallback word instead.
TEST_F(AppStoreTest, ACategoryNamedWithNothingToShowGetsTheFallbackName)
{
    // C0 and C1 controls, spaces, a tab and a zero-width space.
    server().setFault(CatalogueSession::path(QStringLiteral("get-categories")),
        Fault{.times = 1, .rewritePattern = QStringLiteral("\"Nature\""),
            .rewriteWith = QStringLiteral("\"\\u0001 \\t\\u200b\\u009b\\u0007\"")});
    runToEnd(store().loadCategoriesIfNeeded());
    EXPECT_EQ(store().categoryName(1), CategoryNames::untitled());
    EXPECT_EQ(store().categoryName(99), QStringLiteral("Monochrome"));
}

TEST_F(AppStoreTest, FailedCategoriesLoadIsLoggedAndTriedAgain)
{
    EXPECT_EQ(store().categoryName(1), std::nullopt);
    server().setFault(CatalogueSession::path(QStringLiteral("get-categories")), Fault{500, 0, false, false, 1});
    LogCapture log;
    runToEnd(store().loadCategoriesIfNeeded());
    EXPECT_TRUE(store().categories().isEmpty());
    EXPECT_EQ(errorKind(store().categoriesError()), APIError::Kind::HttpError);
    EXPECT_TRUE(log.lines().contains(QStringLiteral("Failed to load categories: HTTP error with status code: 500")));
    EXPECT_FALSE(store().connectionFailed());

    runToEnd(store().loadCategoriesIfNeeded());
    EXPECT_EQ(store().categories().size(), 8);
    EXPECT_EQ(store().categoriesError(), nullptr);
}

// Statistics replies of the wrong shape, from a catalogue whose seed overrides the record.
struct BadStats {
    const char* name;
    QJsonValue totalWallpapers; // undefined: the server's own value
    QJsonValue baseUrl;
};

void PrintTo(const BadStats& stats, std::ostream* out) { *out << stats.name; }

class AppStoreBadStatsTest : public AppStoreTest, public ::testing::WithParamInterface<BadStats> {
protected:
    AppStoreBadStatsTest()
        : AppStoreTest([](QJsonObject& seed) {
            QJsonObject stats = seed.value(QLatin1String("platform_stats")).toObject();
            if (!GetParam().totalWallpapers.isUndefined())
                stats.insert(QStringLiteral("total_wallpapers"), GetParam().totalWallpapers);
            if (!GetParam().baseUrl.isUndefined())
                stats.insert(QStringLiteral("base_url"), GetParam().baseUrl);
            seed.insert(QStringLiteral("platform_stats"), stats);
        })
    {
    }
};

TEST_P(AppStoreBadStatsTest, ReplyOfTheWrongShapeKeepsTheAppOffline)
{
    delays_.holdSleeps(true);
    runToEnd(store().initializeIfNeeded());
    EXPECT_TRUE(store().connectionFailed());
    EXPECT_FALSE(store().isInitialized());
    EXPECT_EQ(store().platformStats(), std::nullopt);
    EXPECT_EQ(errorKind(store().platformStatsError()), APIError::Kind::DecodingError);
}

INSTANTIATE_TEST_SUITE_P(Replies, AppStoreBadStatsTest,
    ::testing::Values(BadStats{"countAsText", QJsonValue(QStringLiteral("120")), QJsonValue::Undefined},
        BadStats{"nullHost", QJsonValue::Undefined, QJsonValue(QJsonValue::Null)}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(AppStoreTest, SuccessWithoutStatisticsKeepsTheAppOffline)
{
    const struct {
        const char* name;
        Fault fault;
        APIError::Kind failure;
    } replies[] = {
        {"invalidJson", Fault{0, 0, false, true, -1}, APIError::Kind::DecodingError},
        {"emptyBody", Fault{0, 0, false, false, -1, true}, APIError::Kind::InvalidResponseFormat},
    };
    delays_.holdSleeps(true);
    for (const auto& reply : replies) {
        SCOPED_TRACE(reply.name);
        server().setFault(CatalogueSession::path(kStats), reply.fault);
        store_ = std::make_unique<AppStore>(session_.api(), home_, delays_.delays());
        runToEnd(store().initializeIfNeeded());
        EXPECT_TRUE(store().connectionFailed());
        EXPECT_FALSE(store().isInitialized());
        EXPECT_EQ(errorKind(store().platformStatsError()), reply.failure);
    }
}

class AppStoreAssetHostTest : public AppStoreTest, public ::testing::WithParamInterface<std::pair<QString, bool>> {
protected:
    AppStoreAssetHostTest()
        : AppStoreTest([](QJsonObject& seed) {
            QJsonObject stats = seed.value(QLatin1String("platform_stats")).toObject();
            stats.insert(QStringLiteral("base_url"), GetParam().first);
            seed.insert(QStringLiteral("platform_stats"), stats);
        })
    {
    }
};

TEST_P(AppStoreAssetHostTest, OnlyABareHostWithOptionalPortBecomesTheAssetHost)
{
    const auto& [host, accepted] = GetParam();
    LogCapture log;
    runToEnd(store().initializeIfNeeded());
    ASSERT_TRUE(store().platformStats());
    EXPECT_EQ(store().platformStats()->baseUrl, host) << "the record keeps what was received";
    EXPECT_TRUE(store().isInitialized());
    EXPECT_EQ(store().baseUrl(), accepted ? std::optional<QString>(host) : std::nullopt);
    EXPECT_EQ(log.contains(QStringLiteral("⚠️ [AppStore] Ignoring asset host that is not a bare host name: '") + host + u'\''),
        !accepted);
}

// The full table of host forms is AssetHostTest's; these two show how the store uses it.
INSTANTIATE_TEST_SUITE_P(Hosts, AppStoreAssetHostTest,
    ::testing::Values(std::pair{QStringLiteral("cdn.example.org:8443"), true},
        std::pair{QStringLiteral("https://cdn.example.org/"), false}));

TEST_F(AppStoreTest, DestroyingTheStoreEndsItsRetrySeries)
{
    failStats();
    delays_.holdSleeps(true);
    runToEnd(store().initializeIfNeeded());
    ASSERT_EVENTUALLY(delays_.heldSleeps() == 1, kTurnsWaitMs);
    store_.reset();
    ASSERT_EVENTUALLY(delays_.heldSleeps() == 0, kTurnsWaitMs);
    EXPECT_EQ(session_.requests(kStats), 1);
}
} // namespace
