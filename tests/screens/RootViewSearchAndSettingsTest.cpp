#include "app/AppRootView.h"
#include "app/ShellDefaults.h"
#include "engine/CacheService.h"
#include "engine/VideoCacheService.h"
#include "engine/WallpaperDownloadService.h"
#include "engine/WallpaperImageCache.h"
#include "foundation/UserDefaults.h"
#include "screens/CatalogueScreenFixture.h"
#include "screens/browse/ExploreHero.h"
#include "screens/browse/ExploreHeroDiscordButton.h"
#include "screens/browse/ExploreView.h"
#include "screens/search/DebouncedSearch.h"
#include "screens/search/GhostTextField.h"
#include "screens/search/SearchOverlayHost.h"
#include "screens/search/SearchOverlaySearchBox.h"
#include "screens/search/SearchOverlayService.h"
#include "screens/search/SearchOverlayView.h"
#include "screens/settings/SettingsView.h"
#include "session/AutoStartService.h"
#include "session/LoginItemService.h"
#include "session/NotificationCenter.h"
#include "state/HomePageService.h"
#include "support/Eventually.h"
#include "support/FakeLoginItem.h"
#include "ui/AppTab.h"
#include "ui/BrowseContext.h"
#include "ui/GlassBackground.h"
#include "ui/ScreenMessageView.h"
#include "ui/LazyGridView.h"
#include "ui/NavIconButton.h"
#include "ui/PosterCardView.h"
#include "ui/Screenshot.h"
#include "ui/SymbolButton.h"
#include "ui/ToggleSwitch.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QThreadPool>

namespace {

constexpr int kWaitMs = 15'000;

// The main window's root view on the sample catalogue, driven as a user does: the search button,
// typing, the settings tab.
class RootViewSearchAndSettingsTest : public CatalogueScreenFixture {
protected:
    RootViewSearchAndSettingsTest()
    {
        loadStore();
        // A returning user after the first load: the start-up loader is gone, no welcome sheet.
        UserDefaults::standard().setBool(ShellDefaults::onboardingSheetCompleted, true);
        HomePageService::shared().setShowingLoader(false);
    }
    void showRoot()
    {
        root_ = std::make_unique<AppRootView>();
        root_->resize(1200, 800);
        root_->show();
    }
    ~RootViewSearchAndSettingsTest() override
    {
        root_.reset();
        // A size walk still running on a worker reads the caches, which go with the test.
        QThreadPool::globalInstance()->waitForDone();
        SearchOverlayService::shared().setPresented(false);
        SearchOverlayService::shared().setSearchQuery(QString());
    }
    static void click(QWidget* widget) { QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center()); }

    UserDefaults defaults_{UserDefaults::kStandardDomain, UserDefaults::Storage::InMemory};
    NotificationCenter center_;
    FakeLoginItem loginItem_;
    LoginItemService loginItems_{loginItem_, defaults_, center_};
    AutoStartService autoStart_{loginItems_, defaults_, center_};
    Shared<AutoStartService>::Override autoStartOverride_{autoStart_};
    WallpaperImageCache images_;
    VideoCacheService previews_;
    WallpaperDownloadService masters_;
    CacheService cache_{images_, previews_, masters_};
    Shared<CacheService>::Override cacheOverride_{cache_};
    std::unique_ptr<AppRootView> root_;
};

TEST_F(RootViewSearchAndSettingsTest, TheSearchButtonOpensTheOverlayAndTypingShowsResults)
{
    showRoot();
    auto* host = qobject_cast<SearchOverlayHost*>(root_->searchOverlay());
    ASSERT_NE(host, nullptr);
    NavIconButton* button = root_->findChild<NavIconButton*>();
    ASSERT_NE(button, nullptr);
    ASSERT_EQ(button->symbol(), QStringLiteral("magnifyingglass"));
    click(button);
    ASSERT_EVENTUALLY(root_->isSearchPresented() && host->view() && host->isVisible(), kWaitMs);
    EXPECT_TRUE(button->isActive());
    SearchOverlayView& view = *host->view();
    ASSERT_EVENTUALLY(QApplication::focusWidget() == view.searchBox()->field(), kWaitMs);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("rain"), Qt::NoModifier, 100);
    ASSERT_EVENTUALLY(view.search().results().size() == 4 && !view.search().isLoading(), kWaitMs);
    ASSERT_EVENTUALLY(view.grid()->liveCellCount() == 4, kWaitMs);
    EXPECT_EQ(requests(QStringLiteral("search-wallpapers")), 1);

    // A result opens its wallpaper in place of everything, the overlay included.
    click(view.grid()->cellForKey(view.search().results().first().id));
    ASSERT_EVENTUALLY(root_->wallpaperDestination() != nullptr, kWaitMs);
    EXPECT_TRUE(root_->isSearchPresented());

    saveScreenshot(*root_, QStringLiteral("root-wallpaper-from-search"));

    // Closing the wallpaper shows the overlay again, as it was; Escape then closes it.
    root_->context()->setSelectedWallpaper(std::nullopt);
    ASSERT_EVENTUALLY(!root_->wallpaperDestination() && view.isVisible(), kWaitMs);
    EXPECT_EQ(view.search().results().size(), 4);
    ASSERT_EVENTUALLY(std::all_of(view.search().results().begin(), view.search().results().end(), [&](const WallpaperModel& w) {
        auto* card = qobject_cast<PosterCardView*>(view.grid()->cellForKey(w.id));
        return card && card->hasPoster();
    }), kWaitMs);
    saveScreenshot(*root_, QStringLiteral("root-search-results"));
    QTest::keyClick(view.searchBox()->field(), Qt::Key_Escape);
    ASSERT_EVENTUALLY(!root_->isSearchPresented() && !button->isActive(), kWaitMs);
}

// Over Explore, a search that finds nothing says so in the search's own area, on a panel of
// its own under the search bar: its magnifier was drawn over the page beneath, on the dimmed
// "Join Discord" button.
TEST_F(RootViewSearchAndSettingsTest, ASearchThatFindsNothingSaysSoInItsOwnAreaOverExplore)
{
    showRoot();
    root_->setSelectedTab(AppTab::Explore);
    auto* explore = root_->tabPage(AppTab::Explore)->findChild<ExploreView*>();
    ASSERT_TRUE(explore);
    ASSERT_EVENTUALLY(explore->hero()->discordButton()->isVisible(), kWaitMs);
    root_->setSearchPresented(true);
    auto* host = qobject_cast<SearchOverlayHost*>(root_->searchOverlay());
    ASSERT_EVENTUALLY(host->view() && host->isVisible(), kWaitMs);
    SearchOverlayView& view = *host->view();
    view.searchBox()->setText(QStringLiteral("nothing like this"));
    ASSERT_EVENTUALLY(view.search().outcome() == DebouncedSearch::Outcome::NoResults, kWaitMs);
    ASSERT_EVENTUALLY(!host->graphicsEffect(), kWaitMs); // faded in
    const QImage shot = saveScreenshot(*root_, QStringLiteral("root-search-no-results-over-explore"));

    // The message, magnifier and all, lies on a panel of the search's own material under the
    // box and as wide; the button beneath is covered by that panel, not drawn over.
    const auto inRoot = [&](const QWidget* widget) { return QRect(widget->mapTo(root_.get(), QPoint(0, 0)), widget->size()); };
    auto* panel = qobject_cast<GlassBackground*>(view.message()->parentWidget());
    ASSERT_TRUE(panel);
    const QRect area = inRoot(panel);
    const QRect box = inRoot(view.searchBox());
    EXPECT_TRUE(area.contains(inRoot(view.message())));
    EXPECT_GT(area.top(), box.bottom());
    EXPECT_LE(area.top() - box.bottom(), SearchOverlayView::kSearchToGridSpacing);
    EXPECT_EQ(area.left(), box.left());
    EXPECT_EQ(area.width(), box.width());
    const QRect discord = inRoot(explore->hero()->discordButton());
    EXPECT_TRUE(area.contains(discord.center()));
    // Solid: beside the message, the panel over the button reads as the panel does at its corner.
    const QColor overButton = shot.pixelColor(discord.left() + 8, discord.center().y());
    const QColor corner = shot.pixelColor(area.left() + 24, area.top() + 24);
    EXPECT_LE(std::abs(overButton.red() - corner.red()) + std::abs(overButton.green() - corner.green())
            + std::abs(overButton.blue() - corner.blue()), 6)
        << overButton.name().toStdString() << " against " << corner.name().toStdString();
}

TEST_F(RootViewSearchAndSettingsTest, TheSettingsTabTogglesStartAtLoginAndClearsTheCache)
{
    // The cache holds the master below and nothing else: the home hero's previews are refused
    // before it asks for them (it does as it is made, when the feed is already there), so no
    // fetch of its own lands between the size read and the check.
    HomePageService& home = HomePageService::shared();
    waitForTask(home.loadHomePage());
    ASSERT_FALSE(home.heroCarousel().isEmpty());
    for (const WallpaperResponseItem& slide : home.heroCarousel()) {
        for (const char* file : {"preview.mp4", "previewhd.mp4"})
            server().setFault(QStringLiteral("/wallpaper/%1/%2").arg(slide.key).arg(QLatin1String(file)), failing(404));
    }
    showRoot();
    const QString master = QDir(WallpaperDownloadService::folderPath()).filePath(QStringLiteral("9.mp4"));
    QDir().mkpath(QFileInfo(master).path());
    QFile file(master);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.resize(5 * 1'048'576);
    file.close();

    root_->setSelectedTab(AppTab::Settings);
    auto* page = root_->tabPage(AppTab::Settings)->findChild<SettingsView*>();
    ASSERT_NE(page, nullptr);
    ASSERT_EVENTUALLY(page->isVisible() && page->cacheLabel()->text() == QStringLiteral("Cache - 5 MB"), kWaitMs);

    click(page->startOnLoginSwitch());
    EXPECT_TRUE(autoStart_.isEnabled());
    EXPECT_EQ(loginItem_.status(), LoginItem::Status::Enabled);
    EXPECT_TRUE(defaults_.boolean(AutoStartService::autoStartKey, false));

    click(page->trashButton());
    ASSERT_EVENTUALLY(page->cacheLabel()->text() == QStringLiteral("Cache - 0 MB"), kWaitMs);
    EXPECT_FALSE(QFile::exists(master));
    EXPECT_TRUE(page->notice()->isHidden());
    QTest::qWait(300); // the switch's knob slides
    saveScreenshot(*root_, QStringLiteral("root-settings"));
}

} // namespace
