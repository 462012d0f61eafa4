#include "app/AppRootView.h"
#include "screens/detail/PartnerSiteView.h"
#include "app/AppSheetsHost.h"
#include "app/OnboardingScheduler.h"
#include "app/ShellDefaults.h"
#include "foundation/Shared.h"
#include "foundation/UserDefaults.h"
#include "state/AppStore.h"
#include "state/DeepLinkWallpaperService.h"
#include "state/GravelnookDeepLinkService.h"
#include "state/WallpaperDeepLinkHandler.h"
#include "backend/APIService.h"
#include "support/CatalogueSession.h"
#include "state/OnboardingSheetState.h"
#include "support/Eventually.h"
#include "ui/AlertSheet.h"
#include "ui/LabelButton.h"
#include "ui/SheetHost.h"
#include "ui/Screenshot.h"
#include "screens/browse/CategoryDetailView.h"
#include "screens/browse/ExploreView.h"
#include "screens/browse/HomeView.h"
#include "screens/browse/LikedView.h"
#include "screens/own/CustomView.h"
#include "screens/settings/SettingsView.h"
#include "screens/browse/CategoryNavigationItem.h"
#include "screens/detail/FootBarIconButton.h"
#include "screens/detail/FullScreenFootBar.h"
#include "screens/detail/FullScreenView.h"
#include "ui/BackButton.h"
#include "state/HomePageService.h"
#include "state/NotificationManager.h"
#include "ui/NotificationToast.h"
#include "ui/HeaderRow.h"
#include "ui/BrowseContext.h"
#include "ui/NavIconButton.h"
#include "ui/NavigationHost.h"
#include "ui/Theme.h"
#include "ui/TopNavigationBar.h"

#include <QApplication>
#include <QScrollArea>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

WallpaperModel wallpaper(const QString& title)
{
    WallpaperModel model;
    model.id = QUuid::createUuid();
    model.title = title;
    return model;
}

class AppRootViewTest : public ::testing::Test {
protected:
    explicit AppRootViewTest(bool linkWaiting = false) : linkWaiting_(linkWaiting)
    {
        root.setPalette(Theme::palette());
        root.resize(1200, 760);
        root.show();
    }

    const bool linkWaiting_;
    // What the view reads on creation, fresh for each test.
    UserDefaults defaults_{QStringLiteral("test"), UserDefaults::Storage::InMemory};
    Shared<UserDefaults>::Override defaultsOverride_{defaults_};
    DeepLinkWallpaperService links_;
    Shared<DeepLinkWallpaperService>::Override linksOverride_{links_};
    GravelnookDeepLinkService partnerLinks_;
    Shared<GravelnookDeepLinkService>::Override partnerOverride_{partnerLinks_};
    OnboardingSheetState onboardingState_;
    Shared<OnboardingSheetState>::Override onboardingOverride_{onboardingState_};
    bool pendingSet_ = linkWaiting_ && (links_.setPendingWallpaperNow(wallpaper(QStringLiteral("From a link"))), true);

    ~AppRootViewTest() override { HomePageService::shared().setShowingLoader(false); }

    // The wallpaper page on top of the navigation stack, if that is what shows.
    FullScreenView* wallpaperPage() const
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return qobject_cast<FullScreenView*>(root.navigationHost()->currentPage());
    }
    // The title of the wallpaper shown full screen; empty when none is.
    QString shownTitle() const
    {
        const FullScreenView* page = wallpaperPage();
        return page ? page->wallpaper().title : QString();
    }
    void clickBack() const
    {
        FullScreenView* page = wallpaperPage();
        ASSERT_NE(page, nullptr);
        QWidget* back = page->footBar()->backButton();
        QTest::mouseClick(back, Qt::LeftButton, {}, back->rect().center());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // The service is shared: the loader is off before the view is made, as after a first load.
    bool loaderOff = (HomePageService::shared().setShowingLoader(false), true);
    AppRootView root;
};

TEST_F(AppRootViewTest, EveryTabShowsItsPageAndOnlyExploreScrollsByItself)
{
    struct Case {
        AppTab tab;
        std::function<void()> choose;
    };
    TopNavigationBar* bar = root.tabBar();
    auto button = [this](const char* symbolName) {
        for (auto* b : root.topBar()->findChildren<NavIconButton*>())
            if (b->symbol() == QLatin1String(symbolName))
                return b;
        return static_cast<NavIconButton*>(nullptr);
    };
    const Case cases[] = {
        {AppTab::Explore, [&] { QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(AppTab::Explore).center().toPoint()); }},
        {AppTab::Upload, [&] { QTest::mouseClick(button("plus"), Qt::LeftButton); }},
        {AppTab::Settings, [&] { QTest::mouseClick(button("gearshape.fill"), Qt::LeftButton); }},
        {AppTab::Library, [&] { QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(AppTab::Library).center().toPoint()); }},
        {AppTab::Home, [&] { root.setSelectedTab(AppTab::Home); }},
    };
    for (const Case& c : cases) {
        c.choose();
        const QString title = AppTabs::title(c.tab);
        EXPECT_EQ(root.selectedTab(), c.tab) << title.toStdString();
        QWidget* page = root.tabPage(c.tab);
        EXPECT_TRUE(page->isVisible()) << title.toStdString();
        EXPECT_EQ(page->objectName() == QLatin1String("mainScrollView"), c.tab != AppTab::Explore) << title.toStdString();
        EXPECT_EQ(button("plus")->isActive(), c.tab == AppTab::Upload);
        EXPECT_EQ(button("gearshape.fill")->isActive(), c.tab == AppTab::Settings);
    }
}

// The window opens on Home; every other tab's page is made the first time the tab shows, and
// choosing one tab makes no other.
TEST_F(AppRootViewTest, EveryTabButHomeIsBuiltWhenItFirstShows)
{
    struct Case {
        AppTab tab;
        std::function<bool()> built;
    };
    const Case cases[] = {
        {AppTab::Explore, [this] { return root.findChild<ExploreView*>() != nullptr; }},
        {AppTab::Library, [this] { return root.findChild<LikedView*>() != nullptr; }},
        {AppTab::Upload, [this] { return root.findChild<CustomView*>() != nullptr; }},
        {AppTab::Settings, [this] { return root.findChild<SettingsView*>() != nullptr; }},
    };
    EXPECT_NE(root.findChild<HomeView*>(), nullptr);
    for (const Case& c : cases)
        EXPECT_FALSE(c.built()) << AppTabs::title(c.tab).toStdString();
    for (qsizetype chosen = 0; chosen < qsizetype(std::size(cases)); ++chosen) {
        root.setSelectedTab(cases[chosen].tab);
        for (qsizetype index = 0; index < qsizetype(std::size(cases)); ++index)
            EXPECT_EQ(cases[index].built(), index <= chosen)
                << AppTabs::title(cases[chosen].tab).toStdString() << " chosen, " << AppTabs::title(cases[index].tab).toStdString();
    }
}

TEST_F(AppRootViewTest, TheTopBarHidesOnlyOnHomeWhileTheLoaderShows)
{
    HomePageService::shared().setShowingLoader(true);
    EXPECT_FALSE(root.topBar()->isWanted());
    root.setSelectedTab(AppTab::Library);
    EXPECT_TRUE(root.topBar()->isWanted());
    root.setSelectedTab(AppTab::Home);
    EXPECT_FALSE(root.topBar()->isWanted());
    HomePageService::shared().setShowingLoader(false);
    EXPECT_TRUE(root.topBar()->isWanted());
}

TEST_F(AppRootViewTest, TheSelectedWallpaperIsPushedReplacedAndLeftThroughTheContext)
{
    BrowseContext* context = root.context();
    context->setSelectedWallpaper(wallpaper(QStringLiteral("Lagoon")));
    EXPECT_EQ(root.navigationHost()->depth(), 2);
    EXPECT_EQ(shownTitle(), QStringLiteral("Lagoon"));

    context->setSelectedWallpaper(wallpaper(QStringLiteral("Dunes")));
    EXPECT_EQ(root.navigationHost()->depth(), 2);
    EXPECT_EQ(shownTitle(), QStringLiteral("Dunes"));

    clickBack();
    EXPECT_EQ(root.navigationHost()->depth(), 1);
    EXPECT_FALSE(context->selectedWallpaper().has_value());

    // Leaving the page some other way clears the selection too.
    context->setSelectedWallpaper(wallpaper(QStringLiteral("Fjord")));
    root.navigationHost()->popToRoot();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(context->selectedWallpaper().has_value());
}

TEST_F(AppRootViewTest, ACategoryPageClosesItselfAndWhatWasOpenedAboveIt)
{
    CategoryNavigationItem item;
    item.categoryId = 4;
    item.categoryName = QStringLiteral("Nature");
    root.openCategory(item);
    auto* category = qobject_cast<CategoryDetailView*>(root.navigationHost()->currentPage());
    ASSERT_NE(category, nullptr);
    EXPECT_EQ(category->controller()->item(), item);
    root.context()->setSelectedWallpaper(wallpaper(QStringLiteral("Lagoon")));
    EXPECT_EQ(root.navigationHost()->depth(), 3);

    QTest::mouseClick(category->backButton(), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(root.navigationHost()->depth(), 1);
    EXPECT_FALSE(root.context()->selectedWallpaper().has_value());
}

class LinkedRootViewTest : public AppRootViewTest {
protected:
    LinkedRootViewTest() : AppRootViewTest(true) {}
};

TEST_F(LinkedRootViewTest, LinksOpenFullScreenAtOnceOrAfterTheOpenOneLeft)
{
    // Pending before the view existed: open as it appears.
    EXPECT_EQ(shownTitle(), QStringLiteral("From a link"));
    EXPECT_FALSE(links_.pendingWallpaper().has_value());

    links_.setPendingWallpaperNow(wallpaper(QStringLiteral("Second link")));
    EXPECT_FALSE(root.context()->selectedWallpaper().has_value()) << "the open one leaves first";
    ASSERT_EVENTUALLY(root.context()->selectedWallpaper().has_value(), 2000);
    EXPECT_EQ(shownTitle(), QStringLiteral("Second link"));
    EXPECT_EQ(root.navigationHost()->depth(), 2);

    partnerLinks_.setPendingIdNow(QStringLiteral("gn-7"));
    EXPECT_EQ(root.selectedGravelnookId(), u"gn-7");
    auto* partner = qobject_cast<PartnerSiteView*>(root.navigationHost()->currentPage());
    ASSERT_NE(partner, nullptr);
    EXPECT_EQ(partner->partnerId(), u"gn-7");
    Q_EMIT partner->closeRequested();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(root.selectedGravelnookId().has_value());
}

TEST_F(LinkedRootViewTest, TheNewestLinkWinsAndALinkToTheOpenWallpaperOpensItAgain)
{
    ASSERT_EQ(shownTitle(), QStringLiteral("From a link"));
    const QPointer<FullScreenView> first = wallpaperPage();
    links_.setPendingWallpaperNow(root.context()->selectedWallpaper().value());
    EXPECT_FALSE(root.context()->selectedWallpaper().has_value()) << "the open page leaves first";
    ASSERT_EVENTUALLY(root.context()->selectedWallpaper().has_value(), 2000);
    EXPECT_EQ(shownTitle(), QStringLiteral("From a link"));
    EXPECT_TRUE(first.isNull()) << "opened again in a page of its own";

    // Partner links, one quickly after the other while a partner page is open: the older one,
    // still waiting to reopen, must not replace the newer one.
    partnerLinks_.setPendingIdNow(QStringLiteral("gn-1"));
    ASSERT_EQ(root.selectedGravelnookId(), u"gn-1");
    partnerLinks_.setPendingIdNow(QStringLiteral("gn-2"));
    EXPECT_FALSE(root.selectedGravelnookId().has_value());
    // Events in between; on a loaded machine gn-2 may have reopened by then, and gn-3 then
    // waits its turn in the same way.
    QCoreApplication::processEvents();
    partnerLinks_.setPendingIdNow(QStringLiteral("gn-3"));
    ASSERT_EVENTUALLY(root.selectedGravelnookId() == u"gn-3", 2000);
    QTest::qWait(BrowseContext::kReselectDelayMs * 3);
    EXPECT_EQ(root.selectedGravelnookId(), u"gn-3");
    auto* partner = qobject_cast<PartnerSiteView*>(root.navigationHost()->currentPage());
    ASSERT_NE(partner, nullptr);
    EXPECT_EQ(partner->partnerId(), u"gn-3");

    // The same id again reloads it: closed, then opened anew.
    partnerLinks_.setPendingIdNow(QStringLiteral("gn-3"));
    EXPECT_FALSE(root.selectedGravelnookId().has_value());
    ASSERT_EVENTUALLY(root.selectedGravelnookId() == u"gn-3", 2000);
}

// A partner link handled as the URL scheme hands it over, against the sample catalogue, then
// left the two ways a user leaves it.
class PartnerLinkTest : public AppRootViewTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(session_.isRunning());
        // A partner link also offers the onboarding sheet, which would take the Escape.
        defaults_.setBool(ShellDefaults::onboardingSheetCompleted, true);
        QApplication::setActiveWindow(&root);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&root));
    }
    void TearDown() override { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    FullScreenView* openPartnerLink()
    {
        handler_.handle(QStringLiteral("quorvelle://gravelnook/501"));
        PartnerSiteView* partner = nullptr;
        const bool shown = QTest::qWaitFor([&] {
            partner = qobject_cast<PartnerSiteView*>(root.navigationHost()->currentPage());
            return partner && partner->state() == PartnerSiteView::State::Showing;
        }, 20'000);
        EXPECT_TRUE(shown);
        return shown ? qobject_cast<FullScreenView*>(partner->fullScreenView()) : nullptr;
    }
    // Home again: nothing pushed, the home page on screen and the header row over it, once its
    // fade has run (unless the home page's loader, which it reruns until its first load is done,
    // wants the header hidden).
    bool homeShows() const
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return root.navigationHost()->depth() == 1 && !root.selectedGravelnookId() && root.tabPage(AppTab::Home)->isVisible()
               && root.topBar()->isVisible() == root.topBar()->isWanted();
    }

    CatalogueSession session_;
    Shared<APIService>::Override api_{session_.api()};
    WallpaperDeepLinkHandler handler_{AppStore::shared(), session_.api(), links_, partnerLinks_, NotificationManager::shared(), Delays::real()};
};

TEST_F(PartnerLinkTest, EscapeAndTheBackButtonLeaveThePartnerWallpaperForHome)
{
    const std::pair<const char*, std::function<void(FullScreenView&)>> exits[] = {
        {"Escape", [](FullScreenView&) { QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : QApplication::activeWindow(), Qt::Key_Escape); }},
        {"back", [](FullScreenView& page) {
             QWidget* back = page.footBar()->backButton();
             QTest::mouseClick(back, Qt::LeftButton, {}, back->rect().center());
         }},
    };
    for (const auto& [name, leave] : exits) {
        FullScreenView* page = openPartnerLink();
        ASSERT_NE(page, nullptr) << name;
        ASSERT_NE(page->footBar(), nullptr);
        EXPECT_EQ(page->wallpaper().title, QStringLiteral("Koi Pond at Dusk"));
        EXPECT_FALSE(root.topBar()->isVisible()) << "the page covers the header row";
        leave(*page);
        EXPECT_TRUE(QTest::qWaitFor([&] { return homeShows(); }, 3000)) << name;
    }
}

// A wallpaper link handled as the URL scheme hands it over, against the sample catalogue.
class WallpaperLinkTest : public AppRootViewTest {
protected:
    void SetUp() override { ASSERT_TRUE(session_.isRunning()); }

    CatalogueSession session_;
    Shared<APIService>::Override api_{session_.api()};
    WallpaperDeepLinkHandler handler_{AppStore::shared(), session_.api(), links_, partnerLinks_, NotificationManager::shared(), Delays::real()};
};

// While a wallpaper link is fetched, the window says so in its toast.
TEST_F(WallpaperLinkTest, ShowsThatItIsOpening)
{
    root.resize(1000, 640);
    NotificationManager& toast = NotificationManager::shared();
    handler_.handle(QStringLiteral("quorvelle://wallpaper/1718000000137"));
    ASSERT_EVENTUALLY(toast.isPresented() && toast.message() == WallpaperDeepLinkHandler::openingMessage(), 5000);
    const NotificationToast* card = root.findChild<NotificationToast*>();
    ASSERT_NE(card, nullptr);
    ASSERT_EVENTUALLY(card->presentation() == 1.0, 5000) << "the card's fade-in";
    saveScreenshot(root, QStringLiteral("link-opening"));
    // The application state never loads here: the link gives up after its polls, and says so.
    ASSERT_EVENTUALLY(!toast.isPresented(), 30'000);
}

TEST(Onboarding, OfferedOnceAfterTheLastTriggerUnlessCompletedBefore)
{
    const struct {
        const QString* key;
        bool presented;
    } cases[] = {{nullptr, true}, {&ShellDefaults::onboardingSheetCompleted, false}, {&ShellDefaults::legacyOnboardingCompleted, false}};
    for (const auto& c : cases) {
        UserDefaults defaults(QStringLiteral("test"), UserDefaults::Storage::InMemory);
        if (c.key)
            defaults.setBool(*c.key, true);
        OnboardingSheetState state;
        QSignalSpy presentations(&state, &OnboardingSheetState::isPresentedChanged);
        OnboardingScheduler scheduler(defaults, state);
        for (int i = 0; i < 3; ++i) {
            scheduler.schedule(100);
            QTest::qWait(30);
        }
        EXPECT_TRUE(scheduler.isScheduled());
        ASSERT_EVENTUALLY(!scheduler.isScheduled(), 2000);
        EXPECT_EQ(state.isPresented(), c.presented);
        EXPECT_EQ(presentations.count(), c.presented ? 1 : 0);
    }
}

TEST(Onboarding, GetStartedStoresTheChoiceAndLandsOnExploreAnyOtherCloseStoresNothing)
{
    QWidget window;
    window.resize(900, 600);
    window.show();
    SheetHost sheets(&window);
    UserDefaults defaults(QStringLiteral("test"), UserDefaults::Storage::InMemory);
    OnboardingSheetState state;
    AppStore store;
    int explored = 0;
    AppSheetsHost host(sheets, state, defaults, store,
        [](const OnboardingContent& content, std::function<void()> done) {
            return new AlertSheet(content.title, content.description, content.buttonText, std::move(done));
        },
        [&] { ++explored; });

    state.setPresented(true);
    auto* sheet = qobject_cast<AlertSheet*>(sheets.sheet());
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->title(), u"Welcome to Quorvelle");
    sheets.dismiss(); // Escape
    EXPECT_FALSE(state.isPresented());
    EXPECT_FALSE(defaults.boolean(ShellDefaults::onboardingSheetCompleted));

    state.setPresented(true);
    sheet = qobject_cast<AlertSheet*>(sheets.sheet());
    ASSERT_NE(sheet, nullptr);
    QTest::mouseClick(sheet->button(), Qt::LeftButton, {}, sheet->button()->rect().center());
    EXPECT_TRUE(defaults.boolean(ShellDefaults::onboardingSheetCompleted));
    EXPECT_EQ(explored, 1);
    EXPECT_FALSE(state.isPresented());
    EXPECT_EQ(sheets.depth(), 0);
}

TEST_F(AppRootViewTest, TheWindowSizeReachesTheContext)
{
    root.resize(1000, 640);
    EXPECT_EQ(root.context()->windowSize(), QSize(1000, 640));
    saveScreenshot(root, QStringLiteral("root-view"));
}

} // namespace
