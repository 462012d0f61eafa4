#include "HomeFixture.h"

#include "screens/browse/CategoriesSection.h"
#include "screens/browse/HeroSlideView.h"
#include "screens/browse/HeroThumbnailRow.h"
#include "screens/browse/HomeCarouselSection.h"
#include "screens/browse/LoadingScreenView.h"
#include "ui/LabelButton.h"
#include "ui/LazyGridView.h"
#include "ui/PosterCardView.h"
#include "ui/Screenshot.h"

#include <QScrollBar>

using samplecatalogue::Fault;

namespace {

// A picture whose pixels hardly ever differ from its background is a blank screen.
bool looksBlank(const QImage& picture)
{
    const QColor background = Theme::appBackgroundColor();
    int differing = 0;
    for (int y = 0; y < picture.height(); y += 2)
        for (int x = 0; x < picture.width(); x += 2) {
            const QColor pixel = picture.pixelColor(x, y);
            differing += std::abs(pixel.red() - background.red()) + std::abs(pixel.green() - background.green()) > 60 ? 1 : 0;
        }
    return differing < 100;
}

class HomeScreenshotsTest : public HomeFixture {};

TEST_F(HomeScreenshotsTest, Startup)
{
    server().setFault(path(QStringLiteral("platform-stats")), Fault{0, 1500, false, false, 1});
    HomeView& page = show();
    QTest::qWait(700); // the bar has moved
    const QImage loading = saveScreenshot(*window_, QStringLiteral("home-loading"));
    EXPECT_EQ(page.loadingScreen()->statusText(), u"Waking things up");
    EXPECT_FALSE(looksBlank(loading.copy(0, 300, 1280, 200))) << "name and tag line";
    ASSERT_EVENTUALLY(feedShows(), kLoadMs);
}

TEST_F(HomeScreenshotsTest, Failed)
{
    server().setFault(path(QStringLiteral("platform-stats")), Fault{503});
    HomeView& page = show();
    ASSERT_EVENTUALLY(page.loadingScreen()->retryButton()->isVisible(), kLoadMs);
    QTest::qWait(600);
    const QImage failed = saveScreenshot(*window_, QStringLiteral("home-failed"));
    EXPECT_FALSE(looksBlank(failed.copy(0, 700, 1280, 100))) << "the notice and its button";
}

TEST_F(HomeScreenshotsTest, HeroWithThumbnailsRowsAndCategories)
{
    HomeView& page = show();
    ASSERT_EVENTUALLY(feedShows(), kLoadMs);
    // The hero plays its first slide and the first row's posters are in.
    ASSERT_EVENTUALLY(page.hero()->slide(0)->isVideoReady(), kLoadMs);
    ASSERT_EVENTUALLY(page.thumbnails()->hasPicture(0), kLoadMs);
    QTest::qWait(900); // the ready fade and the first row's posters
    const QImage hero = saveScreenshot(*window_, QStringLiteral("home-hero"));
    EXPECT_FALSE(looksBlank(hero));

    QScrollBar* bar = window_->verticalScrollBar();
    for (const auto& [offset, name] : {std::pair{0.45, "home-rows"}, std::pair{1.0, "home-categories"}}) {
        bar->setValue(int(bar->maximum() * offset));
        QTest::qWait(1500); // cells of the new part come and load their posters
        EXPECT_FALSE(looksBlank(saveScreenshot(*window_, QString::fromLatin1(name)))) << name;
    }
    EXPECT_GT(page.categories()->grid()->liveCellCount(), 0);
}

} // namespace
