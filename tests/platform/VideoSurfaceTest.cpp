#include "platform/VideoSurface.h"

#include "platform/VideoPlayer.h"
#include "VideoTestClips.h"

#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace {

using namespace VideoTestClips;

constexpr int kWaitMs = 15'000;

// A surface inside a window of its own, as views hold them.
class VideoSurfaceTest : public ::testing::Test {
protected:
    VideoSurfaceTest() : surface(new VideoSurface(&window))
    {
        auto* layout = new QVBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(surface);
        window.resize(160, 90);
    }

    QColor shownAtCentre() const
    {
        const QImage shown = surface->grab().toImage();
        return shown.pixelColor(shown.width() / 2, shown.height() / 2);
    }

    void showAndPlay()
    {
        window.show();
        QSignalSpy ready(surface, &VideoSurface::ready);
        surface->load(loop());
        ASSERT_TRUE(ready.wait(kWaitMs));
    }

    // Lets frames already on their way arrive, so a count read after it is settled.
    static void settle() { QTest::qWait(400); }

    // True when the player keeps producing frames.
    bool isDecoding() const
    {
        settle();
        const quint64 before = surface->player()->frameCount();
        settle();
        return surface->player()->frameCount() != before;
    }

    QWidget window;
    VideoSurface* surface;
};

TEST_F(VideoSurfaceTest, IsBlackUntilTheFirstFrameThenShowsTheVideo)
{
    window.show();
    EXPECT_EQ(shownAtCentre(), QColor(Qt::black));
    showAndPlay();
    EXPECT_TRUE(surface->isReady());
    EXPECT_TRUE(isNear(shownAtCentre(), loopColour())) << shownAtCentre().name().toStdString();
    // The player draws at the surface's size, so painting is a plain copy.
    EXPECT_EQ(surface->player()->currentFrame().size(), surface->size() * surface->devicePixelRatioF());
}

TEST_F(VideoSurfaceTest, DecodesNothingWhileHidden)
{
    showAndPlay();
    EXPECT_TRUE(isDecoding());
    surface->hide();
    EXPECT_TRUE(surface->player()->isPaused());
    EXPECT_FALSE(isDecoding());
    surface->show();
    EXPECT_FALSE(surface->player()->isPaused());
    EXPECT_TRUE(isDecoding());
}

TEST_F(VideoSurfaceTest, DecodesNothingWhileItsWindowIsMinimized)
{
    showAndPlay();
    window.showMinimized();
    EXPECT_TRUE(surface->player()->isPaused());
    EXPECT_FALSE(isDecoding());
    window.showNormal();
    EXPECT_FALSE(surface->player()->isPaused());
    EXPECT_TRUE(isDecoding());
}

TEST_F(VideoSurfaceTest, StaysPausedByItsOwnerWhenShownAgain)
{
    showAndPlay();
    QSignalSpy paused(surface, &VideoSurface::pausedChanged);
    surface->setPaused(true);
    EXPECT_EQ(paused.size(), 1);
    surface->hide();
    surface->show();
    EXPECT_TRUE(surface->player()->isPaused());
    EXPECT_FALSE(isDecoding());
    surface->setPaused(false);
    EXPECT_TRUE(isDecoding());
}

TEST_F(VideoSurfaceTest, ANeverShownSurfaceDoesNotPlay)
{
    QSignalSpy errors(surface, &VideoSurface::error);
    surface->load(loop());
    EXPECT_TRUE(surface->player()->isPaused());
    settle();
    EXPECT_LE(surface->player()->frameCount(), 1u);
    EXPECT_EQ(errors.size(), 0);
}

TEST_F(VideoSurfaceTest, FollowsItsSize)
{
    showAndPlay();
    window.resize(320, 120);
    ASSERT_TRUE(QTest::qWaitFor([&] { return surface->player()->currentFrame().size() == QSize(320, 120); }, kWaitMs));
    EXPECT_TRUE(isNear(shownAtCentre(), loopColour()));
}

TEST_F(VideoSurfaceTest, StaysBlackAndReportsABadVideo)
{
    window.show();
    QSignalSpy errors(surface, &VideoSurface::error);
    surface->load(notAVideo());
    ASSERT_TRUE(errors.wait(kWaitMs));
    EXPECT_FALSE(surface->isReady());
    EXPECT_EQ(shownAtCentre(), QColor(Qt::black));
}

} // namespace
