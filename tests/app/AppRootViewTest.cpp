#include "app/AppRootView.h"
#include "ui/Screenshot.h"
#include "screens/browse/CategoryNavigationItem.h"
#include "state/HomePageService.h"
#include "ui/HeaderRow.h"
#include "ui/BrowseContext.h"
#include "ui/NavIconButton.h"
#include "ui/NavigationHost.h"
#include "ui/Theme.h"
#include "ui/TopNavigationBar.h"

#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
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
    AppRootViewTest()
    {
        root.setPalette(Theme::palette());
        root.resize(1200, 760);
        root.show();
    }
    ~AppRootViewTest() override { HomePageService::shared().setShowingLoader(false); }

    // The title shown by the page on top of the navigation stack.
    QString shownTitle() const
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        const auto* label = root.navigationHost()->currentPage()->findChild<QLabel*>(QStringLiteral("placeholderTitle"));
        return label ? label->text() : QString();
    }
    void clickBack() const
    {
        auto* back = root.navigationHost()->currentPage()->findChild<QPushButton*>();
        ASSERT_NE(back, nullptr);
        QTest::mouseClick(back, Qt::LeftButton);
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
    EXPECT_EQ(shownTitle(), QStringLiteral("Nature"));
    QWidget* category = root.navigationHost()->currentPage();
    root.context()->setSelectedWallpaper(wallpaper(QStringLiteral("Lagoon")));
    EXPECT_EQ(root.navigationHost()->depth(), 3);

    QTest::mouseClick(category->findChild<QPushButton*>(), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(root.navigationHost()->depth(), 1);
    EXPECT_FALSE(root.context()->selectedWallpaper().has_value());
}

TEST_F(AppRootViewTest, TheWindowSizeReachesTheContext)
{
    root.resize(1000, 640);
    EXPECT_EQ(root.context()->windowSize(), QSize(1000, 640));
    saveScreenshot(root, QStringLiteral("root-view"));
}

} // namespace
