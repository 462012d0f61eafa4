#include "BrowseSession.h"

#include "screens/browse/CategoryDetailController.h"

#include <QSet>
#include <QTest>

#include <gtest/gtest.h>

using samplecatalogue::Fault;

namespace {
const QString kByCategory = QStringLiteral("get-wallpapers-by-category");
const QString kByMode = QStringLiteral("get-wallpapers");
constexpr int kWaitMs = 10'000;
constexpr int kExtraGaming = 45; // 50 Gaming wallpapers: pages of 20, 20 and 10

CategoryNavigationItem category(int id, const QString& name) { return CategoryNavigationItem::named(id, name); }

CategoryNavigationItem section(const QString& title, CategoryFilter order)
{
    CategoryNavigationItem item = category(CategoryNavigationItem::kSectionList, title);
    item.isFromSection = true;
    item.sectionFilter = order;
    item.customTitle = title;
    return item;
}

WallpaperModel dated(const QString& title, const QString& createdAt)
{
    WallpaperModel wallpaper;
    wallpaper.title = title;
    wallpaper.createdAt = createdAt;
    return wallpaper;
}

QStringList titles(const QList<WallpaperModel>& wallpapers)
{
    QStringList result;
    for (const WallpaperModel& wallpaper : wallpapers)
        result.append(wallpaper.title);
    return result;
}

TEST(CategoryFilterTest, OnlyExactRawValuesNameAFilter)
{
    EXPECT_EQ(CategoryFilters::fromRawValue(QStringLiteral("Latest")), CategoryFilter::Latest);
    EXPECT_EQ(CategoryFilters::fromRawValue(QStringLiteral("Random")), CategoryFilter::Random);
    for (const char* text : {"latest", "LATEST", " Latest", "Newest", ""})
        EXPECT_FALSE(CategoryFilters::fromRawValue(QString::fromLatin1(text))) << text;
}

TEST(CategoryDetailSortTest, NewestFirstKeepsUndatedWallpapersLastInTheirOrder)
{
    QList<WallpaperModel> list{dated("undated-a", "soon"), dated("old", "2023-01-02T00:00:00Z"),
        dated("undated-b", ""), dated("new", "2024-05-01T08:00:00Z"), dated("undated-c", "31/02/2024"),
        dated("middle", "2023-06-01")};
    CategoryDetailController::sortNewestFirst(list);
    EXPECT_EQ(titles(list), (QStringList{"new", "middle", "old", "undated-a", "undated-b", "undated-c"}));
}

class CategoryDetailControllerTest : public ::testing::Test {
protected:
    CategoryDetailControllerTest() : session_([](QJsonObject& seed) { BrowseSession::addWallpapers(seed, kExtraGaming); }) {}

    void SetUp() override
    {
        ASSERT_TRUE(session_.catalogue.isRunning());
        session_.start();
    }

    std::unique_ptr<CategoryDetailController> page(const CategoryNavigationItem& item)
    {
        return std::make_unique<CategoryDetailController>(item, session_.lists, session_.store,
            [this](const QString& name, const QHash<QString, QString>& parameters) { session_.send(name, parameters); });
    }

    static bool waitSettled(const CategoryDetailController& page)
    {
        return QTest::qWaitFor([&] {
            return !page.isLoadingInitial() && !page.isLoadInProgress() && !page.isLoadingMorePages();
        }, kWaitMs);
    }

    int requests(const QString& endpoint) const { return session_.catalogue.requests(endpoint); }

    BrowseSession session_;
};

TEST_F(CategoryDetailControllerTest, ListArgumentsFollowTheKindOfPage)
{
    CategoryNavigationItem resolution = category(CategoryNavigationItem::kResolutionList, QStringLiteral("4K (3840x2160)"));
    resolution.resolutionFilter = QStringLiteral("4K");
    struct Case {
        CategoryNavigationItem item;
        std::optional<CategoryFilter> chosen;
        QString key;
        bool chips;
        QString caption;
    };
    const Case cases[] = {
        {category(BrowseSession::kGaming, "Gaming"), {}, "7_sort_latest", true, "CATEGORY"},
        {category(BrowseSession::kGaming, "Gaming"), CategoryFilter::Popular, "7_sort_download", true, "CATEGORY"},
        {section("Discover Community Wallpapers", CategoryFilter::Random), {}, "-999_random", false, "SECTION"},
        {section("Most Popular Wallpapers", CategoryFilter::Popular), CategoryFilter::Latest, "-999_download", false,
            "SECTION"},
        {category(CategoryNavigationItem::kLockScreenExclusives, "Lockscreen Exclusive"), CategoryFilter::Random, "-997_random",
            true, "LOCKSCREEN"},
        {resolution, {}, "-998_4K", false, "RESOLUTION"},
    };
    for (const Case& c : cases) {
        auto controller = page(c.item);
        if (c.chosen)
            controller->selectFilter(*c.chosen);
        EXPECT_EQ(controller->query().cacheKey(), c.key) << c.item.title().toStdString();
        EXPECT_EQ(controller->showsChips(), c.chips) << c.key.toStdString();
        EXPECT_EQ(controller->caption(), c.caption) << c.key.toStdString();
        ASSERT_TRUE(waitSettled(*controller));
    }
}

TEST_F(CategoryDetailControllerTest, PagesToTheEndOneRequestAtATime)
{
    auto gaming = page(category(BrowseSession::kGaming, QStringLiteral("Gaming")));
    gaming->pageOpened();
    EXPECT_TRUE(gaming->showsPlaceholders());
    ASSERT_TRUE(waitSettled(*gaming));
    ASSERT_EQ(gaming->wallpapers().size(), 20);

    const int before = requests(kByCategory);
    // The request itself goes out later: the loading row says at once whether a card asked.
    gaming->loadMoreIfNeeded(16);
    EXPECT_FALSE(gaming->isLoadingMorePages()) << "the fourth-last card asks for nothing";
    gaming->loadMoreIfNeeded(17);
    EXPECT_TRUE(gaming->isLoadingMorePages()) << "the third-last card asks for the next page";
    gaming->loadMoreIfNeeded(18);
    gaming->loadMoreIfNeeded(19);
    EXPECT_TRUE(gaming->isLoadingMorePages());
    ASSERT_TRUE(waitSettled(*gaming));
    EXPECT_EQ(requests(kByCategory), before + 1);
    ASSERT_EQ(gaming->wallpapers().size(), 40);

    gaming->loadMoreIfNeeded(39);
    ASSERT_TRUE(waitSettled(*gaming));
    gaming->loadMoreIfNeeded(49);
    EXPECT_EQ(requests(kByCategory), before + 2) << "a short page ends the list";
    QSet<qint64> keys;
    for (const WallpaperModel& wallpaper : gaming->wallpapers())
        keys.insert(*wallpaper.key);
    EXPECT_EQ(keys.size(), 50);
    EXPECT_EQ(gaming->wallpapers().first().category, QStringLiteral("Gaming"));
}

TEST_F(CategoryDetailControllerTest, AFailedPageEndsItsLoadingRowAndIsAskedForAgain)
{
    auto gaming = page(category(BrowseSession::kGaming, QStringLiteral("Gaming")));
    gaming->pageOpened();
    ASSERT_TRUE(waitSettled(*gaming));
    session_.catalogue.server().setFault(CatalogueSession::path(kByCategory), Fault{.status = 500});
    gaming->loadMoreIfNeeded(19);
    ASSERT_TRUE(waitSettled(*gaming));
    EXPECT_EQ(gaming->wallpapers().size(), 20) << "the page keeps what it showed";

    session_.catalogue.server().clearFaults();
    gaming->loadMoreIfNeeded(19);
    ASSERT_TRUE(waitSettled(*gaming));
    EXPECT_EQ(gaming->wallpapers().size(), 40);
}

TEST_F(CategoryDetailControllerTest, FailedOrUnknownListsEndEmptyWithoutLoadingState)
{
    session_.catalogue.server().setFault(CatalogueSession::path(kByCategory), Fault{.invalidJson = true});
    auto failed = page(category(BrowseSession::kGaming, QStringLiteral("Gaming")));
    failed->pageOpened();
    ASSERT_TRUE(waitSettled(*failed));
    EXPECT_TRUE(failed->wallpapers().isEmpty());
    EXPECT_FALSE(failed->showsPlaceholders());

    session_.catalogue.server().clearFaults();
    auto unknown = page(category(12345, QStringLiteral("Nowhere")));
    unknown->pageOpened();
    ASSERT_TRUE(waitSettled(*unknown));
    EXPECT_TRUE(unknown->wallpapers().isEmpty());
    EXPECT_TRUE(unknown->currentCacheData().isLoaded);
}

TEST_F(CategoryDetailControllerTest, ReopeningBeforeTheFirstPageArrivedShowsItWhenItDoes)
{
    session_.catalogue.server().setFault(CatalogueSession::path(kByCategory), Fault{.delayMs = 600, .times = 1});
    auto first = page(category(BrowseSession::kGaming, QStringLiteral("Gaming")));
    first->pageOpened();
    first.reset(); // back before the page arrived
    auto again = page(category(BrowseSession::kGaming, QStringLiteral("Gaming")));
    again->pageOpened();
    EXPECT_TRUE(again->showsPlaceholders());
    ASSERT_TRUE(waitSettled(*again));
    EXPECT_EQ(again->wallpapers().size(), 20);
    EXPECT_FALSE(again->isLoadingMorePages());
    EXPECT_EQ(requests(kByCategory), 1);
}

TEST_F(CategoryDetailControllerTest, ASectionsRowsShowAtOnceAndPagingSkipsNoneOfTheList)
{
    const QList<WallpaperResponseItem> recent = waitForTask(session_.catalogue.api().getWallpapers(QStringLiteral("recent"), 40, 1));
    session_.lists.prepopulateCache(CategoryNavigationItem::kSectionList, recent.mid(0, 6), QStringLiteral("recent"));
    auto latest = page(section(QStringLiteral("Latest Wallpapers"), CategoryFilter::Latest));
    const int before = requests(kByMode);
    latest->pageOpened();
    EXPECT_EQ(latest->wallpapers().size(), 6);
    EXPECT_FALSE(latest->showsPlaceholders());
    EXPECT_EQ(requests(kByMode), before);

    latest->loadMoreIfNeeded(3);
    ASSERT_TRUE(waitSettled(*latest));
    QList<qint64> shown;
    for (const WallpaperModel& wallpaper : latest->wallpapers())
        shown.append(*wallpaper.key);
    QList<qint64> expected;
    for (const WallpaperResponseItem& item : recent.mid(0, 20))
        expected.append(item.key);
    EXPECT_EQ(shown, expected) << "items 7 to 20 follow the six handed over, none twice";
}

TEST_F(CategoryDetailControllerTest, RandomReshufflesOnEveryOpeningOthersComeFromTheService)
{
    auto opened = [&](CategoryFilter order) {
        CategoryNavigationItem item = category(BrowseSession::kGaming, QStringLiteral("Gaming"));
        item.sectionFilter = order;
        auto controller = page(item);
        controller->pageOpened();
        EXPECT_TRUE(waitSettled(*controller));
        return controller->wallpapers().size();
    };
    EXPECT_EQ(opened(CategoryFilter::Popular), 20);
    const int afterPopular = requests(kByCategory);
    EXPECT_EQ(opened(CategoryFilter::Popular), 20);
    EXPECT_EQ(requests(kByCategory), afterPopular) << "a held list needs no request";

    EXPECT_EQ(opened(CategoryFilter::Random), 20);
    EXPECT_EQ(opened(CategoryFilter::Random), 20);
    EXPECT_EQ(requests(kByCategory), afterPopular + 2);
    EXPECT_EQ(session_.catalogue.lastQuery(kByCategory, QStringLiteral("sort_by")), QStringLiteral("random"));
}

TEST_F(CategoryDetailControllerTest, UnnamedCategoriesAndOpeningSignalsByKindOfPage)
{
    CategoryNavigationItem lockScreen = category(CategoryNavigationItem::kLockScreenExclusives, QStringLiteral("Lockscreen Exclusive"));
    CategoryNavigationItem monochrome = category(CategoryNavigationItem::kMonochrome, QStringLiteral("Monochrome"));
    monochrome.customTitle = QStringLiteral("Black and White");
    struct Case {
        CategoryNavigationItem item;
        QString categoryShown; // of a wallpaper of the unlisted category, else of the first
        QStringList sent;
    };
    const Case cases[] = {
        {category(BrowseSession::kUnknownCategory, "Retro"), "Retro", {"Category.pageOpened:Retro"}},
        {lockScreen, "Unknown",
            {"Category.pageOpened:Lockscreen Exclusive", "LockscreenExclusive.opened:Lockscreen Exclusive"}},
        {section("Most Popular Wallpapers", CategoryFilter::Popular), "Unknown",
            {"Category.pageOpened:Most Popular Wallpapers"}},
        {monochrome, "Monochrome", {"Category.pageOpened:Black and White"}},
    };
    for (const Case& c : cases) {
        session_.sent.clear();
        auto controller = page(c.item);
        controller->pageOpened();
        controller->pageOpened(); // again while its load runs: nothing
        EXPECT_EQ(session_.sent, c.sent);
        ASSERT_TRUE(waitSettled(*controller));
        ASSERT_FALSE(controller->wallpapers().isEmpty()) << c.item.title().toStdString();
        const auto& shown = controller->wallpapers();
        const auto unlisted = std::find_if(shown.begin(), shown.end(),
            [](const WallpaperModel& w) { return *w.key >= BrowseSession::kFirstKey + kExtraGaming; });
        EXPECT_EQ((unlisted != shown.end() ? *unlisted : shown.first()).category, c.categoryShown)
            << c.item.title().toStdString();
    }
}

} // namespace
