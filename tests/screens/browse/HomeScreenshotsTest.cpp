#include "HomeFixture.h"

#include "screens/browse/CategoriesSection.h"
#include "screens/browse/CategoryCardView.h"
#include "screens/browse/HeroSlideView.h"
#include "screens/browse/HeroThumbnailRow.h"
#include "screens/browse/HomeCarouselSection.h"
#include "screens/browse/LoadingScreenView.h"
#include "screens/browse/SectionTitleComponent.h"
#include "ui/LabelButton.h"
#include "ui/LazyGridView.h"
#include "ui/PosterCardView.h"
#include "ui/Screenshot.h"

#include <QScrollBar>
#include <QSet>

#include <algorithm>

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

// Where `widget` shows in the window's picture, whole or in part.
QRect placeIn(const QWidget& window, const QWidget& widget)
{
    return QRect(widget.mapTo(&window, QPoint(0, 0)), widget.size()).intersected(window.rect());
}

// Coarse colours in a part of a picture: a flat fill or a shimmer has a handful, a poster or a
// video frame many.
int colourCount(const QImage& picture, const QRect& part)
{
    QSet<int> colours;
    for (int y = part.top(); y <= part.bottom(); y += 3)
        for (int x = part.left(); x <= part.right(); x += 3) {
            const QColor pixel = picture.pixelColor(x, y);
            colours.insert((pixel.red() / 32) << 6 | (pixel.green() / 32) << 3 | pixel.blue() / 32);
        }
    return int(colours.size());
}

// Near-white pixels in a part of a picture: text on the dark page.
int lightPixels(const QImage& picture, const QRect& part)
{
    int light = 0;
    for (int y = part.top(); y <= part.bottom(); ++y)
        for (int x = part.left(); x <= part.right(); ++x)
            light += qGray(picture.pixel(x, y)) > 200 ? 1 : 0;
    return light;
}

// Whether the window shows `widget` whole: inside its viewport and not cut by a row that
// scrolls sideways.
bool wholeOnScreen(const QScrollArea& window, const QWidget& widget)
{
    const QRect view(QPoint(0, 0), window.viewport()->size());
    return widget.isVisible() && widget.visibleRegion().boundingRect() == widget.rect()
           && view.contains(QRect(widget.mapTo(window.viewport(), QPoint(0, 0)), widget.size()));
}

template <typename Card>
QList<Card*> onScreen(const QScrollArea& window)
{
    QList<Card*> shown;
    for (Card* card : window.widget()->findChildren<Card*>()) {
        if (wholeOnScreen(window, *card))
            shown.append(card);
    }
    return shown;
}

QList<PosterCardView*> cardsOnScreen(const QScrollArea& window) { return onScreen<PosterCardView>(window); }

bool postersIn(const QList<PosterCardView*>& cards)
{
    return std::all_of(cards.begin(), cards.end(), [](const PosterCardView* card) { return card->hasPoster(); });
}

// The category cards on screen have their pictures, but for a category whose wallpaper the
// catalogue has no poster of (its card keeps its placeholder).
bool categoryPictures(const QScrollArea& window)
{
    const QList<CategoryCardView*> cards = onScreen<CategoryCardView>(window);
    return cards.isEmpty()
           || std::count_if(cards.begin(), cards.end(), [](const CategoryCardView* card) { return card->hasPicture(); })
                  >= cards.size() - 1;
}

TEST_F(HomeScreenshotsTest, HeroWithThumbnailsRowsAndCategories)
{
    HomeView& page = show();
    ASSERT_EVENTUALLY(feedShows(), kLoadMs);
    // The hero plays its first slide and the first row's posters are in.
    ASSERT_EVENTUALLY(page.hero()->slide(0)->isVideoReady(), kLoadMs);
    ASSERT_EVENTUALLY(page.thumbnails()->hasPicture(0), kLoadMs);
    ASSERT_EVENTUALLY(postersIn(cardsOnScreen(*window_)), kLoadMs);
    QTest::qWait(900); // the ready fade
    const QImage hero = saveScreenshot(*window_, QStringLiteral("home-hero"));
    EXPECT_FALSE(looksBlank(hero));
    // The slide's picture fills the hero; its title and button are over it.
    const HeroSlideView* slide = page.hero()->slide(0);
    EXPECT_GT(colourCount(hero, placeIn(*window_, *page.hero())), 40) << "a picture, not a flat fill";
    EXPECT_TRUE(slide->viewButton()->isVisible());
    EXPECT_GT(lightPixels(hero, placeIn(*window_, *slide->viewButton())), 50) << "the button's white capsule";
    EXPECT_GT(colourCount(hero, placeIn(*window_, *page.thumbnails())), 20) << "the thumbnails show their posters";

    QScrollBar* bar = window_->verticalScrollBar();
    for (const auto& [offset, name] : {std::pair{0.45, "home-rows"}, std::pair{1.0, "home-categories"}}) {
        SCOPED_TRACE(name);
        bar->setValue(int(bar->maximum() * offset));
        // Cells of the new part come and load their posters.
        ASSERT_EVENTUALLY(postersIn(cardsOnScreen(*window_)) && categoryPictures(*window_), kLoadMs);
        const QList<PosterCardView*> cards = cardsOnScreen(*window_);
        if (offset < 1.0) {
            EXPECT_FALSE(cards.isEmpty()) << "rows of cards";
        }
        const QImage picture = saveScreenshot(*window_, QString::fromLatin1(name));
        EXPECT_FALSE(looksBlank(picture));
        for (const PosterCardView* card : cards)
            EXPECT_GT(colourCount(picture, placeIn(*window_, *card)), 20) << card->wallpaper().title.toStdString() << ": its poster";
        // Each row's title on screen is drawn.
        for (const HomeCarouselSection* row : page.rows()) {
            if (wholeOnScreen(*window_, *row->heading())) {
                EXPECT_GT(lightPixels(picture, placeIn(*window_, *row->heading())), 30) << row->heading()->title().toStdString();
            }
        }
    }
    EXPECT_GT(page.categories()->grid()->liveCellCount(), 0);
    const QImage end = window_->grab().toImage();
    const QList<CategoryCardView*> categories = onScreen<CategoryCardView>(*window_);
    EXPECT_FALSE(categories.isEmpty());
    for (const CategoryCardView* card : categories)
        EXPECT_GT(lightPixels(end, placeIn(*window_, *card)), 200) << "the category's name";
}

} // namespace
