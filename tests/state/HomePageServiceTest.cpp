#include "support/CatalogueSession.h"
#include "Settle.h"

#include "backend/APIError.h"
#include "backend/HomePageResponse.h"
#include "foundation/Log.h"
#include "state/HomePageService.h"
#include "RunToEnd.h"

#include <gtest/gtest.h>

using samplecatalogue::Fault;

namespace {
const QString kHomePage = QStringLiteral("get-home-page");

QStringList titlesOf(const QList<HomePageSection>& sections)
{
    QStringList titles;
    for (const HomePageSection& section : sections)
        titles.append(section.title);
    return titles;
}

HomeSectionData block(std::optional<QString> title, int items)
{
    return HomeSectionData{std::move(title), std::nullopt, QList<WallpaperResponseItem>(items)};
}

class HomePageServiceTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(session_.isRunning()); }
    void TearDown() override { settle(); }

    CatalogueSession session_;
    HomePageService home_{session_.api()};
};

TEST_F(HomePageServiceTest, LoadsTheSectionsInKeyOrderWithoutEmptyOnes)
{
    runToEnd(home_.loadHomePage());

    EXPECT_TRUE(home_.isLoaded());
    EXPECT_FALSE(home_.isLoading());
    EXPECT_EQ(home_.heroCarousel().size(), 5);
    // 4k_collection, coming_soon (empty), editors_picks, lockscreen_favorites, new_arrivals (untitled),
    // trending_now.
    EXPECT_EQ(titlesOf(home_.sections()), (QStringList{"4K Collection", "Editors' Picks", "For Your Lock Screen",
                                              "New Arrivals", "Trending Now"}));
    EXPECT_EQ(home_.sections().at(0).subtitle, QString()) << "no subtitle given";
    EXPECT_EQ(home_.sections().at(1).subtitle, QStringLiteral("Our favourites"));
    EXPECT_EQ(home_.sections().at(3).wallpapers.size(), 8);
    EXPECT_NE(home_.sections().at(0).id, home_.sections().at(1).id);
}

TEST_F(HomePageServiceTest, LoadsOnceAndSaysWhyItSkips)
{
    LogCapture log;
    auto first = home_.loadHomePage();
    runToEnd(home_.loadHomePage());
    runToEnd(std::move(first));
    runToEnd(home_.loadHomePage());

    EXPECT_EQ(session_.requests(kHomePage), 1);
    EXPECT_TRUE(log.lines().contains(QStringLiteral("🔵 [HomePageService] Already loading, skipping...")));
    EXPECT_TRUE(log.lines().contains(QStringLiteral("🔵 [HomePageService] Already loaded, skipping...")));
}

TEST_F(HomePageServiceTest, FailedLoadReachesTheCallerAndIsTriedAgain)
{
    session_.server().setFault(CatalogueSession::path(kHomePage), Fault{500, 0, false, false, 1});
    try {
        runToEnd(home_.loadHomePage());
        FAIL() << "the failure reaches the caller";
    } catch (const APIError& error) {
        EXPECT_EQ(error.statusCode(), 500);
    }
    EXPECT_FALSE(home_.isLoading());
    EXPECT_FALSE(home_.isLoaded());
    EXPECT_TRUE(home_.sections().isEmpty());

    runToEnd(home_.loadHomePage());
    EXPECT_TRUE(home_.isLoaded());
    EXPECT_EQ(session_.requests(kHomePage), 2);
}

TEST(HomePageSectionsTest, SortByScalarValuesAndTitleUntitledBlocks)
{
    HomePageResponse response;
    response.sections.insert(QStringLiteral("popular"), block(std::nullopt, 3));
    response.sections.insert(QStringLiteral("latest"), block(std::nullopt, 2));
    response.sections.insert(QStringLiteral("empty"), block(std::nullopt, 0));
    response.sections.insert(QStringLiteral("Zebra_rows"), block(std::nullopt, 1));
    response.sections.insert(QStringLiteral("blank"), block(QString(), 1));
    const QList<HomePageSection> sections = HomePageService::assembleSections(response);
    EXPECT_EQ(titlesOf(sections), (QStringList{"Zebra Rows", "", "Latest", "Popular"}));
}

TEST(HomePageSectionsTest, TitleFromKey)
{
    const std::pair<QString, QString> cases[] = {
        {QStringLiteral("new_arrivals"), QStringLiteral("New Arrivals")},
        {QStringLiteral("best_of_the_week"), QStringLiteral("Best Of The Week")},
        {QStringLiteral("__double__under_"), QStringLiteral("Double Under")},
        {QStringLiteral("4k_collection"), QStringLiteral("4k Collection")},
        {QStringLiteral("lowerCamelCase"), QStringLiteral("LowerCamelCase")},
        {QStringLiteral("straße_ßig"), QStringLiteral("Straße SSig")},
        {QStringLiteral("e\u0301clair"), QStringLiteral("E\u0301clair")},
        {QString(), QString()},
    };
    for (const auto& [key, title] : cases)
        EXPECT_EQ(HomePageService::titleFromKey(key), title) << key.toStdString();
}
} // namespace
