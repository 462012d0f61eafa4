#include "HomeFixture.h"

#include "foundation/Async.h"
#include "screens/browse/CategoriesSection.h"
#include "screens/browse/CategoryNavigationItem.h"
#include "screens/browse/HeroSlideView.h"
#include "screens/browse/HeroThumbnailRow.h"
#include "screens/browse/HomeCarouselSection.h"
#include "screens/browse/HomeHeroCarousel.h"
#include "screens/browse/LoadingScreenView.h"
#include "screens/browse/SectionTitleComponent.h"
#include "ui/HeroPull.h"
#include "ui/LabelButton.h"
#include "ui/LazyGridView.h"
#include "ui/LikeButton.h"

#include <QJsonArray>
#include <QScrollBar>
#include <QThread>

using samplecatalogue::Fault;

namespace {

const QString kPopular = QStringLiteral("get-wallpapers");

class HomeViewTest : public HomeFixture {};

TEST_F(HomeViewTest, TheStartupScreenGivesWayToTheWholeFeed)
{
    QStringList messages;
    HomeView& page = show();
    EXPECT_TRUE(page.loadingScreen()->isVisible());
    ASSERT_EVENTUALLY(feedShows(), kLoadMs) << page.loadingMessage().toStdString();

    EXPECT_EQ(page.hero()->count(), home_.heroCarousel().size());
    EXPECT_TRUE(page.thumbnails()->isVisible());
    const QList<HomeCarouselSection*> rows = page.rows();
    ASSERT_EQ(rows.size(), home_.sections().size() + 1);
    for (int i = 0; i < rows.size() - 1; ++i)
        EXPECT_FALSE(rows[i]->heading()->isClickable()) << i;
    HomeCarouselSection* popular = rows.last();
    EXPECT_EQ(popular->heading()->title(), u"Most Popular Wallpapers");
    EXPECT_TRUE(popular->heading()->isClickable());
    EXPECT_EQ(popular->wallpapers().size(), 10);
    EXPECT_EQ(page.categories()->categories().size(), store_.categories().size());
    EXPECT_EQ(session_.lastQuery(kPopular, QStringLiteral("mode")), u"download");
    EXPECT_EQ(session_.lastQuery(kPopular, QStringLiteral("limit")), u"10");
    EXPECT_EQ(updateChecks_, 1);
    EXPECT_TRUE(home_.hasShownReadyMessage());

    // Shown again later, the feed comes at once.
    window_->hide();
    window_->show();
    EXPECT_FALSE(home_.isShowingLoader());
}

// At every window size from 640 × 400 up (695 × 434 is a 1080p screen at twice the scale), the
// thumbnail row laid over the hero's foot leaves every slide's "View Wallpaper" and like buttons
// clear, under a title of two lines too, and the buttons lie whole in the window; where there is
// room they stay at mid-height.
TEST_F(HomeViewTest, TheThumbnailRowCoversNoHeroButtonAtAnyWindowSize)
{
    HomeView& page = show(640, 400);
    ASSERT_EVENTUALLY(feedShows(), kLoadMs);
    HomeHeroCarousel* hero = page.hero();
    ASSERT_GT(hero->count(), 1);
    WallpaperModel longTitle = hero->slide(1)->wallpaper();
    longTitle.title = QStringLiteral("A Featured Wallpaper Whose Title Runs Long Enough For Two Lines");
    hero->slide(1)->setWallpaper(longTitle);
    HeroThumbnailRow* row = page.thumbnails();

    const QSize sizes[] = {{640, 400}, {695, 434}, {800, 500}, {922, 576}, {1280, 800}, {1920, 1080}};
    for (const QSize& size : sizes) {
        SCOPED_TRACE(std::to_string(size.width()) + "x" + std::to_string(size.height()));
        context_.setWindowSize(size);
        window_->resize(size);
        ASSERT_EVENTUALLY((QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest),
                              hero->height() == size.height() && row->width() == window_->viewport()->width()),
            kLoadMs);
        // Both lie in the feed, the hero at its top, the slides at its top edge.
        const QRect rowAt = row->geometry();
        ASSERT_LT(rowAt.bottom(), size.height()) << "the row shows in the first screen";
        for (int i = 0; i < hero->count(); ++i) {
            HeroSlideView* slide = hero->slide(i);
            for (QWidget* button : {static_cast<QWidget*>(slide->viewButton()), static_cast<QWidget*>(slide->likeButton())}) {
                const QRect at = button->geometry().translated(0, slide->y());
                EXPECT_LT(at.bottom(), rowAt.top()) << i << ' ' << button->metaObject()->className();
                EXPECT_TRUE(QRect(QPoint(), size).contains(at)) << i << ' ' << button->metaObject()->className();
            }
        }
        if (size.height() >= 800) {
            const QRect view = hero->slide(0)->viewButton()->geometry();
            EXPECT_GT(view.top(), size.height() / 2) << "the buttons stay below mid-height in a tall window";
        }
    }
}

// Pulled down at the page's top, the current slide's picture grows from its top edge. The two
// pictures are taken in one turn of the event loop, so the video shows the same frame in both.
TEST_F(HomeViewTest, APullAtTheTopStretchesTheHeroFromItsTopEdge)
{
    HomeView& page = show();
    ASSERT_EVENTUALLY(feedShows(), kLoadMs);
    HeroSlideView* slide = page.hero()->slide(page.hero()->currentIndex());
    ASSERT_EVENTUALLY(slide->hasPoster() || slide->isVideoReady(), kLoadMs);
    const QImage rest = slide->grab().toImage();
    HeroPull::pullDown(*window_);
    ASSERT_GT(slide->pull(), 0);
    EXPECT_EQ(window_->verticalScrollBar()->value(), 0);
    EXPECT_EQ(HeroPull::anchorOf(rest, slide->grab().toImage(), slide->pull()), HeroPull::Anchor::Top);
    ASSERT_EVENTUALLY(slide->pull() == 0, 3000);
}

// The feed is laid out beneath the start-up screen during the ready moment: when the screen
// goes, the first row's cards are already there, not built after it. On a busy machine the GUI
// thread may not run for longer than the moment lasts just as the feed's last part arrives: the
// moment then ends in the same turn as the rebuild it waited for. The test stands for that machine.
TEST_F(HomeViewTest, TheFeedIsBuiltBeneathTheReadyMoment)
{
    bool cardsWhenTheScreenWent = false;
    bool stalled = false;
    HomeView& page = show();
    const auto busyMachine = [&] {
        if (home_.hasShownReadyMessage() && !std::exchange(stalled, true))
            QThread::msleep(HomeView::kReadyMomentMs + 200);
    };
    QObject::connect(&store_, &AppStore::categoriesChanged, &page, busyMachine);
    QObject::connect(&home_, &HomePageService::popularWallpapersChanged, &page, busyMachine);
    QObject::connect(&home_, &HomePageService::isShowingLoaderChanged, &page, [&] {
        if (home_.isShowingLoader() || page.rows().isEmpty())
            return;
        const LazyGridView* row = page.rows().first()->row();
        cardsWhenTheScreenWent = !row->keys().isEmpty() && row->cellForKey(row->keys().first());
    });
    ASSERT_EVENTUALLY(feedShows(), kLoadMs);
    EXPECT_TRUE(stalled);
    EXPECT_TRUE(cardsWhenTheScreenWent);
}

TEST_F(HomeViewTest, CategoriesAndThePopularTitleOpenCategoryPages)
{
    QList<CategoryNavigationItem> opened;
    links_.openCategory = [&](const CategoryNavigationItem& item) { opened.append(item); };
    HomeView& page = show();
    ASSERT_EVENTUALLY(feedShows(), kLoadMs);

    Q_EMIT page.rows().last()->titleClicked();
    Q_EMIT page.categories()->categoryTapped(store_.categories().first());
    ASSERT_EQ(opened.size(), 2);
    EXPECT_EQ(opened[0].categoryId, CategoryNavigationItem::kSectionList);
    EXPECT_EQ(opened[0].customTitle, u"Most Popular Wallpapers");
    EXPECT_EQ(opened[0].sectionFilter, CategoryFilter::Popular);
    EXPECT_EQ(opened[0].isFromSection, true);
    EXPECT_EQ(opened[1].categoryId, store_.categories().first().id);
    EXPECT_EQ(opened[1].categoryName, store_.categories().first().categoryName);
    EXPECT_FALSE(opened[1].isFromSection.has_value());
}

// Every home request failing in turn: the page waits on its start-up screen, offers Retry once
// the failure lasts, and comes through when the fault is lifted.
TEST_F(HomeViewTest, EachFailingRequestKeepsTheStartupScreenUntilTheFaultIsLifted)
{
    struct Case {
        const char* endpoint;
        Fault fault;
        const char* message; // the page's own message while it fails
        bool unreadable;     // the backend answered, with something that cannot be read
    };
    const Case cases[] = {
        {"platform-stats", Fault{503}, "Waking things up", false},
        {"platform-stats", Fault{0, 0, false, true}, "Waking things up", true},
        {"get-home-page", Fault{500}, "Getting things ready", false},
        {"get-home-page", Fault{0, 0, true}, "Getting things ready", false},
        {"get-home-page", Fault{0, 0, false, true}, "Getting things ready", true},
        {"get-categories", Fault{0, 0, false, true}, "Setting up your space", true},
        {"get-categories", Fault{0, 0, false, false, -1, true}, "Setting up your space", true},
        {"get-wallpapers", Fault{404}, "Setting up your space", false},
        {"get-wallpapers", Fault{0, 0, true}, "Setting up your space", false},
        {"get-wallpapers", Fault{0, 0, false, false, -1, true}, "Setting up your space", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.endpoint) + " status " + std::to_string(c.fault.status));
        // A fresh run of the application each time: its own state, feed and catalogue answers.
        CatalogueSession session;
        HomePageService home{session.api()};
        AppStore store{session.api(), home, Delays::real()};
        Shared<APIService>::Override api{session.api()};
        Shared<AppStore>::Override storeOverride{store};
        session.server().setFault(path(QString::fromLatin1(c.endpoint)), c.fault);
        BrowseContext context;
        QScrollArea window;
        window.setWidgetResizable(true);
        auto* page = new HomeView(&context, {}, {}, {store, home, session.api(), kRetryMs});
        window.setWidget(page);
        window.resize(1280, 800);
        window.show();
        fireAndForget(store.initializeIfNeeded());

        LoadingScreenView* screen = page->loadingScreen();
        ASSERT_EVENTUALLY(screen->retryButton()->isVisible(), kLoadMs) << screen->statusText().toStdString();
        EXPECT_TRUE(home.isShowingLoader());
        EXPECT_EQ(screen->statusText(),
            c.unreadable ? QStringLiteral("The catalogue's reply could not be read") : QStringLiteral("Unable to connect to internet"));
        EXPECT_EQ(page->loadingMessage(), QString::fromUtf8(c.message));

        session.server().clearFaults();
        QTest::mouseClick(screen->retryButton(), Qt::LeftButton);
        ASSERT_EVENTUALLY(!home.isShowingLoader() && page->hero()->isVisible(), kLoadMs) << screen->statusText().toStdString();
        EXPECT_FALSE(screen->showsFailure());
        EXPECT_EQ(page->loadFailures(), 0);
    }
}

TEST_F(HomeViewTest, AFailedPopularRequestIsTriedAgainLessOftenUntilItComes)
{
    EXPECT_EQ(HomeView::retryDelayMs(1), 3000);
    EXPECT_EQ(HomeView::retryDelayMs(2), 6000);
    EXPECT_EQ(HomeView::retryDelayMs(5), 48000);
    EXPECT_EQ(HomeView::retryDelayMs(6), 60000);
    EXPECT_EQ(HomeView::retryDelayMs(40), 60000);

    // Two failures, then the list comes without anyone pressing Retry.
    server().setFault(path(kPopular), Fault{503, 0, false, false, 2});
    HomeView& page = show();
    ASSERT_EVENTUALLY(feedShows(), kLoadMs);
    EXPECT_EQ(session_.requests(kPopular), 3);
    EXPECT_FALSE(page.loadingScreen()->showsFailure());
}

TEST_F(HomeViewTest, ASlowCatalogueOnlyKeepsTheStartupScreenLonger)
{
    server().setFault(path(QStringLiteral("get-home-page")), Fault{0, 1500});
    HomeView& page = show();
    ASSERT_EVENTUALLY(page.loadingScreen()->statusText() == u"Getting things ready", kLoadMs);
    ASSERT_EVENTUALLY(feedShows(), kLoadMs);
    EXPECT_EQ(page.loadFailures(), 0);
}

class HomeSeedTest : public HomeFixture {
protected:
    explicit HomeSeedTest(const CatalogueSession::SeedEdit& edit) : HomeFixture(edit) {}
};

class OneHeroWallpaperTest : public HomeSeedTest {
protected:
    OneHeroWallpaperTest()
        : HomeSeedTest([](QJsonObject& seed) {
              QJsonObject page = seed[QStringLiteral("home_page")].toObject();
              QJsonObject hero = page[QStringLiteral("hero_carousel")].toObject();
              hero[QStringLiteral("keys")] = QJsonArray{hero[QStringLiteral("keys")].toArray().first()};
              page[QStringLiteral("hero_carousel")] = hero;
              seed[QStringLiteral("home_page")] = page;
          })
    {
    }
};

TEST_F(OneHeroWallpaperTest, OneSlideHoldsTheOnlyPlayer)
{
    HomeView& page = show();
    ASSERT_EVENTUALLY(feedShows(), kLoadMs);
    ASSERT_EQ(page.hero()->count(), 1);
    EXPECT_TRUE(page.hero()->shouldLoadVideo(0));
    page.hero()->setCurrentIndex(0);
    EXPECT_EQ(page.hero()->currentIndex(), 0);
}

class NoHeroNoCoversTest : public HomeSeedTest {
protected:
    NoHeroNoCoversTest()
        : HomeSeedTest([](QJsonObject& seed) {
              QJsonObject page = seed[QStringLiteral("home_page")].toObject();
              QJsonObject hero = page[QStringLiteral("hero_carousel")].toObject();
              hero[QStringLiteral("keys")] = QJsonArray{};
              page[QStringLiteral("hero_carousel")] = hero;
              seed[QStringLiteral("home_page")] = page;
              QJsonArray categories;
              for (const QJsonValue& value : seed[QStringLiteral("categories")].toArray()) {
                  QJsonObject category = value.toObject();
                  category.remove(QStringLiteral("wallpaper_key"));
                  categories.append(category);
              }
              seed[QStringLiteral("categories")] = categories;
          })
    {
    }
};

TEST_F(NoHeroNoCoversTest, TheFeedShowsWithoutHeroAndWithPlaceholderCovers)
{
    HomeView& page = show();
    ASSERT_EVENTUALLY(feedShows(), kLoadMs);
    EXPECT_EQ(page.hero()->count(), 0);
    EXPECT_FALSE(page.thumbnails()->isVisible());
    EXPECT_FALSE(page.rows().isEmpty());
    for (const CategoryItem& category : page.categories()->categories())
        EXPECT_FALSE(CategoriesSection::posterUrl(category, store_.baseUrl())) << category.categoryName.toStdString();
}

} // namespace
