#include "menubar/MenuBarFixture.h"

#include <QTest>

namespace {

using Row = PlaylistControlsRowView;

// The row alone: where its icons are, what each draws like in each state.
TEST(PlaylistControlsRowViewGeometry, IconsStayCentredAsAGroupAndTheGapsHitNothing)
{
    struct Case {
        int width;
        qreal firstLeft;
    };
    for (const Case c : {Case{240, 40}, Case{300, 70}}) {
        Row row;
        row.resize(c.width, Row::kSize.height());
        for (int index = 0; index < Row::kIconCount; ++index) {
            const QRectF rect = row.iconRect(index);
            EXPECT_EQ(rect, QRectF(c.firstLeft + 36 * index, 4, 16, 16)) << c.width << " icon " << index;
            EXPECT_EQ(row.iconIndex(rect.center()), index);
        }
        EXPECT_FALSE(row.iconIndex(QPointF(c.firstLeft + 16 + 10, 12))) << "gap between the first two icons";
        EXPECT_FALSE(row.iconIndex(QPointF(c.firstLeft - 1, 12)));
    }
}

// The row in the menu, driving the real rotation and desktop video.
class PlaylistControlsRowTest : public MenuBarFixture {
protected:
    PlaylistControlsRowTest() { row().resize(Row::kSize); }

    void click(int index) { QTest::mouseClick(&row(), Qt::LeftButton, {}, row().iconRect(index).center().toPoint()); }
};

TEST_F(PlaylistControlsRowTest, WithoutAWallpaperOnlyNothingReacts)
{
    for (int index = 0; index < Row::kIconCount; ++index) {
        EXPECT_FALSE(row().isEnabled(index)) << index;
        click(index);
    }
    settle();
    EXPECT_EQ(manager_->activeRuns(), 0);
    EXPECT_FALSE(log_.contains(QStringLiteral("Reapply wallpaper called")));
    EXPECT_FALSE(rotation_.isShuffleEnabled());
}

TEST_F(PlaylistControlsRowTest, PauseStopsTheVideoAndTheRotationTogetherAndPlayResumesBoth)
{
    rotate(ownPlaylist(QStringLiteral("Evenings"), {71, 72, 73}));
    ASSERT_TRUE(row().isEnabled(Row::pausePlay));
    EXPECT_EQ(row().symbolName(Row::pausePlay), QStringLiteral("pause.fill"));

    click(Row::pausePlay);
    EXPECT_TRUE(engine_.isPaused());
    EXPECT_TRUE(rotation_.isPaused());
    EXPECT_FALSE(rotationTimer_->isActive());
    EXPECT_EQ(row().symbolName(Row::pausePlay), QStringLiteral("play.fill"));

    click(Row::pausePlay);
    EXPECT_FALSE(engine_.isPaused());
    EXPECT_FALSE(rotation_.isPaused());
    EXPECT_TRUE(rotationTimer_->isActive());
}

TEST_F(PlaylistControlsRowTest, ARotationPausedOnItsOwnIsResumedWithTheVideo)
{
    rotate(ownPlaylist(QStringLiteral("Evenings"), {71, 72}));
    rotation_.togglePause();

    click(Row::pausePlay);
    EXPECT_TRUE(engine_.isPaused());
    EXPECT_TRUE(rotation_.isPaused());

    click(Row::pausePlay);
    EXPECT_FALSE(engine_.isPaused());
    EXPECT_FALSE(rotation_.isPaused());
}

TEST_F(PlaylistControlsRowTest, NextAndPreviousStepThroughThePlaylist)
{
    const WallpaperPlaylist playlist = ownPlaylist(QStringLiteral("Evenings"), {71, 72, 73});
    rotate(playlist);
    const qsizetype start = rotation_.currentIndex();

    click(Row::next);
    const qint64 nextKey = playlist.wallpaperKeys.value((start + 1) % 3);
    EXPECT_TRUE(waitUntil([&] { return !rotation_.isApplying() && shownKey() == nextKey; }));

    click(Row::previous);
    EXPECT_TRUE(waitUntil([&] { return !rotation_.isApplying() && shownKey() == playlist.wallpaperKeys.value(start); }));
}

TEST_F(PlaylistControlsRowTest, ShuffleLightsUpWhenTurnedOn)
{
    rotate(ownPlaylist(QStringLiteral("Evenings"), {71, 72}));
    EXPECT_EQ(row().opacity(Row::shuffle), 0.5);

    click(Row::shuffle);
    EXPECT_TRUE(rotation_.isShuffleEnabled());
    EXPECT_TRUE(row().isActive(Row::shuffle));
    EXPECT_EQ(row().opacity(Row::shuffle), 1.0);
}

TEST_F(PlaylistControlsRowTest, ASingleWallpaperPlaylistCannotStep)
{
    rotate(ownPlaylist(QStringLiteral("Solo"), {71}));
    EXPECT_FALSE(row().isEnabled(Row::previous));
    EXPECT_FALSE(row().isEnabled(Row::next));
    EXPECT_TRUE(row().isEnabled(Row::reapply));
    EXPECT_TRUE(row().isEnabled(Row::shuffle));
}

TEST_F(PlaylistControlsRowTest, APressIsHighlightedUntilTheButtonIsReleased)
{
    rotate(ownPlaylist(QStringLiteral("Evenings"), {71, 72}));
    const QPoint shuffle = row().iconRect(Row::shuffle).center().toPoint();

    QTest::mousePress(&row(), Qt::LeftButton, {}, shuffle);
    EXPECT_EQ(row().pressedIconIndex(), Row::shuffle);
    QTest::mouseRelease(&row(), Qt::LeftButton, {}, shuffle);
    EXPECT_FALSE(row().pressedIconIndex());
}

} // namespace
