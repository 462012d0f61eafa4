#include "foundation/Log.h"
#include "screens/browse/CategoriesSection.h"
#include "screens/browse/HomeCarouselSection.h"
#include "screens/browse/HomeGridSection.h"
#include "screens/browse/LoadingScreenView.h"
#include "screens/browse/PopularScrollableSection.h"
#include "screens/browse/ProgressBarView.h"
#include "screens/browse/SectionTitleComponent.h"
#include "state/AppStore.h"
#include "state/NotificationManager.h"
#include "ui/BrowseContext.h"
#include "ui/LazyGridView.h"
#include "ui/NotificationToast.h"
#include "ui/NotificationToastOverlay.h"
#include "ui/PosterCardView.h"
#include "ui/SymbolButton.h"
#include "ui/Theme.h"

#include <QMouseEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

QList<WallpaperModel> wallpapers(int count)
{
    QList<WallpaperModel> list;
    for (int i = 0; i < count; ++i) {
        WallpaperModel model;
        model.id = QUuid::createUuid();
        model.key = 1000 + i;
        model.title = QStringLiteral("Wallpaper %1").arg(i);
        list.append(model);
    }
    return list;
}

class CarouselTest : public ::testing::Test {
protected:
    HomeCarouselSection* carousel(int count, bool ranked = false)
    {
        auto* section = new HomeCarouselSection(QStringLiteral("Trending"), {}, false, ranked, 20, &context_, &window_);
        section->setWallpapers(wallpapers(count));
        section->setGeometry(0, 0, 1280, section->heightForWidth(1280));
        window_.resize(1280, 600);
        window_.show();
        return section;
    }
    static void page(HomeCarouselSection& section, bool right)
    {
        QTest::mouseClick(right ? section.rightChevron() : section.leftChevron(), Qt::LeftButton);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !section.isScrolling(); }, 5000));
    }

    BrowseContext context_;
    QWidget window_;
};

TEST_F(CarouselTest, ChevronsPageTwoCardsAtATimeAndStopAtTheEnds)
{
    struct Case {
        int count;
        QList<bool> presses; // true: right
        QList<int> targets;  // after each press
        bool leftEnabled;
        bool rightEnabled;
    };
    const Case cases[] = {
        {0, {}, {}, false, false},
        {1, {}, {}, false, false},
        {2, {true, false}, {1, 0}, false, true},
        {10, {true, true, true, true, true}, {2, 4, 6, 8, 9}, true, false},
        {10, {true, true, true, true, true, false, false, false, false, false}, {2, 4, 6, 8, 9, 7, 5, 3, 1, 0}, false, true},
    };
    for (const Case& c : cases) {
        HomeCarouselSection* section = carousel(c.count);
        for (int i = 0; i < c.presses.size(); ++i) {
            page(*section, c.presses[i]);
            EXPECT_EQ(section->scrollTargetIndex(), c.targets[i]) << c.count << " press " << i;
        }
        EXPECT_EQ(section->leftChevron()->isEnabled(), c.leftEnabled) << c.count;
        EXPECT_EQ(section->rightChevron()->isEnabled(), c.rightEnabled) << c.count;
        delete section;
    }
}

TEST_F(CarouselTest, AfterAHandScrollTheChevronsPageOnFromThere)
{
    HomeCarouselSection* section = carousel(10);
    QScrollBar* bar = section->scrollArea()->horizontalScrollBar();
    const int step = (1280 - 100 - 40) / 3 + 20;
    bar->setValue(50 + 5 * step + 30); // by hand, a little past card 5
    const int handOffset = bar->value();
    page(*section, true);
    EXPECT_EQ(section->scrollTargetIndex(), 7);
    EXPECT_GT(bar->value(), handOffset) << "never backwards";

    bar->setValue(50 + 5 * step + 30);
    page(*section, false);
    EXPECT_EQ(section->scrollTargetIndex(), 4);
    EXPECT_LT(bar->value(), 50 + 5 * step + 30);
}

TEST_F(CarouselTest, TheRowFollowsItsWidthAndCardsCarryTheirRanks)
{
    HomeCarouselSection* section = carousel(6, true);
    for (int width : {1280, 1000, 1600}) {
        const int card = (width - 100 - 40) / 3;
        EXPECT_EQ(section->rowHeightFor(width), qRound(card * 21.0 / 37.0)) << width;
        section->resize(width, section->heightForWidth(width));
        EXPECT_EQ(section->row()->cellRect(0).size(), QSize(card, section->rowHeightFor(width))) << width;
    }
    QTest::qWait(50);
    auto* first = qobject_cast<PosterCardView*>(section->row()->cellForKey(section->wallpapers().first().id));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->wallpaper().key, section->wallpapers().first().key);
}

// A row low in a 922 x 576 window puts its chevrons where a toast rests: the card rests above
// them instead, so the user still pages the row.
TEST_F(CarouselTest, AToastRestsClearOfTheChevrons)
{
    NotificationManager toasts;
    // Made before the row shows, as the window's overlay is before its pages.
    auto* overlay = new NotificationToastOverlay(toasts, &window_);
    HomeCarouselSection* section = carousel(6);
    window_.resize(922, 576);
    section->resize(922, section->heightForWidth(922));
    const int chevronTop = section->rightChevron()->mapTo(section, QPoint()).y();
    section->move(0, window_.height() - NotificationToastOverlay::kBottom - 30 - chevronTop);
    toasts.show(QString(), QStringLiteral("Downloading..."), QImage(), 0.4, true);
    NotificationToast* card = overlay->toast();
    ASSERT_TRUE(QTest::qWaitFor([&] {
        return card->isVisible() && card->geometry() == overlay->restingGeometry() && card->opacity() == 1;
    }, 5000));
    for (QWidget* chevron : {static_cast<QWidget*>(section->leftChevron()), static_cast<QWidget*>(section->rightChevron())}) {
        const QRect at(chevron->mapTo(&window_, QPoint()), chevron->size());
        EXPECT_TRUE(window_.rect().contains(at));
        EXPECT_FALSE(at.intersects(card->geometry())) << "chevron " << at.x() << ',' << at.y() << ", card " << card->x() << ','
                                                      << card->y() << ' ' << card->width() << 'x' << card->height();
    }
}

TEST(SectionTitle, OnlyAClickableTitleTakesClicksAndAnEmptySubtitleTakesNoRoom)
{
    SectionTitleComponent plain(QStringLiteral("Trending"), {}, false);
    SectionTitleComponent withEmpty(QStringLiteral("Trending"), QStringLiteral(""), false);
    SectionTitleComponent withSubtitle(QStringLiteral("Trending"), QStringLiteral("This week"), false);
    EXPECT_EQ(plain.heightForWidth(600), withEmpty.heightForWidth(600));
    EXPECT_GT(withSubtitle.heightForWidth(600), plain.heightForWidth(600));
    EXPECT_TRUE(plain.titleHitRect().isEmpty());

    SectionTitleComponent clickable(QStringLiteral("Most Popular Wallpapers"), {}, true);
    clickable.resize(600, clickable.heightForWidth(600));
    clickable.show();
    QSignalSpy clicks(&clickable, &SectionTitleComponent::titleClicked);
    const QPoint onTitle = clickable.titleHitRect().center();
    QTest::mouseMove(&clickable, onTitle);
    QTest::qWait(250);
    EXPECT_NEAR(clickable.titleOpacity(), 0.7, 0.01);
    QTest::mouseClick(&clickable, Qt::LeftButton, {}, onTitle);
    QTest::mouseClick(&clickable, Qt::LeftButton, {}, QPoint(590, onTitle.y())); // beside the title
    EXPECT_EQ(clicks.count(), 1);

    // A long title wraps rather than being cut.
    SectionTitleComponent longTitle(QStringLiteral("Wallpapers loved by the community this week ").repeated(4), {}, false);
    EXPECT_GT(longTitle.heightForWidth(300), plain.heightForWidth(300));
}

TEST(PopularSection, EachOfTheLastNineCardsAsksForMoreAsItComesIntoView)
{
    BrowseContext context;
    QScrollArea window;
    window.setWidgetResizable(true);
    auto* section = new PopularScrollableSection(QStringLiteral("Most Popular"), {}, 3, 20, 24, &context);
    window.setWidget(section);
    window.resize(1200, 5000); // every card in view at once
    section->setWallpapers(wallpapers(20));
    QSignalSpy asks(section, &PopularScrollableSection::loadMore);
    window.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return section->grid()->liveCellCount() == 20; }, 5000));
    EXPECT_EQ(asks.count(), 9) << "cards 11 to 19";

    EXPECT_FALSE(section->isLoadingMore());
    const int before = section->sizeHint().height();
    section->setLoadingMore(true);
    EXPECT_TRUE(section->isLoadingMore());
    EXPECT_GT(section->sizeHint().height(), before);
}

// The same wallpapers come back with new counts and from another asset host (the page's memo
// keeps their ids): the cards on screen show the new records, not the ones they were made with.
TEST(ListSections, CardsOnScreenTakeTheNewRecordOfTheirWallpaper)
{
    BrowseContext context;
    using Setter = std::function<void(const QList<WallpaperModel>&)>;
    // Each section and how its owner hands it a list.
    const std::function<QWidget*(Setter&)> makers[] = {
        [&](Setter& set) -> QWidget* {
            auto* section = new PopularScrollableSection(QStringLiteral("Most Popular"), {}, 3, 20, 24, &context);
            set = [section](const QList<WallpaperModel>& list) { section->setWallpapers(list); };
            return section;
        },
        [&](Setter& set) -> QWidget* {
            auto* section = new HomeGridSection(QStringLiteral("New"), {}, false, {2, 3, 20, 24}, &context);
            set = [section](const QList<WallpaperModel>& list) { section->setWallpapers(list); };
            return section;
        },
    };
    const auto onHost = [](QList<WallpaperModel> list, const QString& host, int likes) {
        for (WallpaperModel& model : list) {
            model.posterUrl = QUrl(QStringLiteral("https://%1/wallpaper/%2/poster.webp").arg(host).arg(*model.key));
            model.likes = likes;
        }
        return list;
    };
    for (const auto& make : makers) {
        const QList<WallpaperModel> first = onHost(wallpapers(6), QStringLiteral("old.example"), 3);
        Setter set;
        QScrollArea window;
        window.setWidgetResizable(true);
        window.setWidget(make(set));
        window.resize(1200, 2000);
        set(first);
        window.show();
        auto cards = [&] { return window.widget()->findChildren<PosterCardView*>(); };
        ASSERT_TRUE(QTest::qWaitFor([&] { return cards().size() == 6; }, 5000));
        const QList<PosterCardView*> before = cards();

        set(onHost(first, QStringLiteral("new.example"), 41));
        EXPECT_EQ(cards(), before) << "the cards stay";
        for (const PosterCardView* card : cards()) {
            EXPECT_EQ(card->wallpaper().likes, 41);
            EXPECT_EQ(card->wallpaper().posterUrl->host(), QStringLiteral("new.example"));
        }
    }
}

TEST(HomeGrid, ShowsTheFirstRowsTimesColumnsWallpapers)
{
    BrowseContext context;
    const struct {
        int rows;
        int count;
        int shown;
    } cases[] = {{2, 10, 6}, {2, 4, 4}, {0, 10, 0}};
    for (const auto& c : cases) {
        HomeGridSection grid(QStringLiteral("New"), {}, false, {c.rows, 3, 20, 24}, &context);
        grid.setWallpapers(wallpapers(c.count));
        EXPECT_EQ(grid.shownWallpapers().size(), c.shown) << c.rows << " rows of " << c.count;
        EXPECT_EQ(grid.grid()->keys().size(), c.shown);
    }
}

TEST(Categories, NineCardsAtMostCoversOnlyWithKeyAndHostAndOneLogLinePerShowing)
{
    AppStore store;
    QList<CategoryItem> categories;
    for (int i = 1; i <= 12; ++i)
        categories.append(CategoryItem{QStringLiteral("Category %1").arg(i), i, i == 3 ? std::nullopt : std::optional<qint64>(40 + i)});
    CategoriesSection section(store, 20);
    section.setCategories(categories);
    EXPECT_EQ(section.grid()->keys().size(), 9);

    const QString host = QStringLiteral("assets.example");
    EXPECT_EQ(CategoriesSection::posterUrl(categories[1], host), QUrl(QStringLiteral("https://assets.example/wallpaper/42/poster.webp")));
    EXPECT_FALSE(CategoriesSection::posterUrl(categories[2], host)) << "no cover key";
    EXPECT_FALSE(CategoriesSection::posterUrl(categories[1], std::nullopt)) << "no host yet";

    LogCapture log;
    section.show();
    section.hide();
    section.show();
    EXPECT_EQ(log.lines().count(QStringLiteral("✅ [CategoriesSection] Loaded 12 categories with wallpaper_key from get-categories endpoint")), 2);
}

TEST(LoadingScreen, TheBarHeadsForWhatHasArrived)
{
    using Parts = LoadingScreenView::Parts;
    const struct {
        Parts parts;
        double target;
    } cases[] = {
        {{}, 0.0},
        {{false, false, true}, 0.3},
        {{false, false, true, true}, 0.6},
        {{false, false, true, true, true}, 0.8},
        {{false, false, true, true, true, true}, 1.0},
        {{false, true, true, true, true, true}, 0.0}, // a failed connection empties it
        {{true, true, false, false, false, false}, 1.0}, // the ready moment fills it anyway
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(LoadingScreenView::targetProgress(c.parts), c.target);
}

TEST(LoadingScreen, TheBarIsFullTheMomentItsMessageSaysReady)
{
    // A part that arrives is animated to; the end is shown at once, whatever was drawn before.
    const struct {
        const char* name;
        double before;
        double target;
        double drawnAtOnce;
    } cases[] = {
        {"a part arrives", 0.3, 0.6, 0.3},
        {"ready from part way", 0.3, 1.0, 1.0},
        {"ready from nothing", 0.0, 1.0, 1.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ProgressBarView bar;
        bar.resize(200, 4);
        bar.setProgress(c.before);
        bar.show();
        ASSERT_TRUE(QTest::qWaitFor([&] { return bar.animatedProgress() == c.before; }, 5000));
        bar.setProgress(c.target);
        EXPECT_DOUBLE_EQ(bar.animatedProgress(), c.drawnAtOnce);
    }
}

} // namespace
