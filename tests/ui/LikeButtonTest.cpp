#include "Backdrop.h"
#include "Pointer.h"
#include "library/LikedListFixture.h"
#include "ui/LikeButton.h"
#include "ui/Theme.h"

#include <QSignalSpy>
#include <QTest>

namespace {

class LikeButtonTest : public LikedListFixture {
protected:
    std::unique_ptr<LikeButton> button(std::optional<qint64> key, LikeButton::Look look = LikeButton::Look::posterCard())
    {
        auto made = std::make_unique<LikeButton>(wallpaper(key), look, liked());
        made->show();
        return made;
    }
    static void click(LikeButton& button) { QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(2, 2)); }
    static bool showsRed(const LikeButton& button) { return button.heartColor() == Theme::systemRed(); }
};

TEST_F(LikeButtonTest, LikingCountsOnceAndEveryHeartOfTheWallpaperFollows)
{
    const auto card = button(11);
    const auto footBar = button(11, LikeButton::Look::fullScreenFootBar());
    QSignalSpy toggles(card.get(), &LikeButton::toggled);
    click(*card); // a corner of the square counts, not only the heart
    ASSERT_EQ(toggles.count(), 1);
    EXPECT_TRUE(toggles[0][0].toBool());
    EXPECT_TRUE(liked().likedWallpapers().contains(11));
    ASSERT_TRUE(QTest::qWaitFor([&] { return showsRed(*card) && showsRed(*footBar); }, 5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return counted().size() == 1; }, 10'000));
    EXPECT_EQ(counted(), QStringList{QStringLiteral("likes:11")});
}

// A heart drawn while the stored list is still being read (tens of thousands of likes take
// seconds) does not hold up the window: it shows empty and fills once the stored keys arrive,
// ahead of the list.
TEST_F(LikeButtonTest, AHeartMadeWhileTheListIsReadDoesNotWaitForIt)
{
    liked().addWallpaper(wallpaper(21), true);
    restart();
    const auto waiting = button(21);
    EXPECT_TRUE(liked().isLoading()) << "making the heart waited for the list";
    EXPECT_FALSE(showsRed(*waiting));
    ASSERT_TRUE(QTest::qWaitFor([&] { return showsRed(*waiting); }, 5000)) << "it fills once the keys arrive";
}

// A tap while the list is read means what the heart showed: the heart follows at once, and the
// service makes the change when the list arrives or, when the card is closed and the program
// quits first, at the quit. An empty heart tapped on a wallpaper liked in the list keeps it liked.
TEST_F(LikeButtonTest, ATapWhileTheListIsReadIsWhatTheHeartShowed)
{
    const struct {
        const char* name;
        bool stored;
        int taps;
        bool liked;
    } cases[] = {
        {"an empty heart likes", false, 1, true},
        {"a liked wallpaper stays liked", true, 1, true},
        {"a second tap unlikes", false, 2, false},
        {"a second tap unlikes a stored like", true, 2, false},
    };
    for (const auto& row : cases) {
        for (const bool quitFirst : {false, true}) {
            SCOPED_TRACE(std::string(row.name) + (quitFirst ? ", card closed and quit first" : ", list arrives"));
            QJsonArray stored{wallpaper(21).toJson()};
            if (row.stored)
                stored.append(wallpaper(22).toJson());
            store(LikedWallpapersService::kLikedWallpapersKey, stored);
            restart();
            auto heart = button(22);
            QSignalSpy toggles(heart.get(), &LikeButton::toggled);
            for (int tap = 0; tap < row.taps; ++tap)
                click(*heart);
            ASSERT_TRUE(liked().isLoading());
            EXPECT_EQ(heart->isLiked(), row.liked) << "the heart follows the tap at once";
            ASSERT_EQ(toggles.count(), row.taps);
            EXPECT_EQ(toggles.last()[0].toBool(), row.liked);
            if (quitFirst) {
                heart.reset();
                restart();
            } else {
                ASSERT_TRUE(QTest::qWaitFor([&] { return !liked().isLoading(); }, 10'000));
                EXPECT_EQ(heart->isLiked(), row.liked);
                restart();
            }
            EXPECT_EQ(liked().likedWallpapers().contains(22), row.liked) << "as stored for the next launch";
            EXPECT_TRUE(liked().likedWallpapers().contains(21));
        }
    }
    // Made once each where the wallpaper was not liked yet, never where it was. Waiting for the
    // reports also lets them end before the backend goes away.
    const QString reported = QStringLiteral("✅ [WallpaperCounterService] Successfully incremented likes counter for wallpaper 22");
    ASSERT_TRUE(QTest::qWaitFor([&] { return log_.lines().count(reported) >= 4; }, 10'000));
    EXPECT_EQ(counted(), QStringList(4, QStringLiteral("likes:22")));
}

TEST_F(LikeButtonTest, UnlikingLeavesTheCounterAndEmptiesPlaylists)
{
    liked().addWallpaper(wallpaper(12), true);
    const WallpaperPlaylist playlist = playlists_->createPlaylist(QStringLiteral("Evening"), 0);
    playlists_->addWallpapers({12}, playlist.id);
    const auto heart = button(12);
    EXPECT_TRUE(showsRed(*heart)) << "a heart made for a liked wallpaper starts red";
    QSignalSpy toggles(heart.get(), &LikeButton::toggled);
    click(*heart);
    ASSERT_EQ(toggles.count(), 1);
    EXPECT_FALSE(toggles[0][0].toBool());
    EXPECT_TRUE(liked().likedWallpapers().isEmpty());
    EXPECT_TRUE(playlists_->playlists().first().wallpaperKeys.isEmpty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return heart->heartColor() == QColor(Qt::white); }, 5000));
    QTest::qWait(50);
    EXPECT_TRUE(counted().isEmpty());
}

TEST_F(LikeButtonTest, AWallpaperWithoutKeyIsNeverLiked)
{
    const auto heart = button(std::nullopt);
    QSignalSpy toggles(heart.get(), &LikeButton::toggled);
    QSignalSpy changes(&liked(), &LikedWallpapersService::likedWallpapersChanged);
    click(*heart);
    ASSERT_EQ(toggles.count(), 1);
    EXPECT_FALSE(toggles[0][0].toBool());
    EXPECT_EQ(changes.count(), 0);
    EXPECT_EQ(heart->heartColor(), QColor(Qt::white));
}

TEST_F(LikeButtonTest, HoverOpacityFollowsTheLook)
{
    const auto look = [](bool alwaysFull, bool hoverSoft) {
        LikeButton::Look made = LikeButton::Look::posterCard();
        made.alwaysFullOpacity = alwaysFull;
        made.hoverSoftOpacity = hoverSoft;
        return made;
    };
    const struct {
        const char* name;
        LikeButton::Look look;
        qreal away;
        qreal over;
    } cases[] = {
        {"dimmed until hovered", look(false, false), 0.7, 1.0},
        {"always full", look(true, false), 1.0, 1.0},
        {"soft hover wins over always full", look(true, true), 1.0, 0.92},
    };
    for (const auto& row : cases) {
        const auto heart = button(5, row.look);
        EXPECT_DOUBLE_EQ(heart->labelOpacity(), row.away) << row.name;
        hoverOver(*heart, true);
        EXPECT_DOUBLE_EQ(heart->labelOpacity(), row.over) << row.name;
        hoverOver(*heart, false);
        EXPECT_DOUBLE_EQ(heart->labelOpacity(), row.away) << row.name;
    }
}

TEST_F(LikeButtonTest, Screenshots)
{
    liked().addWallpaper(wallpaper(1), true);
    LikeButton::Look circled = LikeButton::Look::heroOverlay();
    circled.background = true;
    auto* plain = new LikeButton(wallpaper(2), LikeButton::Look::posterCard(), liked());
    auto* hovered = new LikeButton(wallpaper(2), LikeButton::Look::posterCard(), liked());
    auto* likedHeart = new LikeButton(wallpaper(1), LikeButton::Look::posterCard(), liked());
    auto* likedHovered = new LikeButton(wallpaper(1), LikeButton::Look::heroOverlay(), liked());
    auto* withCircle = new LikeButton(wallpaper(2), circled, liked());
    auto* glowing = new LikeButton(wallpaper(1), LikeButton::Look::fullScreenFootBar(), liked());
    auto* glowingHovered = new LikeButton(wallpaper(2), LikeButton::Look::fullScreenFootBar(), liked());
    const Shot shot = shoot(QStringLiteral("like-buttons"),
        {plain, hovered, likedHeart, likedHovered, withCircle, glowing, glowingHovered}, false, [&] {
            for (LikeButton* button : {hovered, likedHovered, glowingHovered})
                hoverOver(*button, true);
        });
    // The liked heart's middle is red, the unliked one's middle shows the background.
    const QColor likedMiddle = shot.picture.pixelColor(shot.frames[2].center());
    EXPECT_GT(likedMiddle.red(), likedMiddle.green() + 100);
    EXPECT_LT(shot.picture.pixelColor(shot.frames[0].center()).red(), 60);
}

} // namespace
