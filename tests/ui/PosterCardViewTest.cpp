#include "Backdrop.h"
#include "Pointer.h"
#include "engine/CheckedVideoFile.h"
#include "engine/VideoCacheService.h"
#include "engine/WallpaperDownloadService.h"
#include "engine/WallpaperImageCache.h"
#include "foundation/Log.h"
#include "foundation/Paths.h"
#include "library/LikedListFixture.h"
#include "platform/VideoTestClips.h"
#include "ui/BrowseContext.h"
#include "ui/CachedAsyncImage.h"
#include "ui/LikeButton.h"
#include "ui/PosterCardView.h"
#include "ui/VideoPlayerPool.h"

#include <QCursor>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

namespace {

using namespace VideoTestClips;
constexpr int kWaitMs = 15'000;

// A poster in the image cache's memory: a diagonal of two colours, so aspect fill shows.
QImage posterPicture()
{
    QImage image(640, 360, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient fill(0, 0, 640, 360);
    fill.setColorAt(0, QColor(230, 120, 40));
    fill.setColorAt(1, QColor(40, 90, 170));
    painter.fillRect(image.rect(), fill);
    return image;
}

template <typename Change>
PosterCardView::Options options(Change change)
{
    PosterCardView::Options made;
    change(made);
    return made;
}

// Counts the paints a widget gets while alive.
class PaintCounter : public QObject {
public:
    PaintCounter(QWidget& widget, int& paints) : widget_(widget), paints_(paints) { widget_.installEventFilter(this); }
    ~PaintCounter() override { widget_.removeEventFilter(this); }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        paints_ += event->type() == QEvent::Paint;
        return false;
    }

private:
    QWidget& widget_;
    int& paints_;
};

class PosterCardViewTest : public LikedListFixture {
protected:
    PosterCardViewTest() : images_(QDir(Paths::appCaches()).filePath(QStringLiteral("images"))) {}

    WallpaperModel record(std::optional<qint64> key, const QString& title = QStringLiteral("Lagoon"))
    {
        WallpaperModel model = wallpaper(key, title);
        model.posterUrl = QUrl(QStringLiteral("https://assets.test/wallpaper/%1/poster.webp").arg(key.value_or(0)));
        images_.store(posterPicture(), *model.posterUrl);
        model.videoUrl = loop();
        return model;
    }

    PosterCardView* card(const WallpaperModel& wallpaper, const PosterCardView::Options& options = {})
    {
        const PosterCardView::Services services{liked(), videoCache_, downloads_, nullptr, players_, images_, clock_};
        auto* made = new PosterCardView(wallpaper, options, &context_, services, &window_);
        made->resize(320, made->heightForWidth(320));
        made->move(0, int(window_.findChildren<PosterCardView*>().size() - 1) * 200);
        made->show();
        return made;
    }

    // The backend counted the heart's like and the client has its answer, so nothing is in flight.
    bool waitLikeCounted()
    {
        return QTest::qWaitFor(
            [&] { return counted().size() == 1 && log_.contains(QStringLiteral("Successfully incremented likes counter")); }, 10'000);
    }

    static void click(QWidget& widget, QPoint at = {}) { QTest::mouseClick(&widget, Qt::LeftButton, {}, at.isNull() ? widget.rect().center() : at); }
    static bool waitShown(PosterCardView& card) { return QTest::qWaitFor([&] { return card.isPreviewShown(); }, kWaitMs); }

    void SetUp() override
    {
        QCursor::setPos(5000, 5000); // the pointer is where each test puts it
        window_.resize(400, 900);
        window_.show();
    }

    LogCapture log_;
    WallpaperImageCache images_;
    VideoCacheService videoCache_;
    WallpaperDownloadService downloads_;
    VideoPlayerPool players_{4};
    BrowseContext context_;
    ManualClock clock_{QDateTime::currentDateTimeUtc()};
    QWidget window_;
};

TEST_F(PosterCardViewTest, ClickingOpensTheWallpaperUnlessTheContainerTakesClicks)
{
    PosterCardView* first = card(record(1, QStringLiteral("First")));
    PosterCardView* second = card(record(2, QStringLiteral("Second")));
    PosterCardView* suppressed = card(record(3, QStringLiteral("Third")), options([](auto& o) { o.suppressCardTap = true; }));
    const auto openTitle = [&] { return context_.selectedWallpaper().value_or(WallpaperModel{}).title; };

    click(*first);
    EXPECT_EQ(openTitle(), QStringLiteral("First"));
    click(*suppressed);
    EXPECT_EQ(openTitle(), QStringLiteral("First"));
    click(*second);
    ASSERT_TRUE(QTest::qWaitFor([&] { return openTitle() == QStringLiteral("Second"); }, 5000));

    // The heart is not the card: liking does not open anything.
    hoverOver(*first, true);
    click(*first->likeButton());
    EXPECT_TRUE(liked().likedWallpapers().contains(1));
    ASSERT_TRUE(waitLikeCounted());
    EXPECT_EQ(openTitle(), QStringLiteral("Second"));
}

TEST_F(PosterCardViewTest, HoverShowsThePreviewAndTheHeartLeavingPausesIt)
{
    PosterCardView* shown = card(record(5));
    EXPECT_FALSE(shown->likeButton()->isVisible());
    hoverOver(*shown, true);
    EXPECT_TRUE(shown->likeButton()->isVisible());
    ASSERT_TRUE(waitShown(*shown));
    EXPECT_TRUE(shown->isPreviewPlaying());
    EXPECT_EQ(shown->previewSource(), loop());
    hoverOver(*shown, false);
    EXPECT_FALSE(shown->isPreviewPlaying());
    EXPECT_TRUE(shown->isPreviewShown()) << "the paused video stays over the poster";
    EXPECT_FALSE(shown->likeButton()->isVisible());
    hoverOver(*shown, true);
    EXPECT_TRUE(shown->isPreviewPlaying());
}

TEST_F(PosterCardViewTest, ACachedPreviewPlaysFromDisk)
{
    WallpaperModel wallpaper = record(7);
    wallpaper.videoUrl = QUrl(QStringLiteral("https://127.0.0.1:1/wallpaper/7/preview.mp4"));
    const QString cached = QDir(VideoCacheService::previewFolder()).filePath(QStringLiteral("7.mp4"));
    // Stored as the cache stores it: with its size recorded.
    ASSERT_TRUE(QFile::copy(loop().toLocalFile(), cached + QStringLiteral(".part")));
    CheckedVideoFile::store(cached + QStringLiteral(".part"), cached, DownloadDurability::Cache);
    PosterCardView* shown = card(wallpaper);
    hoverOver(*shown, true);
    EXPECT_EQ(shown->previewSource(), QUrl::fromLocalFile(cached));
    ASSERT_TRUE(waitShown(*shown));
}

TEST_F(PosterCardViewTest, PreviewsThatCannotPlayLeaveThePoster)
{
    WallpaperModel noPreview = record(20);
    noPreview.videoUrl.reset();
    WallpaperModel noPoster = record(21);
    noPoster.posterUrl.reset();
    noPoster.videoUrl = missing();
    WallpaperModel keyless = record(std::nullopt);
    keyless.videoUrl = notAVideo();
    const QList<PosterCardView*> cards{card(noPreview), card(noPoster), card(keyless)};
    for (PosterCardView* shown : cards)
        hoverOver(*shown, true);
    QTest::qWait(500);
    for (PosterCardView* shown : cards)
        EXPECT_FALSE(shown->isPreviewShown()) << shown->wallpaper().key.value_or(-1);
    EXPECT_TRUE(cards[0]->previewSource().isEmpty());
    // The next hover tries again.
    hoverOver(*cards[2], false);
    hoverOver(*cards[2], true);
    EXPECT_EQ(cards[2]->previewSource(), notAVideo());
}

TEST_F(PosterCardViewTest, ACardGoneWhileItsPreviewIsCopiedLeavesOnlyTheLogLine)
{
    LogCapture log;
    WallpaperModel wallpaper = record(30);
    wallpaper.videoUrl = QUrl(QStringLiteral("https://127.0.0.1:1/wallpaper/30/preview.mp4"));
    PosterCardView* shown = card(wallpaper);
    hoverOver(*shown, true);
    delete shown;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return log.contains(QStringLiteral("⚠️ [PosterCardComponent] Failed to cache preview video: ")); }, kWaitMs));
}

TEST_F(PosterCardViewTest, TheCountFollowsTheLikedStateWhereverItChanges)
{
    WallpaperModel wallpaper = record(40);
    wallpaper.likes = 3;
    wallpaper.downloads = 16;
    PosterCardView* shown = card(wallpaper);
    hoverOver(*shown, true);
    EXPECT_EQ(shown->likeCountText(), std::nullopt);

    const struct {
        const char* step;
        std::function<void()> act;
        int delta;
        std::optional<QString> count;
    } steps[] = {
        {"heart pressed", [&] { click(*shown->likeButton()); }, 1, QStringLiteral("20")},
        {"unliked elsewhere", [&] { liked().removeWallpaper(40); }, 0, std::nullopt},
        {"liked elsewhere", [&] { liked().addWallpaper(wallpaper, true); }, 1, QStringLiteral("20")},
        {"record refreshed with the like", [&] { wallpaper.likes = 4; shown->setWallpaper(wallpaper); }, 0, QStringLiteral("20")},
        {"heart pressed again", [&] { click(*shown->likeButton()); }, -1, std::nullopt},
    };
    for (const auto& step : steps) {
        step.act();
        EXPECT_EQ(shown->optimisticLikeDelta(), step.delta) << step.step;
        EXPECT_EQ(shown->likeCountText(), step.count) << step.step;
    }
    EXPECT_FALSE(shown->likeButton()->isLiked());
    // Only the heart's like reaches the backend's counter.
    ASSERT_TRUE(waitLikeCounted());
}

// A card made while a long stored list is read shows the heart empty until the list arrives; the
// stored like then is the record's own, not a tap of the card's, so it is not counted twice. A
// tap meanwhile likes: it moves the count only where the list did not hold the like already.
TEST_F(PosterCardViewTest, ACardMadeWhileTheListIsReadCountsTheStoredLikeOnce)
{
    WallpaperModel wallpaper = record(42);
    wallpaper.likes = 57;
    const struct {
        const char* name;
        bool stored;
        bool tapWhileReading;
        int delta;
        QString count;
        bool liked;
    } cases[] = {
        {"list arrives first, then a tap unlikes", true, false, -1, QStringLiteral("56"), false},
        {"a stored like tapped while the list is read", true, true, 0, QStringLiteral("57"), true},
        {"a new like tapped while the list is read", false, true, 1, QStringLiteral("58"), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QJsonArray stored{record(41).toJson()};
        if (c.stored)
            stored.append(wallpaper.toJson());
        store(LikedWallpapersService::kLikedWallpapersKey, stored);
        restart();
        PosterCardView* shown = card(wallpaper);
        ASSERT_TRUE(liked().isLoading());
        if (c.tapWhileReading)
            click(*shown->likeButton());
        ASSERT_TRUE(QTest::qWaitFor([&] { return !liked().isLoading(); }, kWaitMs));
        QCoreApplication::processEvents();
        if (!c.tapWhileReading) {
            EXPECT_TRUE(shown->likeButton()->isLiked());
            EXPECT_EQ(shown->likeCountText(), QStringLiteral("57"));
            click(*shown->likeButton());
        }
        EXPECT_EQ(shown->optimisticLikeDelta(), c.delta);
        EXPECT_EQ(shown->likeCountText(), c.count);
        EXPECT_EQ(liked().likedWallpapers().contains(42), c.liked);
        delete shown;
    }
    ASSERT_TRUE(waitLikeCounted()) << "the new like alone is counted";
}

TEST_F(PosterCardViewTest, AutoplayFollowsAppearanceAndThePauseOfItsContainer)
{
    PosterCardView* shown = card(record(50), options([](auto& o) { o.autoplayPreviewWhenVisible = true; }));
    shown->appeared();
    ASSERT_TRUE(waitShown(*shown));
    hoverOver(*shown, true);
    hoverOver(*shown, false);
    EXPECT_TRUE(shown->isPreviewPlaying()) << "leaving does not pause an autoplay card";

    context_.setCardsShouldPause(true);
    EXPECT_FALSE(shown->isPreviewShown());
    EXPECT_TRUE(shown->previewSource().isEmpty());
    context_.setCardsShouldPause(false);
    ASSERT_TRUE(waitShown(*shown));
    EXPECT_TRUE(shown->isPreviewPlaying());
    shown->disappeared();
    EXPECT_FALSE(shown->isPreviewShown());
}

TEST_F(PosterCardViewTest, AnOwnVideoShowsItsFirstFrameWithoutAPlayerAndPlaysOnHover)
{
    WallpaperModel own = wallpaper(std::nullopt, QStringLiteral("Beach"));
    own.category = QStringLiteral("Custom");
    own.imageUrl = loop();
    // More own videos than the pool keeps players: every one still shows its picture.
    std::vector<PosterCardView*> cards;
    for (int i = 0; i <= players_.capacity(); ++i) {
        cards.push_back(card(own));
        cards.back()->appeared();
    }
    for (PosterCardView* shown : cards)
        ASSERT_TRUE(QTest::qWaitFor([&] { return shown->isStillShown(); }, 10'000));
    EXPECT_EQ(players_.leaseCount(), 0);
    hoverOver(*cards[0], true);
    EXPECT_TRUE(cards[0]->isPreviewPlaying());
    ASSERT_TRUE(waitShown(*cards[0]));
}

// A card whose picture is only a frame of the user's own video says whose video it is without a
// hover: its name is painted over the frame's foot. A catalogue card keeps its poster clear.
TEST_F(PosterCardViewTest, AnOwnVideosCardShowsItsNameWithoutAHover)
{
    WallpaperModel own = wallpaper(std::nullopt, QStringLiteral("Beach"));
    own.category = QStringLiteral("Custom");
    own.imageUrl = loop();
    const struct {
        const char* name;
        WallpaperModel wallpaper;
        bool named;
    } cases[] = {{"own video", own, true}, {"catalogue wallpaper", record(71), false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WallpaperModel renamed = c.wallpaper;
        renamed.title = QStringLiteral("Quite Another Name");
        PosterCardView* first = card(c.wallpaper);
        PosterCardView* second = card(renamed);
        if (c.named) {
            ASSERT_TRUE(QTest::qWaitFor([&] { return first->isStillShown() && second->isStillShown(); }, kWaitMs));
        }
        const QImage one = first->grab().toImage();
        const QImage other = second->grab().toImage();
        ASSERT_EQ(one.size(), other.size());
        const int foot = one.height() - 40;
        EXPECT_EQ(one.copy(0, 0, one.width(), foot), other.copy(0, 0, other.width(), foot)) << "the picture is the same";
        EXPECT_EQ(one.copy(0, foot, one.width(), 40) != other.copy(0, foot, other.width(), 40), c.named);
        delete first;
        delete second;
    }
}

// The badge is read once per record, not per paint: a refreshed record with another date must
// still move it.
TEST_F(PosterCardViewTest, TheNewBadgeFollowsTheRecordsDate)
{
    const QString today = QDate::currentDate().toString(Qt::ISODate);
    const QString monthAgo = QDate::currentDate().addDays(-30).toString(Qt::ISODate);
    const struct {
        const char* name;
        QString first;
        QString refreshed;
    } cases[] = {
        {"made today, then dated a month back", today, monthAgo},
        {"a month old, then dated today", monthAgo, today},
        {"undated, then dated today", QString(), today},
        {"made today, then undated", today, QString()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WallpaperModel model = record(70);
        model.createdAt = c.first;
        PosterCardView* shown = card(model);
        EXPECT_EQ(shown->isNew(), c.first == today);
        model.createdAt = c.refreshed;
        shown->setWallpaper(model);
        EXPECT_EQ(shown->isNew(), c.refreshed == today);
        delete shown;
    }
}

// A card can outlive its wallpaper's last new day (home rows live as long as the window): the
// badge goes when the clock passes the end, without a new record.
TEST_F(PosterCardViewTest, TheNewBadgeEndsOnTimeOnACardThatStaysUp)
{
    WallpaperModel model = record(71);
    const QDateTime created = clock_.now().toLocalTime().addDays(-16).addSecs(60);
    model.createdAt = created.toUTC().toString(Qt::ISODate);
    PosterCardView* shown = card(model);
    ASSERT_TRUE(shown->isNew());
    const QImage withBadge = shown->grab().toImage();

    clock_.advance(120);
    EXPECT_FALSE(shown->isNew());
    EXPECT_NE(shown->grab().toImage(), withBadge) << "the badge is still painted";
}

// A card nothing else repaints (no hover, no video, its poster in) repaints itself when its
// badge ends, so the badge does not stay on screen past its end.
TEST_F(PosterCardViewTest, ACardRepaintsItselfWhenItsNewBadgeEnds)
{
    WallpaperModel model = record(72);
    const QDateTime created = clock_.now().toLocalTime().addDays(-16).addSecs(1);
    model.createdAt = created.toUTC().toString(Qt::ISODate);
    PosterCardView* shown = card(model);
    ASSERT_TRUE(shown->isNew());
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown->hasPoster(); }, kWaitMs));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_));
    // Whatever was asked to paint before the badge's end is painted now.
    for (int turn = 0; turn < 3; ++turn) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
    int paints = 0;
    PaintCounter counter(*shown, paints);
    clock_.advance(2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return paints > 0; }, 10'000)) << "nothing painted the card after its badge ended";
    EXPECT_FALSE(shown->isNew());
}

TEST_F(PosterCardViewTest, ACardOffTheScreenHoldsNoFullDecodedPoster)
{
    PosterCardView* shown = card(record(70));
    auto* poster = shown->findChild<CachedAsyncImage*>();
    ASSERT_TRUE(poster);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !poster->image().isNull(); }, 10'000));
    shown->grab();
    QImage full = poster->image();
    images_.waitForDiskWrites();

    window_.hide();
    QCoreApplication::sendPostedEvents();
    images_.clearMemory();
    EXPECT_TRUE(full.isDetached()) << "nothing but this test holds the decoded poster";
    full = QImage();
    EXPECT_TRUE(shown->hasPoster()) << "the card keeps the copy it painted";

    window_.show();
    EXPECT_TRUE(shown->hasPoster());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !poster->image().isNull(); }, 10'000));
}

TEST_F(PosterCardViewTest, Screenshots)
{
    WallpaperModel fresh = record(60, QStringLiteral("Northern Lights over a Frozen Lake"));
    fresh.createdAt = QDate::currentDate().toString(Qt::ISODate);
    fresh.likes = 1480;
    fresh.downloads = 20;
    WallpaperModel partner = record(61, QStringLiteral("Desert Dunes"));
    partner.isFromGravelnook = true;
    WallpaperModel loading = record(62);
    loading.posterUrl.reset(); // the placeholder stays
    liked().addWallpaper(fresh, true);

    struct Shot {
        QString name;
        WallpaperModel wallpaper;
        PosterCardView::Options options;
        bool hover;
        bool preview;
    };
    const Shot shots[] = {
        {QStringLiteral("poster-card-loading"), loading, {}, false, false},
        {QStringLiteral("poster-card-loading-light"), loading, options([](auto& o) { o.lightPlaceholderWhileLoading = true; }), false, false},
        {QStringLiteral("poster-card-poster"), record(63), {}, false, false},
        {QStringLiteral("poster-card-hovered-liked-new"), fresh, {}, true, false},
        {QStringLiteral("poster-card-partner-rank"), partner, options([](auto& o) { o.rank = 3; }), false, false},
        {QStringLiteral("poster-card-status-pending"), record(64), options([](auto& o) { o.uploadStatus = QStringLiteral("Pending Review"); }), false, false},
        {QStringLiteral("poster-card-status-live"), record(65), options([](auto& o) { o.uploadStatus = QStringLiteral("Live"); }), false, false},
        {QStringLiteral("poster-card-status-rejected"), record(66), options([](auto& o) { o.uploadStatus = QStringLiteral("Rejected"); o.emphasizedBorder = true; }), false, false},
        {QStringLiteral("poster-card-preview-playing"), record(67, QStringLiteral("Blue Hour")), {}, true, true},
    };
    for (const Shot& shot : shots) {
        const PosterCardView::Services services{liked(), videoCache_, downloads_, nullptr, players_, images_};
        Backdrop host(false);
        auto* shown = new PosterCardView(shot.wallpaper, shot.options, &context_, services, &host);
        host.resize(360, 220);
        shown->setGeometry(20, 20, 320, shown->heightForWidth(320));
        host.show();
        if (shot.hover)
            hoverOver(*shown, true);
        if (shot.preview) {
            ASSERT_TRUE(waitShown(*shown));
        }
        QTest::qWait(400); // the fade and the hover settle
        const QImage picture = saveScreenshot(host, shot.name);
        // The card's middle shows the poster, the video or the placeholder, never the bare backdrop.
        const QColor middle = picture.pixelColor(picture.width() / 2, picture.height() / 2);
        if (shot.wallpaper.posterUrl && !shot.hover) {
            EXPECT_GT(middle.red() + middle.green() + middle.blue(), 200) << shot.name.toStdString();
        }
        if (shot.preview) {
            EXPECT_TRUE(isNear(middle, loopColour())) << shot.name.toStdString();
        }
        if (shot.options.rank && shot.wallpaper.isFromGravelnook) {
            // The white top of the rank's digit shows inside the yellow partner badge.
            int white = 0;
            for (int y = 36; y < 52; ++y)
                for (int x = 36; x < 100; ++x)
                    white += picture.pixelColor(x, y).blue() > 200 ? 1 : 0;
            EXPECT_GT(white, 0) << "the rank is drawn above the partner badge";
        }
    }
}

} // namespace
