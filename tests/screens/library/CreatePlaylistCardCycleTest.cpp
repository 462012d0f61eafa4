#include "library/ManualRotationTimer.h"
#include "screens/library/CreatePlaylistCardCycle.h"

#include <gtest/gtest.h>

namespace {

QList<QUrl> urls(const QStringList& names)
{
    QList<QUrl> list;
    for (const QString& name : names)
        list.append(QUrl(QStringLiteral("https://assets.test/") + name + QStringLiteral(".mp4")));
    return list;
}

// The cycle on timers fired by hand; every layer's video becomes ready at once unless a test
// holds it back.
class CreatePlaylistCardCycleTest : public ::testing::Test {
protected:
    CreatePlaylistCardCycleTest()
    {
        QObject::connect(&cycle_, &CreatePlaylistCardCycle::layersChanged, &cycle_, [this] {
            for (int layer = 0; layer < 2; ++layer) {
                // A player reports ready only when it loads a new address.
                if (cycle_.videoOfLayer(layer) != loaded_[layer] && !holdBack_.contains(cycle_.videoOfLayer(layer))) {
                    loaded_[layer] = cycle_.videoOfLayer(layer);
                    cycle_.setLayerReady(layer, true);
                }
            }
        });
    }

    // One attempt and, when it faded, the swap half a second later; the front wallpaper after it.
    int step()
    {
        cycleTimer_->fire();
        swapTimer_->fire();
        return cycle_.currentIndex();
    }
    QList<int> steps(int count)
    {
        QList<int> shown{cycle_.currentIndex()};
        for (int i = 0; i < count; ++i)
            shown.append(step());
        return shown;
    }

    ManualRotationTimer* cycleTimer_ = new ManualRotationTimer;
    ManualRotationTimer* swapTimer_ = new ManualRotationTimer;
    CreatePlaylistCardCycle cycle_{std::unique_ptr<RotationTimer>(cycleTimer_), std::unique_ptr<RotationTimer>(swapTimer_)};
    QUrl loaded_[2];
    QList<QUrl> holdBack_;
};

TEST_F(CreatePlaylistCardCycleTest, ThreeVideosShowInOrderOneFadeEveryTwoSeconds)
{
    cycle_.setMedia(urls({"a", "b", "c"}), urls({"pa", "pb", "pc"}));
    cycle_.start();
    EXPECT_EQ(cycleTimer_->interval(), std::chrono::milliseconds(2000));
    EXPECT_EQ(cycle_.videoOfLayer(0), urls({"a"}).first());
    EXPECT_EQ(cycle_.videoOfLayer(1), urls({"b"}).first());

    cycleTimer_->fire();
    EXPECT_TRUE(cycle_.isFading());
    EXPECT_EQ(swapTimer_->interval(), std::chrono::milliseconds(500));
    EXPECT_EQ(cycle_.targetOpacity(1), 1.0);
    EXPECT_EQ(cycle_.targetOpacity(0), 0.0);
    swapTimer_->fire();
    EXPECT_FALSE(swapTimer_->isActive());
    // The front layer keeps what it played; the hidden one moves on.
    EXPECT_EQ(cycle_.visibleLayer(), 1);
    EXPECT_EQ(cycle_.videoOfLayer(1), urls({"b"}).first());
    EXPECT_EQ(cycle_.videoOfLayer(0), urls({"c"}).first());
    EXPECT_EQ(steps(4), (QList<int>{1, 2, 0, 1, 2}));
}

TEST_F(CreatePlaylistCardCycleTest, TwoWallpapersOrTwoEqualAddressesKeepCycling)
{
    // The hidden layer keeps its address after a swap; its player never reports ready again.
    const QList<QList<QUrl>> cases{urls({"a", "b"}), urls({"a", "a", "b"}), urls({"a", "a"})};
    for (const QList<QUrl>& videos : cases) {
        loaded_[0] = loaded_[1] = QUrl();
        cycle_.setMedia(videos, {});
        cycle_.start();
        const QList<int> shown = steps(2 * int(videos.size()));
        QList<int> expected;
        for (int i = 0; i <= 2 * videos.size(); ++i)
            expected.append(i % int(videos.size()));
        EXPECT_EQ(shown, expected) << videos.size();
        cycle_.setMedia({}, {});
    }
}

TEST_F(CreatePlaylistCardCycleTest, AFadeWaitsForTheHiddenVideo)
{
    holdBack_ = urls({"b"});
    cycle_.setMedia(urls({"a", "b", "c"}), {});
    cycle_.start();
    EXPECT_EQ(steps(3), (QList<int>{0, 0, 0, 0}));
    EXPECT_FALSE(cycle_.isFading());
    EXPECT_EQ(cycle_.targetOpacity(0), 1.0);
    cycle_.setLayerReady(1, true);
    EXPECT_EQ(step(), 1);
}

TEST_F(CreatePlaylistCardCycleTest, NoTimerWithoutAVideoOrASecondWallpaper)
{
    const QList<std::pair<QList<QUrl>, QList<QUrl>>> cases{
        {{}, {}}, {{}, urls({"pa", "pb"})}, {urls({"a"}), urls({"pa"})}};
    for (const auto& [videos, posters] : cases) {
        cycle_.setMedia(videos, posters);
        cycle_.start();
        EXPECT_FALSE(cycle_.isRunning()) << videos.size() << posters.size();
        EXPECT_EQ(cycle_.currentIndex(), 0);
    }
    // One video: both layers hold it.
    EXPECT_EQ(cycle_.videoOfLayer(1), urls({"a"}).first());
}

TEST_F(CreatePlaylistCardCycleTest, LeavingTheScreenStopsAndComingBackStartsOverAtTheFirst)
{
    cycle_.setMedia(urls({"a", "b", "c"}), {});
    cycle_.start();
    steps(2);
    cycleTimer_->fire(); // mid-fade
    cycle_.stop();
    EXPECT_FALSE(cycleTimer_->isActive());
    EXPECT_FALSE(swapTimer_->isActive());
    cycle_.start();
    EXPECT_EQ(cycle_.currentIndex(), 0);
    EXPECT_EQ(cycle_.visibleLayer(), 0);
    EXPECT_EQ(cycle_.targetOpacity(0), 1.0);
    EXPECT_EQ(steps(1), (QList<int>{0, 1}));
}

} // namespace
