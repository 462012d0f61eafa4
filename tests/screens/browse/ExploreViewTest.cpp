#include "BrowseSession.h"

#include "screens/browse/CategoriesSection.h"
#include "screens/browse/ExploreFilterChips.h"
#include "screens/browse/ExploreHero.h"
#include "screens/browse/ExploreHeroDiscordButton.h"
#include "screens/browse/ExploreView.h"
#include "screens/browse/HomeGridSection.h"
#include "screens/browse/PopularScrollableSection.h"
#include "ui/HeroPull.h"
#include "screens/browse/SectionTitleComponent.h"
#include "support/Eventually.h"
#include "ui/BrowseContext.h"
#include "ui/FilterChip.h"
#include "ui/FilterChipsRow.h"
#include "ui/LoadingWallpapersRow.h"
#include "ui/LockscreenExclusiveChip.h"
#include "ui/PosterCardView.h"
#include "ui/Screenshot.h"

#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>
#include <QApplication>
#include <QThreadPool>

#include <gtest/gtest.h>

using samplecatalogue::Fault;

namespace {
constexpr int kWaitMs = 15'000;
const QString kByMode = QStringLiteral("get-wallpapers");

class ExploreViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(session_.catalogue.isRunning());
        session_.start();
        context_.setWindowSize({1280, 800});
    }

    // Poster fetches outlive their cards: they end before the catalogue does.
    void TearDown() override
    {
        page_.reset();
        QTest::qWait(1000);
        QThreadPool::globalInstance()->waitForDone();
    }

    ExploreView* show()
    {
        page_ = std::make_unique<ExploreView>(&context_, [this](const CategoryNavigationItem& item) { opened_.append(item); });
        page_->resize(1280, 800);
        page_->show();
        return page_.get();
    }

    static bool showsRows(const ExploreView& page)
    {
        if (page.sectionGrids().size() != 3 || !page.popularSection())
            return false;
        const QList<PosterCardView*> cards = page.findChildren<PosterCardView*>();
        return std::all_of(cards.begin(), cards.end(), [](const PosterCardView* card) {
            return card->hasPoster() || !card->isVisible();
        });
    }

    BrowseSession session_;
    BrowseContext context_;
    std::unique_ptr<ExploreView> page_;
    QList<CategoryNavigationItem> opened_;
};

TEST_F(ExploreViewTest, ShowsTheHeroChipsAndTheCataloguesRows)
{
    session_.catalogue.server().setFault(CatalogueSession::path(kByMode), Fault{.delayMs = 400, .times = 1});
    ExploreView* page = show();
    EXPECT_TRUE(page->loadingBlock()->isVisible());
    ASSERT_EVENTUALLY(showsRows(*page), kWaitMs);
    EXPECT_FALSE(page->loadingBlock()->isVisible());

    QStringList titles;
    for (const HomeGridSection* grid : page->sectionGrids())
        titles.append(grid->heading()->title());
    EXPECT_EQ(titles, (QStringList{"Latest Wallpapers", "Discover Community Wallpapers", "Monochrome Wallpapers"}));
    EXPECT_EQ(page->sectionGrids().first()->shownWallpapers().size(), 6);
    EXPECT_EQ(page->popularSection()->wallpapers().size(), 15);
    EXPECT_TRUE(page->hasMorePopularPages());
    EXPECT_EQ(page->hero()->height(), 456) << "0.57 of the window's height";
    EXPECT_TRUE(page->hero()->remoteVideo());
    EXPECT_EQ(page->hero()->discordButton()->inviteUrl(), QStringLiteral("https://chat.example.org/invite/quorvelle-sample"));
    EXPECT_EQ(page->chips()->categoryChipItems().last(), FilterChipsRow::kMonochromeTitle);
    EXPECT_EQ(page->chips()->categoryChipItems().size(), session_.store.categories().size() + 1);
    ASSERT_EVENTUALLY(page->hero()->isVideoReady(), kWaitMs);
    saveScreenshot(*page, QStringLiteral("explore-top"));

    // Pulled down at its top (a touchpad over the hero), the hero grows from its top edge and
    // springs back.
    const QImage rest = page->hero()->grab().toImage();
    HeroPull::pullDown(*page->scrollArea());
    EXPECT_GT(page->hero()->pull(), 0);
    EXPECT_EQ(page->scrollArea()->verticalScrollBar()->value(), 0);
    EXPECT_EQ(HeroPull::anchorOf(rest, page->hero()->grab().toImage(), page->hero()->pull()), HeroPull::Anchor::Top);
    ASSERT_EVENTUALLY(page->hero()->pull() == 0, 3000);
    for (const auto& [shown, name] : {std::pair<QWidget*, const char*>{page->chips(), "explore-chips-and-rows"},
             {page->popularSection(), "explore-popular"}}) {
        page->scrollArea()->verticalScrollBar()->setValue(shown->mapTo(page->scrollArea()->widget(), QPoint()).y() - 40);
        ASSERT_EVENTUALLY(showsRows(*page), kWaitMs);
        saveScreenshot(*page, QString::fromLatin1(name));
    }
}

TEST_F(ExploreViewTest, TitlesAndChipsOpenTheirCategoryPages)
{
    ExploreView* page = show();
    ASSERT_EVENTUALLY(showsRows(*page), kWaitMs);
    for (HomeGridSection* grid : page->sectionGrids())
        QTest::mouseClick(grid->heading(), Qt::LeftButton, {}, grid->heading()->titleHitRect().center());
    ExploreFilterChips* chips = page->chips();
    QTest::mouseClick(chips->resolutionChip(QStringLiteral("4K")), Qt::LeftButton);
    EXPECT_TRUE(chips->resolutionChip(QStringLiteral("4K"))->isSelected());
    QTest::mouseClick(chips->resolutionChip(QStringLiteral("4K")), Qt::LeftButton); // only unhighlights
    EXPECT_FALSE(chips->resolutionChip(QStringLiteral("4K"))->isSelected());
    QTest::mouseClick(chips->categoryRow()->chip(QStringLiteral("Gaming")), Qt::LeftButton);
    QTest::mouseClick(chips->categoryRow()->chip(FilterChipsRow::kMonochromeTitle), Qt::LeftButton);
    QTest::mouseClick(chips->lockScreenChip(), Qt::LeftButton);
    Q_EMIT page->categoriesSection()->categoryTapped(session_.store.categories().first());

    struct Expected {
        int id;
        QString title;
        std::optional<CategoryFilter> order;
        std::optional<QString> resolution;
    };
    const QList<Expected> expected{
        {CategoryNavigationItem::kSectionList, "Latest Wallpapers", CategoryFilter::Latest, {}},
        {CategoryNavigationItem::kSectionList, "Discover Community Wallpapers", CategoryFilter::Random, {}},
        {CategoryNavigationItem::kMonochrome, "Monochrome", {}, {}},
        {CategoryNavigationItem::kResolutionList, "4K (3840x2160)", {}, QStringLiteral("4K")},
        {BrowseSession::kGaming, "Gaming", {}, {}},
        {CategoryNavigationItem::kMonochrome, "Monochrome", {}, {}},
        {CategoryNavigationItem::kLockScreenExclusives, "Lockscreen Exclusive", {}, {}},
        {int(session_.store.categories().first().id), session_.store.categories().first().categoryName, {}, {}},
    };
    ASSERT_EQ(opened_.size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(opened_[i].categoryId, expected[i].id) << i;
        EXPECT_EQ(opened_[i].title(), expected[i].title) << i;
        EXPECT_EQ(opened_[i].sectionFilter, expected[i].order) << i;
        EXPECT_EQ(opened_[i].resolutionFilter, expected[i].resolution) << i;
    }
    // The rows were handed over: the full lists show them without a request.
    for (const char* key : {"-999_recent", "-999_random", "99_sort_latest"})
        EXPECT_TRUE(session_.lists.cacheData().value(QString::fromLatin1(key)).isLoaded) << key;

    // Back from a resolution list, its chip is no longer highlighted.
    QTest::mouseClick(chips->resolutionChip(QStringLiteral("HD")), Qt::LeftButton);
    page->hide();
    page->show();
    EXPECT_FALSE(chips->selectedResolution());
}

TEST_F(ExploreViewTest, PopularPagesUntilAShortPageAndRetriesAFailedOne)
{
    ExploreView* page = show();
    ASSERT_EVENTUALLY(showsRows(*page), kWaitMs);
    session_.catalogue.server().setFault(CatalogueSession::path(kByMode), Fault{.status = 503, .times = 1});
    page->loadMorePopular();
    page->loadMorePopular(); // while loading: nothing
    ASSERT_EVENTUALLY(!page->isLoadingMorePopular(), kWaitMs);
    EXPECT_EQ(page->popularWallpapers().size(), 15);
    EXPECT_EQ(session_.catalogue.lastQuery(kByMode, QStringLiteral("page")), QStringLiteral("2"));

    const qsizetype total = session_.store.platformStats()->totalWallpapers;
    while (page->hasMorePopularPages()) {
        page->loadMorePopular();
        ASSERT_EVENTUALLY(!page->isLoadingMorePopular(), kWaitMs);
    }
    EXPECT_EQ(page->popularWallpapers().size(), total);
    EXPECT_EQ(page->popularSection()->wallpapers().size(), total);
}

// Download counts moved between two pages: the next page repeats a wallpaper of the first. It is
// listed once, so the grid has a card for every place (no hole, no card remade on each scroll).
TEST_F(ExploreViewTest, APopularPageRepeatingAWallpaperAddsItOnce)
{
    ExploreView* page = show();
    ASSERT_EVENTUALLY(showsRows(*page), kWaitMs);
    const qint64 repeated = page->popularWallpapers().at(3).key;
    session_.catalogue.server().setFault(CatalogueSession::path(kByMode),
        Fault{.times = 1, .rewritePattern = QStringLiteral("\"key\"\\s*:\\s*\\d+"),
            .rewriteWith = QStringLiteral("\"key\":%1").arg(repeated)});
    page->loadMorePopular();
    ASSERT_EVENTUALLY(!page->isLoadingMorePopular() && page->popularWallpapers().size() > 15, kWaitMs);

    QSet<qint64> keys;
    for (const WallpaperResponseItem& item : page->popularWallpapers())
        keys.insert(item.key);
    EXPECT_EQ(keys.size(), page->popularWallpapers().size()) << "no wallpaper twice";
    EXPECT_EQ(page->popularWallpapers().size(), 29);
    const QList<WallpaperModel> shown = page->popularSection()->wallpapers();
    QSet<QUuid> ids;
    for (const WallpaperModel& model : shown)
        ids.insert(model.id);
    EXPECT_EQ(ids.size(), shown.size()) << "one cell per place";
}

TEST_F(ExploreViewTest, AFailedFirstLoadKeepsChipsAndHeroAndLoadsOnTheNextShowing)
{
    session_.catalogue.server().setFault(CatalogueSession::path(kByMode), Fault{.status = 500});
    ExploreView* page = show();
    ASSERT_EVENTUALLY(!page->isLoadingInitial(), kWaitMs);
    EXPECT_TRUE(page->sectionGrids().isEmpty());
    EXPECT_EQ(page->popularSection(), nullptr);
    EXPECT_TRUE(page->chips()->isVisible());
    saveScreenshot(*page, QStringLiteral("explore-failed"));

    session_.catalogue.server().clearFaults();
    page->hide();
    page->show();
    ASSERT_EVENTUALLY(showsRows(*page), kWaitMs);
}

// Two categories whose names read alike once cleaned (control characters left out) each keep a
// chip, and each chip opens its own category.
TEST(ExploreChipsTest, CategoriesWhoseNamesReadAlikeKeepAChipEach)
{
    BrowseSession session([](QJsonObject& seed) {
        QJsonArray categories = seed.value(QLatin1String("categories")).toArray();
        const QHash<qint64, QString> renamed{{3, "\u0001\u0002"}, {4, " \u0007"}, {6, "Ocean\n"}};
        for (QJsonValueRef value : categories) {
            QJsonObject category = value.toObject();
            if (const qint64 id = category.value(QLatin1String("id")).toInteger(); renamed.contains(id))
                category.insert(QStringLiteral("category_name"), renamed.value(id));
            value = category;
        }
        seed.insert(QStringLiteral("categories"), categories);
    });
    ASSERT_TRUE(session.catalogue.isRunning());
    session.start();
    ExploreFilterChips chips(session.store);
    QList<CategoryNavigationItem> opened;
    QObject::connect(&chips, &ExploreFilterChips::categoryRequested, [&](const CategoryNavigationItem& item) { opened.append(item); });
    EXPECT_EQ(chips.categoryRow()->items(),
        (QStringList{"Nature", "City", "Untitled", "Untitled 2", "Ocean", "Ocean 2", "Gaming", "Monochrome", FilterChipsRow::kMonochromeTitle}));
    for (const QString& title : {QStringLiteral("Untitled"), QStringLiteral("Untitled 2"), QStringLiteral("Ocean 2")}) {
        FilterChip* chip = chips.categoryRow()->chip(title);
        ASSERT_TRUE(chip) << title.toStdString();
        QTest::mouseClick(chip, Qt::LeftButton);
    }
    ASSERT_EQ(opened.size(), 3);
    EXPECT_EQ(opened[0].categoryId, 3);
    EXPECT_EQ(opened[1].categoryId, 4);
    EXPECT_EQ(opened[2].categoryId, 6);
    EXPECT_EQ(opened[1].title(), QStringLiteral("Untitled 2"));
}

} // namespace
