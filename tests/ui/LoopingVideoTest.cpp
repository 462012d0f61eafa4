#include "Screenshot.h"
#include "platform/VideoTestClips.h"
#include "ui/LoopingVideo.h"
#include "ui/LoopingVideoView.h"
#include "ui/VideoPlayerPool.h"

#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <memory>

namespace {

using namespace VideoTestClips;

constexpr int kWaitMs = 15'000;
const QColor kPoster(200, 30, 30);

// A card: its poster, with the video painted over it once there is a frame.
class CardHost : public QWidget {
public:
    explicit CardHost(VideoPlayerPool& pool) : video(new LoopingVideo(this, pool)) { resize(160, 90); }
    LoopingVideo* video;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        if (!video->paint(painter, rect()))
            painter.fillRect(rect(), kPoster);
    }
};

class LoopingVideoTest : public ::testing::Test {
protected:
    std::unique_ptr<CardHost> card(QWidget* parent = nullptr)
    {
        auto host = std::make_unique<CardHost>(pool);
        host->setParent(parent);
        host->show();
        return host;
    }
    static QColor centre(QWidget& widget)
    {
        const QImage shown = widget.grab().toImage();
        return shown.pixelColor(shown.width() / 2, shown.height() / 2);
    }
    static bool waitReady(LoopingVideo& video)
    {
        return QTest::qWaitFor([&] { return video.isReady(); }, kWaitMs);
    }

    VideoPlayerPool pool{2};
};

TEST_F(LoopingVideoTest, ThePosterShowsUntilTheFirstFrameThenTheVideo)
{
    auto host = card();
    host->video->setUrl(loop());
    EXPECT_FALSE(host->video->hasPlayer()); // nothing is made before it is asked to play
    host->video->setPlaying(true);
    EXPECT_EQ(centre(*host), kPoster);
    saveScreenshot(*host, QStringLiteral("video-card-before-first-frame"));
    ASSERT_TRUE(waitReady(*host->video));
    EXPECT_TRUE(isNear(centre(*host), loopColour()));
    saveScreenshot(*host, QStringLiteral("video-card-playing"));

    // The plain view is transparent until then: its parent's colour shows through.
    QWidget backdrop;
    backdrop.setAutoFillBackground(true);
    QPalette palette;
    palette.setColor(QPalette::Window, kPoster);
    backdrop.setPalette(palette);
    auto* view = new LoopingVideoView(pool, &backdrop);
    backdrop.resize(160, 90);
    view->resize(160, 90);
    backdrop.show();
    view->setUrl(notAVideo());
    view->setPlaying(true);
    EXPECT_EQ(centre(backdrop), kPoster);
}

TEST_F(LoopingVideoTest, ItRunsOnlyWhileWantedAndSeen)
{
    QWidget page;
    page.resize(160, 90);
    auto host = card(&page);
    page.show();
    host->video->setUrl(loop());
    host->video->setPlaying(true);
    ASSERT_TRUE(waitReady(*host->video));

    // Off the screen the player goes (the poster shows again); a minimised window keeps its
    // paused player and the last frame.
    struct Step {
        const char* what;
        std::function<void()> act;
        bool running;
        bool player;
    };
    const Step steps[] = {
        {"owner pauses", [&] { host->video->setPlaying(false); }, false, true},
        {"owner resumes", [&] { host->video->setPlaying(true); }, true, true},
        {"page hidden", [&] { page.hide(); }, false, false},
        {"page shown", [&] { page.show(); }, true, true},
        {"card hidden", [&] { host->hide(); }, false, false},
        {"card shown", [&] { host->show(); }, true, true},
        {"window minimized", [&] { page.showMinimized(); }, false, true},
        {"window restored", [&] { page.showNormal(); }, true, true},
    };
    for (const Step& step : steps) {
        step.act();
        QCoreApplication::sendPostedEvents();
        EXPECT_EQ(host->video->isRunning(), step.running) << step.what;
        EXPECT_EQ(host->video->hasPlayer(), step.player) << step.what;
        EXPECT_EQ(pool.leaseCount(), step.player ? 1 : 0) << step.what;
        if (step.player)
            ASSERT_TRUE(waitReady(*host->video)) << step.what;
        else
            EXPECT_EQ(centre(*host), kPoster) << step.what;
    }
}

TEST_F(LoopingVideoTest, ANewAddressStartsOverAndBadOnesKeepThePoster)
{
    auto host = card();
    host->video->setPlaying(true);
    host->video->setUrl(loop());
    ASSERT_TRUE(waitReady(*host->video));
    QSignalSpy readiness(host->video, &LoopingVideo::readyChanged);
    host->video->setUrl(loop()); // the same address keeps the running video
    EXPECT_TRUE(host->video->isReady());

    for (const QUrl& bad : {notAVideo(), missing(), QUrl(QStringLiteral("https://127.0.0.1:1/preview.mp4"))}) {
        host->video->setUrl(bad);
        EXPECT_FALSE(host->video->isReady());
        EXPECT_EQ(centre(*host), kPoster);
    }
    QTest::qWait(500); // time enough to fail; nothing may have turned ready
    EXPECT_FALSE(host->video->isReady());
    EXPECT_EQ(centre(*host), kPoster);
    host->video->setUrl(QUrl());
    EXPECT_FALSE(host->video->hasPlayer());
    EXPECT_EQ(readiness.first().first().toBool(), false);
}

TEST_F(LoopingVideoTest, OnlyAHandfulOfPlayersLiveAndIdleOnesGoFirst)
{
    auto first = card();
    auto second = card();
    auto third = card();
    for (CardHost* host : {first.get(), second.get(), third.get()})
        host->video->setUrl(loop());

    first->video->setPlaying(true);
    second->video->setPlaying(true);
    first->video->setPlaying(false); // idle now
    third->video->setPlaying(true);
    EXPECT_FALSE(first->video->hasPlayer());
    EXPECT_TRUE(second->video->hasPlayer());
    EXPECT_EQ(pool.leaseCount(), 2);

    // All running: the one that started running longest ago gives way.
    first->video->setPlaying(true);
    EXPECT_FALSE(second->video->hasPlayer());
    EXPECT_TRUE(third->video->hasPlayer());
    EXPECT_EQ(pool.leaseCount(), 2);
    ASSERT_TRUE(waitReady(*first->video));
    EXPECT_EQ(centre(*second), kPoster);
}

TEST_F(LoopingVideoTest, ACardDestroyedWhileItsVideoLoadsLeavesNoTrace)
{
    for (int i = 0; i < 3; ++i) {
        auto host = card();
        host->video->setUrl(loop());
        host->video->setPlaying(true);
    }
    EXPECT_EQ(pool.leaseCount(), 0);
    QTest::qWait(200); // late player events must find nothing to touch
}

} // namespace
