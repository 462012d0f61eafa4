#include "BrowseSession.h"

#include "ui/Screenshot.h"
#include "ui/ScreenMessageView.h"
#include "screens/browse/CategoryDetailView.h"
#include "screens/browse/HeroBackdrop.h"
#include "support/Eventually.h"
#include "ui/BackButton.h"
#include "ui/BrowseContext.h"
#include "ui/FilterChip.h"
#include "ui/HeroPull.h"
#include "ui/LabelButton.h"
#include "ui/LazyGridView.h"
#include "ui/LoadingWallpapersRow.h"
#include "ui/NavigationHost.h"
#include "ui/PlaceholderPosterCard.h"
#include "ui/PosterCardView.h"
#include "ui/SheetHost.h"

#include <QScrollArea>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTest>
#include <QThreadPool>

#include <gtest/gtest.h>

using samplecatalogue::Fault;

namespace {
const QString kByCategory = QStringLiteral("get-wallpapers-by-category");
// The posters in view after a scroll to the end took over 15 s beside a loaded full test run.
constexpr int kWaitMs = 60'000;
constexpr int kExtraGaming = 45;

class CategoryDetailViewTest : public ::testing::Test {
protected:
    CategoryDetailViewTest() : session_([](QJsonObject& seed) { BrowseSession::addWallpapers(seed, kExtraGaming); }) {}

    void SetUp() override
    {
        ASSERT_TRUE(session_.catalogue.isRunning());
        session_.start();
        context_.setWindowSize({1280, 800});
        host_.resize(1280, 800);
        host_.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&host_));
    }

    // The pages go while the catalogue still answers: poster fetches outlive their cards, and
    // they end (and are written to the cache) before the catalogue and the process do.
    void TearDown() override
    {
        host_.popToRoot();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QTest::qWait(1000);
        QThreadPool::globalInstance()->waitForDone();
    }

    CategoryDetailView* open(const CategoryNavigationItem& item) { return open(item, host_); }
    CategoryDetailView* open(const CategoryNavigationItem& item, NavigationHost& host)
    {
        CategoryDetailView::Hooks hooks{[&host] { host.pop(); },
            [this](const QString& name, const QHash<QString, QString>& parameters) { session_.send(name, parameters); }};
        auto* page = new CategoryDetailView(item, &context_, hooks);
        host.push(page);
        return page;
    }

    static bool settled(const CategoryDetailView& page)
    {
        const CategoryDetailController& data = *page.controller();
        return !data.isLoadingInitial() && !data.isLoadInProgress() && !data.isLoadingMorePages();
    }

    // Settled, with the cards in view showing their posters.
    static bool showsCards(const CategoryDetailView& page)
    {
        const QList<PosterCardView*> cards = page.grid()->findChildren<PosterCardView*>();
        return settled(page) && !cards.isEmpty()
               && std::all_of(cards.begin(), cards.end(), [](const PosterCardView* card) {
                      return card->hasPoster() || !card->isVisible();
                  });
    }

    BrowseSession session_;
    BrowseContext context_;
    NavigationHost host_{new QWidget};
};

CategoryNavigationItem gaming() { return CategoryNavigationItem::named(BrowseSession::kGaming, QStringLiteral("Gaming")); }

TEST_F(CategoryDetailViewTest, LoadingCardsThenWallpapersPagedToTheEndByScrolling)
{
    session_.catalogue.server().setFault(CatalogueSession::path(kByCategory), Fault{.delayMs = 500, .times = 1});
    CategoryDetailView* page = open(gaming());
    ASSERT_TRUE(page->showsPlaceholders());
    ASSERT_EVENTUALLY(page->grid()->findChildren<PlaceholderPosterCard*>().size() > 0, kWaitMs);
    EXPECT_EQ(page->grid()->keys().size(), CategoryDetailView::kPlaceholderCount);
    saveScreenshot(host_, QStringLiteral("category-loading"));

    ASSERT_EVENTUALLY(showsCards(*page), kWaitMs);
    EXPECT_EQ(page->grid()->keys().size(), 20);
    EXPECT_TRUE(page->chip(CategoryFilter::Latest)->isSelected());
    saveScreenshot(host_, QStringLiteral("category-page"));

    // Scrolling to the end asks for each next page until the list is complete.
    QScrollBar* bar = page->scrollArea()->verticalScrollBar();
    ASSERT_TRUE(QTest::qWaitFor([&] {
        bar->setValue(bar->maximum());
        return page->grid()->keys().size() == 50 && settled(*page);
    }, kWaitMs));
    EXPECT_EQ(session_.catalogue.requests(kByCategory), 3);
    EXPECT_FALSE(page->loadingMoreRow()->isVisible());
    EXPECT_EQ(page->backButton()->mapTo(page, QPoint()),
        QPoint(CategoryDetailView::kBackButtonLeading, CategoryDetailView::kBackButtonTop))
        << "the back button stays in the corner while the list scrolls under it";
    ASSERT_EVENTUALLY(showsCards(*page), kWaitMs);
    saveScreenshot(host_, QStringLiteral("category-scrolled"));
    EXPECT_EQ(session_.sent, QStringList{QStringLiteral("Category.pageOpened:Gaming")});
}

TEST_F(CategoryDetailViewTest, ChipsReloadInTheirOrderAndBackLeavesThePage)
{
    CategoryDetailView* page = open(gaming());
    ASSERT_EVENTUALLY(showsCards(*page), kWaitMs);
    QTest::mouseClick(page->chip(CategoryFilter::Popular), Qt::LeftButton);
    EXPECT_TRUE(page->chip(CategoryFilter::Popular)->isSelected());
    EXPECT_FALSE(page->chip(CategoryFilter::Latest)->isSelected());
    ASSERT_EVENTUALLY(showsCards(*page), kWaitMs);
    EXPECT_EQ(session_.catalogue.lastQuery(kByCategory, QStringLiteral("sort_by")), QStringLiteral("download"));

    // Back while a load runs: the page goes and nothing is left to crash.
    QTest::mouseClick(page->chip(CategoryFilter::Random), Qt::LeftButton);
    QTest::mouseClick(page->backButton(), Qt::LeftButton);
    EXPECT_EQ(host_.depth(), 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_EVENTUALLY(session_.lists.loadingPages().isEmpty(), kWaitMs);
}

TEST_F(CategoryDetailViewTest, EscapeLeavesThePageUnlessASheetIsUpOverIt)
{
    host_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&host_));
    open(gaming());
    auto* sheets = new SheetHost(&host_);
    sheets->present(new QWidget);

    QTest::keyClick(&host_, Qt::Key_Escape);
    EXPECT_EQ(sheets->depth(), 0) << "the sheet takes the first Escape";
    EXPECT_EQ(host_.depth(), 2);
    QTest::keyClick(&host_, Qt::Key_Escape);
    EXPECT_EQ(host_.depth(), 1);
    delete sheets;
}

// The page can be the newest to answer Escape while a sheet is up (it appeared under a sheet
// already open): Escape is the sheet's then, never a reason to leave the page beneath it.
TEST_F(CategoryDetailViewTest, APageThatAppearedUnderASheetStaysOnEscape)
{
    host_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&host_));
    auto* sheets = new SheetHost(&host_);
    sheets->present(new QWidget);
    open(gaming());
    QTest::keyClick(&host_, Qt::Key_Escape);
    EXPECT_EQ(host_.depth(), 2) << "the page left from under the sheet";
    delete sheets;
}

// A page left open in one tab while the user is on another is out of sight: Escape there is not
// its to answer, and it answers again once its tab is back.
TEST_F(CategoryDetailViewTest, APageUnderAnotherTabAnswersEscapeOnlyOnceItsTabIsBack)
{
    QStackedWidget tabs;
    auto* home = new NavigationHost(new QWidget);
    auto* other = new NavigationHost(new QWidget);
    tabs.addWidget(home);
    tabs.addWidget(other);
    tabs.resize(1280, 800);
    tabs.show();
    tabs.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&tabs));
    open(gaming(), *home);

    tabs.setCurrentWidget(other);
    QTest::keyClick(&tabs, Qt::Key_Escape);
    EXPECT_EQ(home->depth(), 2) << "the page left while its tab was not shown";

    tabs.setCurrentWidget(home);
    QTest::keyClick(&tabs, Qt::Key_Escape);
    EXPECT_EQ(home->depth(), 1);
}

TEST_F(CategoryDetailViewTest, AnOpenWallpaperPausesTheCardsAndComingBackRunsNothingAgain)
{
    CategoryDetailView* page = open(gaming());
    ASSERT_EVENTUALLY(showsCards(*page), kWaitMs);
    const int requests = session_.catalogue.requests(kByCategory);
    auto* card = page->grid()->findChildren<PosterCardView*>().first();
    QTest::mouseClick(card, Qt::LeftButton);
    ASSERT_TRUE(context_.selectedWallpaper());
    EXPECT_TRUE(page->context()->cardsShouldPause());
    EXPECT_FALSE(context_.cardsShouldPause()) << "only the page's cards pause";

    host_.push(new QWidget); // the full-screen view
    host_.pop();
    context_.setSelectedWallpaper(std::nullopt);
    EXPECT_FALSE(page->context()->cardsShouldPause());
    EXPECT_EQ(session_.sent.size(), 1) << "no second opening signal for the same visit";
    EXPECT_EQ(session_.catalogue.requests(kByCategory), requests);
}

TEST_F(CategoryDetailViewTest, SectionAndLockScreenPagesWithTheirHeaders)
{
    CategoryNavigationItem section
        = CategoryNavigationItem::named(CategoryNavigationItem::kSectionList, QStringLiteral("Most Popular Wallpapers"));
    section.isFromSection = true;
    section.sectionFilter = CategoryFilter::Popular;
    section.customTitle = section.categoryName;
    CategoryDetailView* sectionPage = open(section);
    EXPECT_EQ(sectionPage->chip(CategoryFilter::Latest), nullptr);
    EXPECT_EQ(sectionPage->hero(), nullptr);
    ASSERT_EVENTUALLY(showsCards(*sectionPage), kWaitMs);
    saveScreenshot(host_, QStringLiteral("category-section"));

    CategoryDetailView* lockScreen
        = open(CategoryNavigationItem::named(CategoryNavigationItem::kLockScreenExclusives, QStringLiteral("Lockscreen Exclusive")));
    ASSERT_NE(lockScreen->hero(), nullptr);
    EXPECT_EQ(lockScreen->hero()->height(), 360) << "0.45 of the window's height";
    EXPECT_TRUE(lockScreen->hero()->remoteVideo());
    ASSERT_EVENTUALLY(showsCards(*lockScreen) && lockScreen->hero()->isVideoReady(), kWaitMs);
    saveScreenshot(host_, QStringLiteral("category-lockscreen"));

    // Pulled down at its top, the hero grows from its top edge.
    const QImage rest = lockScreen->hero()->grab().toImage();
    HeroPull::pullDown(*lockScreen->scrollArea());
    ASSERT_GT(lockScreen->hero()->pull(), 0);
    EXPECT_EQ(HeroPull::anchorOf(rest, lockScreen->hero()->grab().toImage(), lockScreen->hero()->pull()), HeroPull::Anchor::Top);
    ASSERT_EVENTUALLY(lockScreen->hero()->pull() == 0, 3000);

    lockScreen->hero()->setVideoAddress(QStringLiteral("not a url"));
    EXPECT_FALSE(lockScreen->hero()->remoteVideo());
    saveScreenshot(host_, QStringLiteral("category-lockscreen-gradient"));
}

// However the catalogue fails, the page says why instead of staying blank, and "Try Again" loads it.
TEST_F(CategoryDetailViewTest, AFailedOrEmptyLoadSaysSoAndTryAgainLoadsThePage)
{
    const std::pair<Fault, QString> faults[] = {
        {Fault{.status = 500}, QStringLiteral("500")},
        {Fault{.cutShort = true}, QString()},
        {Fault{.invalidJson = true}, QString()},
    };
    CategoryDetailView* page = nullptr;
    for (const auto& [fault, reason] : faults) {
        if (page)
            host_.pop();
        session_.catalogue.server().setFault(CatalogueSession::path(kByCategory), fault);
        page = open(gaming());
        ASSERT_EVENTUALLY(settled(*page) && page->message()->isVisible(), kWaitMs);
        const QString detail = page->message()->detail();
        EXPECT_TRUE(!detail.isEmpty() && detail.contains(reason)) << detail.toStdString();
        EXPECT_TRUE(page->grid()->keys().isEmpty());
        EXPECT_FALSE(page->loadingMoreRow()->isVisible());
        EXPECT_TRUE(page->message()->actionButton()->isVisible()) << "a way to try again";
        if (fault.status) {
            QTest::qWait(50); // the page lays out the message
            saveScreenshot(host_, QStringLiteral("category-failed"));
        }
    }
    session_.catalogue.server().clearFaults();
    QTest::mouseClick(page->message()->actionButton(), Qt::LeftButton);
    ASSERT_EVENTUALLY(showsCards(*page), kWaitMs);
    EXPECT_FALSE(page->message()->isVisible());
    EXPECT_EQ(page->grid()->keys().size(), 20);

    // A list that loads empty says so, with nothing to try again.
    CategoryDetailView* empty = open(CategoryNavigationItem::named(987654, QStringLiteral("Empty")));
    ASSERT_EVENTUALLY(settled(*empty) && empty->message()->isVisible(), kWaitMs);
    EXPECT_EQ(empty->message()->title(), QStringLiteral("No wallpapers here yet"));
    EXPECT_FALSE(empty->message()->actionButton()->isVisible());
    QTest::qWait(50);
    saveScreenshot(host_, QStringLiteral("category-empty"));
}

// The statistics that name the asset host fail at start and arrive with the retry series, while
// the page is up.
class CategoryDetailViewBeforeTheHostTest : public CategoryDetailViewTest {
protected:
    void SetUp() override
    {
        session_.catalogue.server().setFault(CatalogueSession::path(QStringLiteral("platform-stats")), Fault{.status = 503, .times = 1});
        CategoryDetailViewTest::SetUp();
    }
};

TEST_F(CategoryDetailViewBeforeTheHostTest, CardsOnScreenGetTheirPostersWhenTheHostArrives)
{
    ASSERT_FALSE(session_.store.baseUrl());
    CategoryDetailView* page = open(gaming());
    ASSERT_EVENTUALLY(settled(*page) && !page->grid()->findChildren<PosterCardView*>().isEmpty(), kWaitMs);
    const QList<PosterCardView*> before = page->grid()->findChildren<PosterCardView*>();
    EXPECT_FALSE(before.first()->wallpaper().posterUrl) << "no host, no address";

    ASSERT_EVENTUALLY(session_.store.baseUrl().has_value(), kWaitMs);
    ASSERT_EVENTUALLY(showsCards(*page), kWaitMs);
    EXPECT_EQ(page->grid()->findChildren<PosterCardView*>(), before) << "the same cards, given the new records";
}

} // namespace
