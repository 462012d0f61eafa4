#include "support/CatalogueSession.h"
#include "Settle.h"

#include "backend/APIError.h"
#include "foundation/Clock.h"
#include "foundation/Log.h"
#include "state/ExploreWallpapersService.h"
#include "RunToEnd.h"

#include <QJsonArray>
#include <QSet>

#include <gtest/gtest.h>

using samplecatalogue::Fault;

namespace {
const QString kByMode = QStringLiteral("get-wallpapers");
const QString kByCategory = QStringLiteral("get-wallpapers-by-category");
constexpr qint64 kGaming = 7;
constexpr int kExtraGaming = 45;

QList<qint64> keysOf(const QList<WallpaperResponseItem>& items)
{
    QList<qint64> keys;
    for (const WallpaperResponseItem& item : items)
        keys.append(item.key);
    return keys;
}

WallpaperListQuery section(const QString& mode) { return {WallpaperListQuery::kExploreSectionId, mode, {}, {}}; }
WallpaperListQuery category(qint64 id, std::optional<QString> sort = {}) { return {id, {}, {}, std::move(sort)}; }

// The stock catalogue plus enough Gaming wallpapers for a category list of three pages.
void addGamingWallpapers(QJsonObject& seed)
{
    QJsonArray wallpapers = seed.value(QLatin1String("wallpapers")).toArray();
    for (int i = 0; i < kExtraGaming; ++i) {
        wallpapers.append(QJsonObject{{"key", qint64(1719000000000) + i}, {"title", QStringLiteral("Arcade %1").arg(i)},
            {"downloads", i}, {"creator", "sample"}, {"likes", i}, {"category_id", kGaming},
            {"resolution_width", 1920}, {"resolution_height", 1080}, {"file_size", 1000000}, {"duration_seconds", 10},
            {"created_at", QStringLiteral("2024-03-%1T10:00:00Z").arg(i % 28 + 1, 2, 10, QLatin1Char('0'))}});
    }
    seed.insert(QStringLiteral("wallpapers"), wallpapers);
}

class ExploreWallpapersServiceTest : public ::testing::Test {
protected:
    explicit ExploreWallpapersServiceTest(const CatalogueSession::SeedEdit& edit = {}) : session_(edit) {}

    void SetUp() override { ASSERT_TRUE(session_.isRunning()); }
    void TearDown() override { settle(); }

    QList<WallpaperResponseItem> everything(const QString& mode)
    {
        return waitForTask(session_.api().getWallpapers(mode, 100, 1));
    }

    CatalogueSession session_;
    ManualClock clock_;
    ExploreWallpapersService lists_{session_.api(), clock_};
};

TEST(WallpaperListQueryTest, KeysNameTheKindOfList)
{
    using Q = WallpaperListQuery;
    const std::pair<Q, QString> cases[] = {
        {Q{12, {}, {}, QStringLiteral("latest")}, QStringLiteral("12_sort_latest")},
        {Q{12, {}, {}, {}}, QStringLiteral("12")},
        {Q{-998, QStringLiteral("recent"), QStringLiteral("4K"), {}}, QStringLiteral("-998_4K")},
        {Q{-998, {}, {}, QStringLiteral("random")}, QStringLiteral("-998_sort_random")},
        {Q{-997, QStringLiteral("recent"), {}, {}}, QStringLiteral("-997_recent")},
        {Q{-999, QStringLiteral("download"), QStringLiteral("4K"), QStringLiteral("likes")}, QStringLiteral("-999_download")},
        {Q{-999, {}, {}, {}}, QStringLiteral("-999")},
    };
    for (const auto& [query, key] : cases)
        EXPECT_EQ(query.cacheKey(), key);
    EXPECT_EQ((Q{-999, {}, {}, {}}).kind(), Q::Kind::Category) << "a reserved id without its argument";
}

TEST(ExploreWallpapersPages, AnAppendedPageAddsEachKeyOnce)
{
    const auto items = [](std::initializer_list<qint64> keys) {
        QList<WallpaperResponseItem> made;
        for (const qint64 key : keys) {
            WallpaperResponseItem item;
            item.key = key;
            made.append(item);
        }
        return made;
    };
    const struct {
        const char* name;
        QList<WallpaperResponseItem> list;
        QList<WallpaperResponseItem> page;
        QList<qint64> after;
    } cases[] = {
        {"nothing shared", items({1, 2}), items({3, 4}), {1, 2, 3, 4}},
        {"a key of the list again", items({1, 2}), items({2, 3}), {1, 2, 3}},
        {"a key twice in the page", items({1}), items({3, 3, 4}), {1, 3, 4}},
        {"onto an empty list", {}, items({5, 5}), {5}},
    };
    for (const auto& c : cases) {
        QList<WallpaperResponseItem> list = c.list;
        ExploreWallpapersService::appendUnseen(list, c.page);
        EXPECT_EQ(keysOf(list), c.after) << c.name;
    }
}

TEST_F(ExploreWallpapersServiceTest, HandedOverRowContinuesWithoutSkippingItems)
{
    const QList<WallpaperResponseItem> recent = everything(QStringLiteral("recent"));
    ASSERT_EQ(recent.size(), 42);
    LogCapture log;
    lists_.prepopulateCache(WallpaperListQuery::kExploreSectionId, recent.first(6), QStringLiteral("recent"));
    EXPECT_TRUE(log.lines().contains(QStringLiteral("✅ [ExploreWallpapersService] Pre-populated cache with key "
                                                    "'-999_recent' for categoryId -999 with 6 wallpapers, mode: recent")));

    const int before = session_.requests(kByMode);
    runToEnd(lists_.loadWallpapers(section(QStringLiteral("recent"))));
    EXPECT_EQ(session_.requests(kByMode), before);
    EXPECT_TRUE(log.lines().contains(
        QStringLiteral("✅ [ExploreWallpapersService] Using pre-populated cache for section with mode 'recent'")));
    EXPECT_TRUE(lists_.canLoadMore(section(QStringLiteral("recent"))));

    // The six came from a smaller page: the first page of the normal size still has to be read.
    runToEnd(lists_.loadNextPage(section(QStringLiteral("recent"))));
    EXPECT_EQ(session_.lastQuery(kByMode, QStringLiteral("page")), QStringLiteral("1"));
    EXPECT_EQ(session_.lastQuery(kByMode, QStringLiteral("limit")), QStringLiteral("20"));
    while (lists_.canLoadMore(section(QStringLiteral("recent"))))
        runToEnd(lists_.loadNextPage(section(QStringLiteral("recent"))));

    const auto list = lists_.list(section(QStringLiteral("recent")));
    ASSERT_TRUE(list);
    EXPECT_EQ(keysOf(list->loadedWallpapers), keysOf(recent));
    EXPECT_EQ(list->currentPage, 3);
    EXPECT_FALSE(list->hasMorePages);
    EXPECT_TRUE(lists_.loadingPages().isEmpty());
}

TEST_F(ExploreWallpapersServiceTest, FullPagesPromiseMoreAndAShortOneEndsTheList)
{
    const WallpaperListQuery popular = section(QStringLiteral("download"));
    runToEnd(lists_.loadWallpapers(popular));
    EXPECT_EQ(lists_.list(popular)->loadedWallpapers.size(), 20);
    EXPECT_TRUE(lists_.list(popular)->hasMorePages);
    runToEnd(lists_.loadNextPage(popular));
    runToEnd(lists_.loadNextPage(popular));
    EXPECT_EQ(lists_.list(popular)->loadedWallpapers.size(), 42);
    EXPECT_FALSE(lists_.canLoadMore(popular));

    const int requests = session_.requests(kByMode);
    runToEnd(lists_.loadNextPage(popular));
    EXPECT_EQ(session_.requests(kByMode), requests) << "an exhausted list asks nothing";

    const WallpaperListQuery lockScreen{WallpaperListQuery::kLockScreenId, QStringLiteral("recent"), {}, {}};
    runToEnd(lists_.loadWallpapers(lockScreen));
    EXPECT_EQ(session_.lastQuery(kByMode, QStringLiteral("type")), QStringLiteral("lockscreen"));
    EXPECT_FALSE(lists_.canLoadMore(lockScreen));

    const WallpaperListQuery resolution{WallpaperListQuery::kResolutionId, {}, QStringLiteral("HD"), {}};
    runToEnd(lists_.loadWallpapers(resolution));
    EXPECT_TRUE(lists_.list(resolution)->isLoaded);
    EXPECT_EQ(session_.requests(QStringLiteral("get-wallpapers-by-resolution")), 1);
}

TEST_F(ExploreWallpapersServiceTest, CategoryListLogsItsRequestsAndAnEmptyListIsAskedAgain)
{
    LogCapture log;
    runToEnd(lists_.loadWallpapers(category(99, QStringLiteral("latest"))));
    EXPECT_EQ(log.lines().filter(QStringLiteral("[ExploreWallpapersService]")),
        (QStringList{
            "🔵 [ExploreWallpapersService] Fetching endpoint: get-wallpapers-by-category",
            "🔵 [ExploreWallpapersService] Parameters: category=99, limit=20, page=1, sort_by=latest, seed=-1",
            "✅ [ExploreWallpapersService] Loaded 5 wallpapers for category 99",
        }));
    EXPECT_FALSE(lists_.canLoadMore(category(99, QStringLiteral("latest"))));
    runToEnd(lists_.loadWallpapers(category(99, QStringLiteral("latest"))));
    EXPECT_TRUE(log.lines().contains(
        QStringLiteral("✅ [ExploreWallpapersService] Cache already loaded for key '99_sort_latest', skipping API call")));

    log.clear();
    runToEnd(lists_.loadWallpapers(category(4242)));
    runToEnd(lists_.loadWallpapers(category(4242)));
    EXPECT_EQ(log.lines().filter(QStringLiteral("Fetching endpoint")).size(), 2);
    const auto empty = lists_.list(category(4242));
    EXPECT_TRUE(empty->isLoaded && empty->loadedWallpapers.isEmpty() && !empty->hasMorePages);
}

TEST_F(ExploreWallpapersServiceTest, OverlappingFirstPageLoadsMakeOneRequest)
{
    session_.server().setFault(CatalogueSession::path(kByCategory), Fault{0, 100, false, false, 1});
    LogCapture log;
    auto first = lists_.loadWallpapers(category(3));
    EXPECT_FALSE(lists_.canLoadMore(category(3))) << "a page is in flight";
    runToEnd(lists_.loadWallpapers(category(3)));
    runToEnd(std::move(first));
    EXPECT_EQ(session_.requests(kByCategory), 1);
    EXPECT_TRUE(log.lines().contains(
        QStringLiteral("🔵 [ExploreWallpapersService] Already loading page 1 for key '3', skipping duplicate call")));
}

TEST_F(ExploreWallpapersServiceTest, FailedNextPageLeavesTheListAndClearsItsMark)
{
    const WallpaperListQuery recent = section(QStringLiteral("recent"));
    runToEnd(lists_.loadWallpapers(recent));
    session_.server().setFault(CatalogueSession::path(kByMode), Fault{500, 0, false, false, 1});
    EXPECT_THROW(runToEnd(lists_.loadNextPage(recent)), APIError);
    EXPECT_TRUE(lists_.loadingPages().isEmpty());
    EXPECT_EQ(lists_.list(recent)->currentPage, 1);
    EXPECT_EQ(lists_.list(recent)->loadedWallpapers.size(), 20);

    runToEnd(lists_.loadNextPage(recent));
    EXPECT_EQ(lists_.list(recent)->currentPage, 2);
}

TEST_F(ExploreWallpapersServiceTest, NextPageOfAnUnloadedListLoadsItsFirstPage)
{
    runToEnd(lists_.loadNextPage(section(QStringLiteral("likes"))));
    EXPECT_EQ(session_.lastQuery(kByMode, QStringLiteral("page")), QStringLiteral("1"));
    const auto list = lists_.list(section(QStringLiteral("likes")));
    ASSERT_TRUE(list);
    EXPECT_TRUE(list->isLoaded);
    EXPECT_EQ(list->currentPage, 1);
}

TEST_F(ExploreWallpapersServiceTest, MemoryClearingKeepsOnlyRandomLists)
{
    runToEnd(lists_.loadWallpapers(category(1)));
    runToEnd(lists_.loadWallpapers(category(1, QStringLiteral("random"))));
    lists_.prepopulateSortedCache(99, {}, QStringLiteral("latest"));
    EXPECT_EQ(lists_.cacheData().keys().size(), 2);

    lists_.clearMemory();
    EXPECT_TRUE(lists_.cacheData().isEmpty());
    EXPECT_TRUE(lists_.loadingPages().isEmpty());
    EXPECT_EQ(lists_.transientRandomData().keys(), QStringList{QStringLiteral("1_sort_random")});
}

class RandomListTest : public ExploreWallpapersServiceTest {
protected:
    RandomListTest() : ExploreWallpapersServiceTest(addGamingWallpapers) {}
};

TEST_F(RandomListTest, PagesOfOneSeedFitTogetherAndANewLoadTakesANewSeed)
{
    const WallpaperListQuery random = category(kGaming, QStringLiteral("random"));
    const QString seed = QString::number(clock_.now().toSecsSinceEpoch());
    runToEnd(lists_.loadWallpapers(random));
    EXPECT_EQ(session_.lastQuery(kByCategory, QStringLiteral("seed")), seed);
    while (lists_.canLoadMore(random)) {
        runToEnd(lists_.loadNextPage(random));
        EXPECT_EQ(session_.lastQuery(kByCategory, QStringLiteral("seed")), seed) << "every page of the order";
    }
    EXPECT_TRUE(lists_.cacheData().isEmpty());

    const QList<qint64> keys = keysOf(lists_.list(random)->loadedWallpapers);
    const QList<qint64> all = keysOf(waitForTask(session_.api().getWallpapersByCategory(kGaming, 100, 1)));
    EXPECT_EQ(keys.size(), all.size()) << "no item repeated or skipped";
    EXPECT_EQ(QSet<qint64>(keys.begin(), keys.end()), QSet<qint64>(all.begin(), all.end()));

    // Loading the list again starts a new order.
    clock_.advance(1);
    runToEnd(lists_.loadWallpapers(random));
    EXPECT_EQ(session_.lastQuery(kByCategory, QStringLiteral("seed")), QString::number(seed.toLongLong() + 1));
    EXPECT_EQ(lists_.list(random)->loadedWallpapers.size(), 20);
    EXPECT_EQ(lists_.list(random)->currentPage, 1);
}

TEST_F(ExploreWallpapersServiceTest, RandomModePagesContinueHandedOverRowsInOneOrder)
{
    const WallpaperListQuery random = section(QStringLiteral("random"));
    const QList<qint64> all = keysOf(everything(QStringLiteral("recent")));
    constexpr qint64 kSeed = 4242;
    const auto pageThrough = [&] {
        runToEnd(lists_.loadWallpapers(random));
        const QString seed = QString::number(*lists_.list(random)->seed);
        while (lists_.canLoadMore(random)) {
            runToEnd(lists_.loadNextPage(random));
            EXPECT_EQ(session_.lastQuery(kByMode, QStringLiteral("seed")), seed) << "every page of the order";
        }
        return keysOf(lists_.list(random)->loadedWallpapers);
    };

    // The Discover row is the head of the order its seed fixes; the pages after it fit exactly.
    const QList<WallpaperResponseItem> row
        = waitForTask(session_.api().getWallpapers(QStringLiteral("random"), 6, 1, std::nullopt, kSeed));
    lists_.prepopulateCache(WallpaperListQuery::kExploreSectionId, row, QStringLiteral("random"), kSeed);
    const int before = session_.requests(kByMode);
    const QList<qint64> keys = pageThrough();
    EXPECT_EQ(session_.requests(kByMode), before + 3);
    EXPECT_EQ(keys, keysOf(waitForTask(session_.api().getWallpapers(QStringLiteral("random"), 100, 1, std::nullopt, kSeed))));
    EXPECT_EQ(QSet<qint64>(keys.begin(), keys.end()), QSet<qint64>(all.begin(), all.end()));

    // Rows without their seed: the list takes a new one and pages from its start, still whole.
    lists_.clearMemory();
    lists_.prepopulateCache(WallpaperListQuery::kExploreSectionId, row, QStringLiteral("random"));
    EXPECT_EQ(lists_.list(random)->seed, clock_.now().toSecsSinceEpoch());
    const QList<qint64> restarted = pageThrough();
    EXPECT_EQ(restarted.first(6), keysOf(row));
    EXPECT_EQ(restarted.size(), all.size()) << "no item repeated or skipped";
    EXPECT_EQ(QSet<qint64>(restarted.begin(), restarted.end()), QSet<qint64>(all.begin(), all.end()));
}
} // namespace
