#include "app/AppRootView.h"
#include "screens/browse/BrowseSession.h"
#include "screens/browse/CategoryDetailView.h"
#include "screens/browse/ExploreFilterChips.h"
#include "screens/browse/ExploreView.h"
#include "screens/browse/HomeGridSection.h"
#include "screens/browse/SectionTitleComponent.h"
#include "support/Eventually.h"
#include "ui/BackButton.h"
#include "ui/FilterChip.h"
#include "ui/FilterChipsRow.h"
#include "ui/LazyGridView.h"
#include "ui/NavigationHost.h"
#include "ui/PosterCardView.h"
#include "ui/Screenshot.h"
#include "ui/Theme.h"
#include "ui/TopNavigationBar.h"

#include <QTest>
#include <QThreadPool>

#include <gtest/gtest.h>

namespace {
constexpr int kWaitMs = 20'000;

bool postersShown(const QWidget& page)
{
    const QList<PosterCardView*> cards = page.findChildren<PosterCardView*>();
    return !cards.isEmpty() && std::all_of(cards.begin(), cards.end(), [](const PosterCardView* card) {
        return card->hasPoster() || !card->isVisible();
    });
}

// The main window's root view over the sample catalogue: the Explore tab shows the catalogue's
// rows, and a chip or a section title pushes its category page, which lists the category and
// goes back.
TEST(ExploreEndToEndTest, TheExploreTabOpensCategoryPagesAndComesBack)
{
    BrowseSession session;
    ASSERT_TRUE(session.catalogue.isRunning());
    session.start();
    AppRootView root;
    root.setPalette(Theme::palette());
    root.resize(1280, 800);
    root.show();
    QTest::mouseClick(root.tabBar(), Qt::LeftButton, {}, root.tabBar()->tabRect(AppTab::Explore).center().toPoint());
    auto* explore = root.tabPage(AppTab::Explore)->findChild<ExploreView*>();
    ASSERT_NE(explore, nullptr);
    ASSERT_EVENTUALLY(explore->sectionGrids().size() == 3 && postersShown(*explore), kWaitMs);
    saveScreenshot(root, QStringLiteral("app-explore-tab"));

    QTest::mouseClick(explore->chips()->categoryRow()->chip(QStringLiteral("Space")), Qt::LeftButton);
    auto* space = qobject_cast<CategoryDetailView*>(root.navigationHost()->currentPage());
    ASSERT_NE(space, nullptr);
    ASSERT_EVENTUALLY(!space->grid()->keys().isEmpty() && postersShown(*space), kWaitMs);
    EXPECT_EQ(space->controller()->wallpapers().first().category, QStringLiteral("Space"));
    saveScreenshot(root, QStringLiteral("app-category-page"));
    QTest::mouseClick(space->backButton(), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(root.navigationHost()->depth(), 1);

    SectionTitleComponent* latest = explore->sectionGrids().first()->heading();
    QTest::mouseClick(latest, Qt::LeftButton, {}, latest->titleHitRect().center());
    auto* section = qobject_cast<CategoryDetailView*>(root.navigationHost()->currentPage());
    ASSERT_NE(section, nullptr);
    EXPECT_EQ(section->grid()->keys().size(), 6) << "the row's wallpapers show at once";
    EXPECT_EQ(section->controller()->caption(), QStringLiteral("SECTION"));

    root.navigationHost()->popToRoot();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QTest::qWait(1000); // poster fetches of the pages end before the catalogue does
    QThreadPool::globalInstance()->waitForDone();
}

} // namespace
