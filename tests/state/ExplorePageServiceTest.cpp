#include "support/CatalogueSession.h"
#include "Settle.h"

#include "backend/APIError.h"
#include "foundation/Clock.h"
#include "foundation/Log.h"
#include "state/ExplorePageService.h"
#include "RunToEnd.h"

#include <QJsonArray>

#include <gtest/gtest.h>

using samplecatalogue::Fault;

namespace {
const QString kByMode = QStringLiteral("get-wallpapers");
const QString kByCategory = QStringLiteral("get-wallpapers-by-category");

QList<qint64> keysOf(const QList<WallpaperResponseItem>& items)
{
    QList<qint64> keys;
    for (const WallpaperResponseItem& item : items)
        keys.append(item.key);
    return keys;
}

class ExplorePageServiceTest : public ::testing::Test {
protected:
    explicit ExplorePageServiceTest(const CatalogueSession::SeedEdit& edit = {}) : session_(edit) {}

    void SetUp() override { ASSERT_TRUE(session_.isRunning()); }
    void TearDown() override { settle(); }

    CatalogueSession session_;
    ManualClock clock_;
    ExplorePageService explore_{session_.api(), clock_};
};

TEST_F(ExplorePageServiceTest, LoadsTheFourRowsAndTheDiscoverStrip)
{
    LogCapture log;
    runToEnd(explore_.loadExplorePage());

    const QList<ExplorePageSection>& sections = explore_.sections();
    ASSERT_EQ(sections.size(), 4);
    const std::tuple<QString, qint64, qsizetype> expected[] = {
        {QStringLiteral("Latest Wallpapers"), 2, 6},
        {QStringLiteral("Most Popular Wallpapers"), 1, 15},
        {QStringLiteral("Discover Community Wallpapers"), 2, 6},
        {QStringLiteral("Monochrome Wallpapers"), 2, 5},
    };
    for (int i = 0; i < 4; ++i) {
        const auto& [title, rows, count] = expected[i];
        EXPECT_EQ(sections.at(i).title, title);
        EXPECT_EQ(sections.at(i).rows, rows);
        EXPECT_EQ(sections.at(i).wallpapers.size(), count);
        EXPECT_EQ(sections.at(i).shuffleSeed, std::nullopt);
    }
    EXPECT_EQ(sections.at(1).subtitle, QStringLiteral("Trending wallpapers loved by the community"));
    EXPECT_EQ(keysOf(explore_.discoverWallpapers()), keysOf(sections.at(2).wallpapers));
    // The random row carries the seed it was fetched with, for the full list it is handed to.
    const qint64 seed = clock_.now().toSecsSinceEpoch();
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(sections.at(i).listSeed, i == 2 ? std::optional(seed) : std::nullopt);
    EXPECT_EQ(keysOf(sections.at(2).wallpapers),
        keysOf(waitForTask(session_.api().getWallpapers(QStringLiteral("random"), 6, 1, std::nullopt, seed))));
    EXPECT_TRUE(explore_.isLoaded());
    EXPECT_FALSE(explore_.isLoading());

    EXPECT_EQ(session_.lastQuery(kByCategory, QStringLiteral("category")), QStringLiteral("99"));
    EXPECT_EQ(session_.lastQuery(kByCategory, QStringLiteral("sort_by")), QStringLiteral("latest"));
    EXPECT_TRUE(log.lines().contains(QStringLiteral(
        "🔵 [ExplorePageService] [Popular Section] Parameters: mode='download', limit=15, page=1")));
    EXPECT_TRUE(log.lines().contains(QStringLiteral(
        "✅ [ExplorePageService] All sections loaded - Latest: 6, Popular: 15, Discover: 6, Monochrome: 5")));
    EXPECT_TRUE(log.lines().contains(
        QStringLiteral("✅ [ExplorePageService] ===== loadExplorePage completed - Total sections: 4 =====")));
    EXPECT_EQ(log.lines().filter(QRegularExpression(QStringLiteral(
                  R"(^✅ \[ExplorePageService\] \[\w+ Section\] Loaded \d+ wallpapers in \d+\.\d\dms$)"))).size(),
        4);

    // Loaded for the run: no requests until the page is reset.
    const int requests = session_.requests(kByMode);
    runToEnd(explore_.loadExplorePage());
    EXPECT_EQ(session_.requests(kByMode), requests);
    EXPECT_TRUE(log.lines().contains(QStringLiteral("🔵 [ExplorePageService] Already loaded, skipping...")));

    explore_.reset();
    EXPECT_TRUE(explore_.sections().isEmpty());
    EXPECT_FALSE(explore_.isLoaded());
    EXPECT_EQ(explore_.discoverWallpapers().size(), 6) << "the strip outlives a reset";
    runToEnd(explore_.loadExplorePage());
    EXPECT_EQ(explore_.sections().size(), 4);
}

TEST_F(ExplorePageServiceTest, OneFailedRowPublishesNothingAndTheNextCallLoadsAgain)
{
    session_.server().setFault(CatalogueSession::path(kByCategory), Fault{500, 0, false, false, 1});
    try {
        runToEnd(explore_.loadExplorePage());
        FAIL() << "the failure reaches the caller";
    } catch (const APIError& error) {
        EXPECT_EQ(error.statusCode(), 500);
    }
    EXPECT_TRUE(explore_.sections().isEmpty());
    EXPECT_FALSE(explore_.isLoaded());
    EXPECT_FALSE(explore_.isLoading());
    EXPECT_TRUE(explore_.discoverWallpapers().isEmpty());

    runToEnd(explore_.loadExplorePage());
    EXPECT_EQ(explore_.sections().size(), 4);
}

TEST_F(ExplorePageServiceTest, AFailedRowCancelsTheRowsStillLoading)
{
    // One of the three catalogue-wide rows fails; the Monochrome row would take long.
    session_.server().setFault(CatalogueSession::path(kByMode), Fault{500, 0, false, false, 1});
    session_.server().setFault(CatalogueSession::path(kByCategory), Fault{0, 10'000, false, false, 1});
    LogCapture log;
    EXPECT_THROW(runToEnd(explore_.loadExplorePage()), APIError);
    EXPECT_FALSE(log.contains(QStringLiteral("[Monochrome Section] Loaded"))) << "the slow row was awaited to its end";
    EXPECT_FALSE(explore_.isLoading());
}

TEST_F(ExplorePageServiceTest, DiscoverStripComesFromTheRowOrFromTheBackend)
{
    runToEnd(explore_.refreshDiscoverSection());
    EXPECT_EQ(explore_.discoverWallpapers().size(), 6);
    EXPECT_EQ(session_.lastQuery(kByMode, QStringLiteral("mode")), QStringLiteral("random"));
    EXPECT_EQ(session_.lastQuery(kByMode, QStringLiteral("limit")), QStringLiteral("6"));

    const int requests = session_.requests(kByMode);
    LogCapture log;
    runToEnd(explore_.refreshDiscoverSection());
    EXPECT_EQ(session_.requests(kByMode), requests);
    EXPECT_TRUE(log.lines().isEmpty());
}

TEST_F(ExplorePageServiceTest, FailedDiscoverRequestIsLoggedAndLeavesTheStripEmpty)
{
    session_.server().setFault(CatalogueSession::path(kByMode), Fault{500, 0, false, false, 1});
    LogCapture log;
    runToEnd(explore_.refreshDiscoverSection());
    EXPECT_TRUE(explore_.discoverWallpapers().isEmpty());
    EXPECT_TRUE(log.lines().contains(
        QStringLiteral("⚠️ [ExplorePageService] Failed to fetch Discover wallpapers: HTTP error with status code: 500")));
}

class ExplorePageWithoutMonochromeTest : public ExplorePageServiceTest {
protected:
    // Every Monochrome wallpaper moved to another category.
    ExplorePageWithoutMonochromeTest()
        : ExplorePageServiceTest([](QJsonObject& seed) {
            QJsonArray wallpapers = seed.value(QLatin1String("wallpapers")).toArray();
            for (qsizetype i = 0; i < wallpapers.size(); ++i) {
                QJsonObject wallpaper = wallpapers.at(i).toObject();
                if (wallpaper.value(QLatin1String("category_id")).toInteger() == 99)
                    wallpaper.insert(QStringLiteral("category_id"), 7);
                wallpapers.replace(i, wallpaper);
            }
            seed.insert(QStringLiteral("wallpapers"), wallpapers);
        })
    {
    }
};

TEST_F(ExplorePageWithoutMonochromeTest, EmptyRowIsLeftOut)
{
    LogCapture log;
    runToEnd(explore_.loadExplorePage());
    EXPECT_EQ(explore_.sections().size(), 3);
    EXPECT_EQ(explore_.sections().last().title, QStringLiteral("Discover Community Wallpapers"));
    EXPECT_TRUE(log.lines().contains(QStringLiteral("⚠️ [ExplorePageService] Section 'Monochrome Wallpapers' is empty")));
    EXPECT_TRUE(explore_.isLoaded());
}
} // namespace
