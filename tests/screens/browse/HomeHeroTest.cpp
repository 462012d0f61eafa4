#include "engine/VideoCacheService.h"
#include "foundation/Config.h"
#include "foundation/Shared.h"
#include "screens/browse/HeroSlideView.h"
#include "screens/browse/HeroThumbnailRow.h"
#include "screens/browse/HomeHeroCarousel.h"
#include "support/Eventually.h"
#include "support/FileBytes.h"
#include "support/ImageCompare.h"
#include "support/TestHttpsServer.h"
#include "support/TestPaths.h"
#include "ui/BrowseContext.h"
#include "ui/LabelButton.h"
#include "ui/Pointer.h"
#include "ui/VideoPlayerPool.h"

#include <QBackingStore>
#include <QCursor>
#include <QLinearGradient>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTest>

#include <gtest/gtest.h>
#include <httplib.h>

namespace {

constexpr int kFrameMs = 15'000;

// Slides whose preview is the small test loop on disk (no key: nothing is copied to the cache).
QList<WallpaperModel> slides(int count)
{
    QList<WallpaperModel> list;
    for (int i = 0; i < count; ++i) {
        WallpaperModel model;
        model.id = QUuid::createUuid();
        model.title = QStringLiteral("Slide %1").arg(i);
        model.category = QStringLiteral("Nature");
        model.previewhdUrl = QUrl::fromLocalFile(TestPaths::dataFile(QStringLiteral("loop-320x180.mp4")));
        list.append(model);
    }
    return list;
}

class HomeHeroTest : public ::testing::Test {
protected:
    HomeHeroCarousel& carousel(int count, int intervalMs = 60'000)
    {
        hero_ = std::make_unique<HomeHeroCarousel>(&context_, VideoCacheService::shared(), players_, intervalMs);
        hero_->setWallpapers(slides(count));
        hero_->resize(640, 400);
        hero_->show();
        return *hero_;
    }
    int players() const
    {
        int count = 0;
        for (int i = 0; i < hero_->count(); ++i)
            count += hero_->slide(i)->hasPlayer() ? 1 : 0;
        return count;
    }

    BrowseContext context_;
    VideoPlayerPool players_{4};
    std::unique_ptr<HomeHeroCarousel> hero_;
};

TEST_F(HomeHeroTest, OnlyTheCurrentAndTheNextSlideHoldPlayers)
{
    const struct {
        int count;
        int current;
        QList<int> loaded;
    } cases[] = {{1, 0, {0}}, {2, 1, {0, 1}}, {5, 0, {0, 1}}, {5, 4, {4, 0}}, {5, 2, {2, 3}}};
    for (const auto& c : cases) {
        HomeHeroCarousel& hero = carousel(c.count);
        hero.setCurrentIndex(c.current);
        for (int i = 0; i < c.count; ++i)
            EXPECT_EQ(hero.shouldLoadVideo(i), c.loaded.contains(i)) << c.count << " slides, current " << c.current << ", slide " << i;
        ASSERT_EVENTUALLY(hero.slide(c.current)->isPlaying(), kFrameMs);
        EXPECT_LE(players(), 2);
        EXPECT_EQ(players_.leaseCount(), players());
    }
}

TEST_F(HomeHeroTest, ASlideThatComesBackShowsItsPosterUntilItsNewPlayerHasAFrame)
{
    HomeHeroCarousel& hero = carousel(4);
    HeroSlideView* first = hero.slide(0);
    ASSERT_EVENTUALLY(first->isVideoReady(), kFrameMs);
    // The next slide holds its first frame without running.
    ASSERT_EVENTUALLY(hero.slide(1)->isVideoReady(), kFrameMs);
    EXPECT_FALSE(hero.slide(1)->isPlaying());

    hero.setCurrentIndex(2);
    ASSERT_EVENTUALLY(!hero.isTurning(), kFrameMs);
    EXPECT_FALSE(first->hasPlayer());
    EXPECT_FALSE(first->isVideoReady());
    hero.setCurrentIndex(0);
    ASSERT_EVENTUALLY(!hero.isTurning(), kFrameMs);
    EXPECT_FALSE(first->isVideoReady()) << "the poster stays until the new player's first frame";
    ASSERT_EVENTUALLY(first->isVideoReady() && first->isPlaying(), kFrameMs);
}

// A page that leaves the screen (another tab chosen) gives up its players, threads and frames;
// back on the screen, the current and the next slide play again.
TEST_F(HomeHeroTest, APageOffTheScreenHoldsNoPlayer)
{
    QStackedWidget pages;
    auto* hero = new HomeHeroCarousel(&context_, VideoCacheService::shared(), players_, 60'000);
    hero->setWallpapers(slides(3));
    pages.addWidget(hero);
    auto* other = new QWidget;
    pages.addWidget(other);
    pages.resize(640, 400);
    pages.show();
    const auto held = [&] {
        int count = 0;
        for (int i = 0; i < hero->count(); ++i)
            count += hero->slide(i)->hasPlayer() ? 1 : 0;
        return count;
    };
    ASSERT_EVENTUALLY(hero->slide(0)->isPlaying() && hero->slide(1)->isVideoReady(), kFrameMs);
    EXPECT_EQ(held(), 2);

    pages.setCurrentWidget(other);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(held(), 0);
    EXPECT_EQ(players_.leaseCount(), 0);

    pages.setCurrentWidget(hero);
    ASSERT_EVENTUALLY(hero->slide(0)->isPlaying() && hero->slide(1)->isVideoReady(), kFrameMs);
    EXPECT_EQ(held(), 2);
}

// A turn moves pictures: each slide the strip passes is frozen when the turn starts, no player
// runs or starts and no live frame is copied until the strip lands; then the slide landed on
// plays and the one after it gets its player. A pick during a turn lands where it points.
TEST_F(HomeHeroTest, ATurnMovesFrozenSlidesAndPlaysTheIncomingOneOnLanding)
{
    const struct {
        const char* name;
        QList<int> picks; // the second one while the strip still moves towards the first
        QList<int> frozen;
    } cases[] = {
        {"one step", {1}, {0, 1}},
        {"a pick during the turn", {1, 3}, {0, 1, 2, 3}},
        {"back past the start", {2, 0}, {0, 1, 2}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HomeHeroCarousel& hero = carousel(4);
        ASSERT_EVENTUALLY(hero.slide(0)->isPlaying() && hero.slide(1)->isVideoReady(), kFrameMs);
        const auto held = [&] {
            QList<bool> players;
            for (int i = 0; i < hero.count(); ++i)
                players.append(hero.slide(i)->hasPlayer());
            return players;
        };
        const auto framesPainted = [&] {
            int frames = 0;
            for (int i = 0; i < hero.count(); ++i)
                frames += hero.slide(i)->framesPainted();
            return frames;
        };
        const QList<bool> before = held();
        const int leases = players_.leaseCount();
        int steps = 0;
        const auto moving = [&] {
            if (!hero.isTurning())
                return false;
            ++steps;
            for (int i = 0; i < hero.count(); ++i) {
                EXPECT_FALSE(hero.slide(i)->isPlaying()) << "slide " << i << " runs during the turn";
                hero.slide(i)->repaint();
            }
            EXPECT_EQ(held(), before) << "a player came or went during the turn";
            EXPECT_EQ(players_.leaseCount(), leases);
            return true;
        };

        hero.setCurrentIndex(c.picks.first());
        const int frames = framesPainted();
        ASSERT_TRUE(hero.isTurning());
        if (c.picks.size() > 1) {
            ASSERT_EVENTUALLY(!moving() || std::abs(hero.position()) >= 0.3, kFrameMs);
            ASSERT_TRUE(hero.isTurning());
            hero.setCurrentIndex(c.picks.last());
        }
        for (int i = 0; i < hero.count(); ++i)
            EXPECT_EQ(hero.slide(i)->isFrozen(), c.frozen.contains(i)) << "slide " << i;
        ASSERT_EVENTUALLY(!moving(), kFrameMs);
        EXPECT_GT(steps, 2) << "the move took frames to paint";
        EXPECT_EQ(framesPainted(), frames) << "a frozen slide copies no live frame";

        const int landed = c.picks.last();
        EXPECT_DOUBLE_EQ(hero.position(), landed);
        for (int i = 0; i < hero.count(); ++i) {
            EXPECT_FALSE(hero.slide(i)->isFrozen()) << "slide " << i;
            EXPECT_EQ(hero.slide(i)->hasPlayer(), hero.shouldLoadVideo(i)) << "slide " << i;
        }
        ASSERT_EVENTUALLY(hero.slide(landed)->isPlaying(), kFrameMs);
        ASSERT_EVENTUALLY(hero.slide(landed)->framesPainted() > 0, kFrameMs) << "the landed slide shows live frames";
    }
}

// A slide frozen for a turn looks as it did at rest, text and shade included.
TEST_F(HomeHeroTest, AFrozenSlideLooksAsItDidAtRest)
{
    HomeHeroCarousel& hero = carousel(2);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&hero));
    HeroSlideView* slide = hero.slide(1);
    ASSERT_EVENTUALLY(slide->isVideoReady() && !slide->isPlaying(), kFrameMs);
    slide->move(0, 0);
    const QImage atRest = slide->grab().toImage();
    slide->setFrozen(true);
    EXPECT_EQ(slide->grab().toImage(), atRest);
    slide->setFrozen(false);
}

// Clear Cache empties the preview cache under a slide that plays its stored copy: the slide's
// next player (back from another tab, say) must not open the missing file, and the copy comes back.
TEST_F(HomeHeroTest, ASlideWhoseStoredPreviewWasClearedPlaysAgainAndStoresItAgain)
{
    Config config;
    config.caCertificateFile = TestHttpsServer::certificateFile();
    Shared<Config>::Override configGuard(config);
    TestHttpsServer server;
    const QByteArray video = readFile(TestPaths::dataFile(QStringLiteral("loop-320x180.mp4")));
    server.routes().Get("/wallpaper/4104/previewhd.mp4", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content(video.constData(), size_t(video.size()), "video/mp4");
    });
    server.start();
    QList<WallpaperModel> list = slides(3);
    list[0].key = 4104;
    list[0].previewhdUrl = server.url(QStringLiteral("/wallpaper/4104/previewhd.mp4"));
    hero_ = std::make_unique<HomeHeroCarousel>(&context_, VideoCacheService::shared(), players_, 60'000);
    hero_->setWallpapers(list);
    hero_->resize(640, 400);
    hero_->show();
    VideoCacheService& cache = VideoCacheService::shared();
    const auto stored = [&] { return cache.cachedPreviewVideoUrl(*list[0].previewhdUrl, list[0].key).has_value(); };
    ASSERT_EVENTUALLY(stored(), kFrameMs);
    // Shown again, the slide plays its copy.
    for (int index : {2, 0}) {
        hero_->setCurrentIndex(index);
        ASSERT_EVENTUALLY(!hero_->isTurning(), kFrameMs);
    }
    HeroSlideView* slide = hero_->slide(0);
    ASSERT_EVENTUALLY(slide->isPlaying() && slide->isVideoReady(), kFrameMs);
    ASSERT_TRUE(slide->videoUrl().isLocalFile());

    cache.clearCache();
    hero_->hide();
    QCoreApplication::sendPostedEvents();
    ASSERT_FALSE(slide->hasPlayer());
    hero_->show();
    ASSERT_EVENTUALLY(slide->isPlaying() && slide->isVideoReady(), kFrameMs) << slide->videoUrl().toString().toStdString();
    ASSERT_EVENTUALLY(stored(), kFrameMs) << "the copy is fetched again";
    hero_.reset();
}

TEST_F(HomeHeroTest, ItAdvancesByItselfOnlyWhileShownAndWrapsAround)
{
    HomeHeroCarousel& hero = carousel(3, 150);
    QSignalSpy changes(&hero, &HomeHeroCarousel::currentIndexChanged);
    ASSERT_EVENTUALLY(changes.count() >= 3, 5000);
    EXPECT_EQ(changes.at(0).at(0).toInt(), 1);
    EXPECT_EQ(changes.at(2).at(0).toInt(), 0) << "after the last slide the first";

    hero.hide();
    EXPECT_FALSE(hero.isAutoSliding());
    hero.show();
    EXPECT_TRUE(hero.isAutoSliding());

    // A single slide: each tick names the same slide, which changes nothing.
    HomeHeroCarousel& single = carousel(1, 100);
    QSignalSpy none(&single, &HomeHeroCarousel::currentIndexChanged);
    QTest::qWait(350);
    EXPECT_EQ(none.count(), 0);
}

TEST_F(HomeHeroTest, PickingASlideStartsTheIntervalAnew)
{
    HomeHeroCarousel& hero = carousel(3, 5000);
    // Part of the interval has gone by...
    ASSERT_EVENTUALLY(hero.msToNextSlide() >= 0 && hero.msToNextSlide() < 4700, 10'000);
    // ...and a slide the user picks stays the whole interval.
    hero.setCurrentIndex((hero.currentIndex() + 2) % hero.count());
    EXPECT_GT(hero.msToNextSlide(), 4700);
}

TEST_F(HomeHeroTest, ViewWallpaperOpensTheSlidesWallpaper)
{
    HomeHeroCarousel& hero = carousel(2);
    QTest::mouseClick(hero.slide(0)->viewButton(), Qt::LeftButton, {}, hero.slide(0)->viewButton()->rect().center());
    ASSERT_TRUE(context_.selectedWallpaper().has_value());
    EXPECT_EQ(context_.selectedWallpaper()->title, u"Slide 0");
}

// Every video frame repaints the slide; its shade and text are painted again only when they change.
TEST_F(HomeHeroTest, VideoFramesRepaintThePictureAndKeepTheTextAndShade)
{
    HomeHeroCarousel& hero = carousel(1);
    HeroSlideView* slide = hero.slide(0);
    ASSERT_EVENTUALLY(slide->isVideoReady() && slide->isPlaying(), kFrameMs);
    slide->repaint();
    const int rendered = slide->text().renderCount();
    for (int frame = 0; frame < 3; ++frame)
        slide->repaint();
    EXPECT_EQ(slide->text().renderCount(), rendered);

    WallpaperModel renamed = slide->wallpaper();
    renamed.title = QStringLiteral("Renamed");
    slide->setWallpaper(renamed);
    slide->repaint();
    EXPECT_EQ(slide->text().renderCount(), rendered + 1) << "a new title is painted, never the old one kept";
}

// At rest a playing slide's frames go to the screen by themselves: what lies over the carousel
// (the thumbnail row, the cards) is painted for none of them. A page pulled past its top
// repaints its slides, frames and all.
TEST_F(HomeHeroTest, FramesAtRestDoNotRepaintWhatLiesOverTheCarousel)
{
    class Counted : public QWidget {
    public:
        using QWidget::QWidget;
        void paintEvent(QPaintEvent*) override
        {
            ++paints;
            QPainter(this).fillRect(rect(), QColor(255, 255, 255, 60));
        }
        int paints = 0;
    };
    QWidget window;
    window.resize(640, 400);
    HomeHeroCarousel hero(&context_, VideoCacheService::shared(), players_, 60'000, &window);
    hero.setWallpapers(slides(1));
    hero.resize(window.size());
    auto* above = new Counted(&window);
    above->setGeometry(0, 300, 640, 80);
    window.show();
    HeroSlideView* slide = hero.slide(0);
    ASSERT_EVENTUALLY(slide->isPlaying() && slide->framesPresented() > 0, kFrameMs);
    // The slide's own settling after its first frame (late under load: its button row, its
    // cover) may repaint that part once or twice; its frames never do.
    constexpr int kFrames = 8;
    const int paints = above->paints;
    const int presented = slide->framesPresented();
    ASSERT_EVENTUALLY(slide->framesPresented() >= presented + kFrames, kFrameMs * 3);
    EXPECT_LT(above->paints - paints, 3) << "painted along with the frames";

    hero.setPull(40);
    const int pulledAt = slide->framesPresented();
    const int painted = slide->framesPainted();
    ASSERT_EVENTUALLY(slide->framesPainted() >= painted + 3, kFrameMs);
    EXPECT_EQ(slide->framesPresented(), pulledAt);
    EXPECT_GT(above->paints, paints);
}

// A playing slide's frames go to the screen under what lies over it as Qt last painted that: the
// hover look of its "View Wallpaper" button shows over the next frames, and goes with them once
// the pointer leaves. The test loop is one flat colour, so each frame looks as the last and what
// the screen shows can be held against a repaint of the window.
TEST_F(HomeHeroTest, AHoverOverAPlayingSlideShowsOverItsNextFrames)
{
    QWidget window;
    window.resize(640, 400);
    HomeHeroCarousel hero(&context_, VideoCacheService::shared(), players_, 60'000, &window);
    hero.setWallpapers(slides(1));
    hero.resize(window.size());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    HeroSlideView* slide = hero.slide(0);
    ASSERT_EVENTUALLY(slide->isPlaying() && slide->framesPresented() > 0, kFrameMs);
    ASSERT_EQ(window.devicePixelRatio(), 1.0);
    LabelButton* button = slide->viewButton();
    const QRect area(button->mapTo(&window, QPoint()), button->size());
    for (const bool hovered : {true, false, true}) {
        SCOPED_TRACE(hovered ? "hovered" : "left");
        hoverOver(*button, hovered);
        const int from = slide->framesPresented();
        ASSERT_EVENTUALLY(slide->framesPresented() >= from + 3, kFrameMs);
        const QImage shown = static_cast<QImage*>(window.backingStore()->paintDevice())->copy(area).convertToFormat(QImage::Format_RGB32);
        const QImage painted = window.grab(area).toImage().convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(shown.size(), painted.size());
        // Blending the cover and the button together first rounds a step or two apart at most;
        // a look left from before differs by a fifth of the button's white.
        EXPECT_LE(largestDifference(shown, painted), 3);
    }
}

// A slide that moves across the carousel and fades is repainted with what it kept: its text
// is laid out and rasterised once, however many frames the move takes.
TEST_F(HomeHeroTest, ASlideMoveOrFadeDoesNotPaintTheTextAgain)
{
    HomeHeroCarousel& hero = carousel(3);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&hero));
    for (int i = 0; i < hero.count(); ++i)
        hero.slide(i)->repaint();
    ASSERT_EQ(hero.slide(0)->text().renderCount(), 1);
    ASSERT_EQ(hero.slide(1)->text().renderCount(), 0) << "out of view, not painted";

    hero.setCurrentIndex(1);
    int frames = 0;
    ASSERT_EVENTUALLY((++frames, hero.slide(0)->repaint(), hero.slide(1)->repaint(), hero.position() == 1.0), kFrameMs);
    EXPECT_GT(frames, 2) << "the move took frames to paint";
    EXPECT_EQ(hero.slide(0)->text().renderCount(), 1);
    EXPECT_EQ(hero.slide(1)->text().renderCount(), 1) << "painted as it came into view, then kept";
}

// A slide moved across the carousel looks exactly as one laid there from the start: what it
// kept from its last place (the text) is blitted where it now lies, and the carousel's shade
// stays put beneath it.
TEST_F(HomeHeroTest, AMovedSlidePaintsWhatAFreshSlideThereWould)
{
    QWidget strip;
    strip.resize(640, 400);
    // Any shade whose pixels differ along the strip shows where it was laid.
    QImage shade(strip.size(), QImage::Format_ARGB32_Premultiplied);
    QPainter shadePainter(&shade);
    QLinearGradient gradient(0, 0, shade.width(), shade.height());
    gradient.setColorAt(0, QColor(0, 0, 0, 0));
    gradient.setColorAt(1, QColor(40, 0, 80, 200));
    shadePainter.fillRect(shade.rect(), gradient);
    shadePainter.end();
    const WallpaperModel wallpaper = slides(1).first();
    auto slideAt = [&](int x) {
        auto* made = new HeroSlideView(wallpaper, &context_, VideoCacheService::shared(), players_, &strip);
        made->setShade(&shade);
        made->setGeometry(x, 0, strip.width(), strip.height());
        made->show();
        return made;
    };
    strip.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&strip));

    const struct {
        const char* name;
        int from;
        int to;
    } cases[] = {
        {"coming in from the right", 400, 120},
        {"leaving to the left", 0, -250},
        {"at rest after a move", -250, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HeroSlideView* moved = slideAt(c.from);
        const QImage before = moved->grab().toImage();
        const int rendered = moved->text().renderCount();
        moved->move(c.to, 0);
        const QImage after = moved->grab().toImage();
        EXPECT_EQ(moved->text().renderCount(), rendered) << "a move blits what was kept";
        HeroSlideView* fresh = slideAt(c.to);
        EXPECT_EQ(after, fresh->grab().toImage());
        EXPECT_NE(after, before) << "the shade lies where the carousel is, not where the slide is";
        delete moved;
        delete fresh;
    }
}

TEST(HeroThumbnails, AClickPicksAndTheRingsFollowHoverAndSelection)
{
    HeroThumbnailRow row;
    row.setWallpapers(slides(4));
    row.resize(1000, HeroThumbnailRow::kHeight);
    row.show();
    QSignalSpy picks(&row, &HeroThumbnailRow::picked);
    QTest::mouseClick(&row, Qt::LeftButton, {}, row.thumbnailRect(2).center());
    ASSERT_EQ(picks.count(), 1);
    EXPECT_EQ(picks.at(0).at(0).toInt(), 2);
    QTest::mouseClick(&row, Qt::LeftButton, {}, QPoint(10, 10)); // between thumbnails
    EXPECT_EQ(picks.count(), 1);

    row.setSelectedIndex(2);
    QTest::mouseMove(&row, row.thumbnailRect(1).center());
    EXPECT_EQ(row.hoveredIndex(), 1);
    EXPECT_DOUBLE_EQ(row.thumbnailOpacity(1), 1.0);
    EXPECT_DOUBLE_EQ(row.thumbnailOpacity(2), 0.6);
    QTest::mouseMove(&row, row.thumbnailRect(2).center());
    EXPECT_DOUBLE_EQ(row.thumbnailOpacity(2), 0.6) << "the selected one keeps 0.6 under the pointer";

    HeroThumbnailRow empty;
    EXPECT_FALSE(empty.indexAt(QPoint(60, 50)).has_value());
}

TEST(HeroThumbnails, AScrollUnderARestingPointerMovesTheHoverWithTheContent)
{
    // The row inside a scrolled page, as on the home page; the pointer never moves.
    QScrollArea page;
    auto* content = new QWidget;
    content->setFixedSize(1000, 1200);
    auto* row = new HeroThumbnailRow(content);
    row->setWallpapers(slides(4));
    row->setGeometry(0, 300, 1000, HeroThumbnailRow::kHeight);
    page.setWidget(content);
    page.resize(1020, 600);
    page.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&page));
    QTest::mouseMove(row, row->thumbnailRect(1).center());
    ASSERT_EQ(row->hoveredIndex(), 1);
    QCursor::setPos(row->mapToGlobal(row->thumbnailRect(1).center()));

    struct Case {
        const char* name;
        int scroll;
        std::optional<int> hovered;
    };
    for (const Case& c : {Case{"scrolled a little: still over it", 20, 1}, Case{"scrolled past the row", 250, std::nullopt},
             Case{"scrolled back", 0, 1}}) {
        SCOPED_TRACE(c.name);
        page.verticalScrollBar()->setValue(c.scroll);
        EXPECT_EQ(row->hoveredIndex(), c.hovered);
    }
}

} // namespace
