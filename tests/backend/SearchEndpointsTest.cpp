#include "CatalogueClientTest.h"

#include "backend/APIError.h"
#include "backend/RequestCancelledError.h"
#include "foundation/Async.h"
#include "foundation/Log.h"

#include <QTest>

namespace {

class SearchEndpointsTest : public CatalogueClientTest {
protected:
    QString searchAddress() const { return address(QStringLiteral("search-wallpapers")); }
};

struct SearchShape {
    const char* shape;
    int count; // -1: the reply fits no accepted shape
    const char* decodedLine;
};

class SearchEndpointShapesTest : public SearchEndpointsTest, public ::testing::WithParamInterface<SearchShape> {};

TEST_P(SearchEndpointShapesTest, ReadsEveryShapeTheBackendMayUse)
{
    setShape(QStringLiteral("search-wallpapers"), QString::fromLatin1(GetParam().shape));
    LogCapture log;
    if (GetParam().count < 0) {
        const auto error = failureOf<APIError>(api_->searchWallpapers(QStringLiteral("rain")));
        ASSERT_TRUE(error);
        EXPECT_EQ(error->kind(), APIError::Kind::InvalidResponseFormat);
        EXPECT_EQ(log.lines().last(), QStringLiteral("🔎 [SearchAPI] Decode failed — no recognized wallpapers shape"));
        return;
    }
    EXPECT_EQ(waitForTask(api_->searchWallpapers(QStringLiteral("rain"))).size(), GetParam().count);
    EXPECT_EQ(log.lines().last(), QStringLiteral("🔎 [SearchAPI] ") + QString::fromLatin1(GetParam().decodedLine)
            + QString::number(GetParam().count));
}

INSTANTIATE_TEST_SUITE_P(Shapes, SearchEndpointShapesTest,
    ::testing::Values(SearchShape{"envelope", 4, "Decoded as WallpapersResponse, count="},
        SearchShape{"bare-array", 4, "Decoded as [WallpaperResponseItem], count="},
        SearchShape{"data", 4, "Decoded envelope (wallpapers/data/results), count="},
        SearchShape{"results", 4, "Decoded envelope (wallpapers/data/results), count="},
        SearchShape{"null-wallpapers-data", 4, "Decoded envelope (wallpapers/data/results), count="},
        SearchShape{"empty-object", 0, "Decoded envelope (wallpapers/data/results), count="},
        SearchShape{"keyless-item", 4, "Decoded as WallpapersResponse, count="}, SearchShape{"text", -1, ""}),
    [](const auto& test) {
        std::string name = test.param.shape;
        std::erase(name, '-');
        return name;
    });

struct CompletionShape {
    const char* shape;
    std::optional<QString> suggestion;
    QStringList chips;
};

class AutoCompleteEndpointShapesTest : public SearchEndpointsTest, public ::testing::WithParamInterface<CompletionShape> {};

TEST_P(AutoCompleteEndpointShapesTest, ReadsEveryShapeTheBackendMayUse)
{
    // The catalogue completes "rain" with "rain on glass", then "fern rain", "grain and shadow" and
    // "silver rain".
    setShape(QStringLiteral("auto-complete"), QString::fromLatin1(GetParam().shape));
    const AutoCompleteResult result = waitForTask(api_->autoComplete(QStringLiteral("rain")));
    EXPECT_EQ(result.suggestion, GetParam().suggestion);
    EXPECT_EQ(result.chips, GetParam().chips);
}

const QStringList kRainChips{QStringLiteral("Fern Rain"), QStringLiteral("Grain and Shadow"), QStringLiteral("Silver Rain")};

INSTANTIATE_TEST_SUITE_P(Shapes, AutoCompleteEndpointShapesTest,
    ::testing::Values(CompletionShape{"array", QStringLiteral("Rain on Glass"), kRainChips},
        CompletionShape{"suggestions", QStringLiteral("Rain on Glass"), kRainChips},
        CompletionShape{"results", QStringLiteral("Rain on Glass"), kRainChips},
        CompletionShape{"suggestion", QStringLiteral("Rain on Glass"), {}},
        CompletionShape{"query", QStringLiteral("Rain on Glass"), {}},
        CompletionShape{"text", QStringLiteral("Rain on Glass"), {}},
        CompletionShape{"empty-array", std::nullopt, {}}, CompletionShape{"empty-object", std::nullopt, {}}),
    [](const auto& test) {
        std::string name = test.param.shape;
        std::erase(name, '-');
        return name;
    });

} // namespace

TEST_F(SearchEndpointsTest, SearchPostsTheQueryAsGivenAndLogsItsLength)
{
    LogCapture log;
    waitForTask(api_->searchWallpapers(QStringLiteral("  🌊 Rain ")));
    EXPECT_EQ(lastRequest(QStringLiteral("search-wallpapers")).body, QStringLiteral(R"({"query":"  🌊 Rain "})").toUtf8());
    EXPECT_EQ(log.lines().first(), QStringLiteral("🔎 [SearchAPI] POST search-wallpapers query=9 chars — ") + searchAddress());
    EXPECT_TRUE(log.lines().at(2).startsWith(QStringLiteral("🔎 [SearchAPI] Raw response (")));
}

TEST_F(SearchEndpointsTest, SearchSendsEvenAnEmptyQueryAndIsNeverCached)
{
    LogCapture log;
    EXPECT_TRUE(waitForTask(api_->searchWallpapers(QString())).isEmpty());
    EXPECT_TRUE(waitForTask(api_->searchWallpapers(QString())).isEmpty());
    EXPECT_EQ(requests(QStringLiteral("search-wallpapers")), 2);
    EXPECT_FALSE(log.contains(QStringLiteral("Cache")));
}

TEST_F(SearchEndpointsTest, StoppedSearchEndsAsCancelled)
{
    std::stop_source stopped;
    stopped.request_stop();
    EXPECT_TRUE(failureOf<RequestCancelledError>(api_->searchWallpapers(QStringLiteral("rain"), stopped.get_token())));
    EXPECT_TRUE(failureOf<RequestCancelledError>(api_->autoComplete(QStringLiteral("rain"), stopped.get_token())));
    EXPECT_EQ(requests(QStringLiteral("search-wallpapers")) + requests(QStringLiteral("auto-complete")), 0);

    setFault(QStringLiteral("auto-complete"), samplecatalogue::Fault{0, 5000, false, false, -1});
    std::stop_source typing;
    runAfter(50, nullptr, [&typing] { typing.request_stop(); });
    EXPECT_TRUE(failureOf<RequestCancelledError>(api_->autoComplete(QStringLiteral("rai"), typing.get_token())));
}

TEST_F(SearchEndpointsTest, SearchFailuresAreTheRequestsOwn)
{
    setFault(QStringLiteral("search-wallpapers"), samplecatalogue::Fault{502, 0, false, false, 1});
    const auto error = failureOf<APIError>(api_->searchWallpapers(QStringLiteral("rain")));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->statusCode(), 502);
}

TEST_F(SearchEndpointsTest, BlankQueryIsNeverSent)
{
    LogCapture log;
    EXPECT_EQ(waitForTask(api_->autoComplete(QStringLiteral("   "))), AutoCompleteResult());
    EXPECT_EQ(waitForTask(api_->autoComplete(QStringLiteral("\n\t"))), AutoCompleteResult());
    EXPECT_EQ(requests(QStringLiteral("auto-complete")), 0);
    EXPECT_TRUE(log.lines().isEmpty());
}

TEST_F(SearchEndpointsTest, AutoCompleteSendsTheQueryUntrimmedAndTracesItsSteps)
{
    LogCapture log;
    const AutoCompleteResult result = waitForTask(api_->autoComplete(QStringLiteral(" hex pulse")));
    EXPECT_EQ(lastRequest(QStringLiteral("auto-complete")).body, QByteArray(R"({"query":" hex pulse"})"));
    EXPECT_EQ(result, AutoCompleteResult());
    const QString requestLine = QStringLiteral("⌨️ [AutoComplete] POST auto-complete (no debounce) query=10 chars — ")
        + address(QStringLiteral("auto-complete"));
    EXPECT_EQ(log.lines().first(), requestLine);
    EXPECT_TRUE(log.contains(QStringLiteral(R"(⌨️ [AutoComplete] Raw (13 bytes): ["hex pulse"])")));
    EXPECT_TRUE(log.contains(QStringLiteral("⌨️ [AutoComplete] First result equals query and no second item — no suggestion")));
    EXPECT_EQ(log.lines().last(), QStringLiteral("⌨️ [AutoComplete] Rich parse: primary=false, chips=0"));
    EXPECT_EQ(requests(QStringLiteral("auto-complete")), 1);
}

TEST_F(SearchEndpointsTest, ReportIsSentLaterWithTheKeyAsANumber)
{
    api_->flagWallpaper(9007199254740993, QStringLiteral("Flickers on my second screen"));
    EXPECT_EQ(requests(QStringLiteral("flag-wallpaper")), 0); // the call returned before sending
    ASSERT_TRUE(QTest::qWaitFor([this] { return !server().usage().reports().isEmpty(); }));
    EXPECT_EQ(server().usage().reports().first(), std::pair(qint64(9007199254740993), QStringLiteral("Flickers on my second screen")));
    EXPECT_EQ(lastRequest(QStringLiteral("flag-wallpaper")).body,
        QByteArray(R"({"key":9007199254740993,"remarks":"Flickers on my second screen"})"));
}

TEST_F(SearchEndpointsTest, FailedReportIsOnlyLogged)
{
    LogCapture log;
    api_->flagWallpaper(5, QStringLiteral("no such wallpaper"));
    const QString failed = QStringLiteral("❌ [APIService] Failed to flag wallpaper 5: HTTP error with status code: 404");
    ASSERT_TRUE(QTest::qWaitFor([&log, &failed] { return log.contains(failed); }));

    APIService::Settings broken = settings();
    broken.baseURL = QStringLiteral("https://exa mple.org");
    log.clear();
    client(broken)->flagWallpaper(5, QStringLiteral("x"));
    QTest::qWait(50);
    EXPECT_TRUE(log.lines().isEmpty());
}
