#include "foundation/Log.h"
#include "platform/VideoFrameBuffer.h"
#include "platform/WaylandConnection.h"
#include "platform/WaylandDesktopBackground.h"
#include "platform/WaylandLayerSurface.h"

#include <QColor>
#include <QCoreApplication>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "support/HeadlessSway.h"
#include "support/ImageCompare.h"
#include "support/TestPaths.h"
#include "support/WaylandTestPointer.h"

#include <gtest/gtest.h>

#include <wayland-client.h>

#include <memory>

// These run in the test process itself, under the offscreen platform: the desktop video's
// connection is its own, so it needs no Qt window system to reach the compositor.
namespace {

constexpr int kWaitMs = 20'000;
constexpr double kSamePicture = 12.0;

class WaylandDesktopBackgroundTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!sway_.isRunning())
            GTEST_SKIP() << sway_.failure().toStdString();
        const QProcessEnvironment environment = sway_.environment();
        // swaymsg and grim find the compositor through this process's environment.
        for (const char* name : {"WAYLAND_DISPLAY", "SWAYSOCK"})
            qputenv(name, environment.value(QLatin1String(name)).toUtf8());
        connection_ = WaylandConnection::connect(environment.value(QStringLiteral("WAYLAND_DISPLAY")));
        ASSERT_TRUE(connection_) << "no connection to the compositor";
    }

    void TearDown() override
    {
        connection_.reset();
        qunsetenv("WAYLAND_DISPLAY");
        qunsetenv("SWAYSOCK");
    }

    static std::shared_ptr<VideoFrameBuffer> solidFrame(QSize size, QColor colour)
    {
        std::shared_ptr<VideoFrameBuffer> frame = VideoFrameBuffer::create(size);
        frame->image(1.0).fill(colour);
        return frame;
    }

    static QImage solidPicture(QColor colour)
    {
        QImage picture(QSize(64, 36), QImage::Format_RGB32);
        picture.fill(colour);
        return picture;
    }

    // Presents the frame on every frame callback's worth of time until the output shows it.
    static bool showsAfterPresenting(WaylandDesktopBackground& background, const std::shared_ptr<VideoFrameBuffer>& frame,
                                     const QString& output, QColor colour)
    {
        return QTest::qWaitFor([&] {
            background.present(frame, QPoint());
            return meanChannelDifference(HeadlessSway::grab(output), solidPicture(colour)) < kSamePicture;
        }, kWaitMs);
    }

    // A background shown on the output, once the compositor has configured its surface.
    std::unique_ptr<WaylandDesktopBackground> shownOn(const QString& output)
    {
        auto background = std::make_unique<WaylandDesktopBackground>(*connection_);
        background->setOutputName(output);
        background->setShown(true);
        if (!QTest::qWaitFor([&] { return background->isSeen(); }, kWaitMs))
            ADD_FAILURE() << "no surface on " << output.toStdString();
        return background;
    }

    static bool showsRed(WaylandDesktopBackground& background)
    {
        const QColor red(0xd0, 0x20, 0x20);
        return showsAfterPresenting(background, solidFrame(QSize(640, 360), red), QStringLiteral("HEADLESS-1"), red);
    }

    HeadlessSway sway_;
    std::unique_ptr<WaylandConnection> connection_;
};

TEST_F(WaylandDesktopBackgroundTest, KnowsTheOutputsByNameAndFollowsANewOne)
{
    EXPECT_TRUE(connection_->canShowBackgrounds());
    EXPECT_EQ(connection_->outputNames(), (QStringList{QStringLiteral("HEADLESS-1"), QStringLiteral("HEADLESS-2")}));
    QSignalSpy changed(connection_.get(), &WaylandConnection::outputsChanged);
    ASSERT_TRUE(HeadlessSway::swaymsg({QStringLiteral("create_output")}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return connection_->outputNames().contains(QStringLiteral("HEADLESS-3")); }, kWaitMs));
    EXPECT_GE(changed.count(), 1);
}

// Frames fill their output at its pixel size, whatever its scale, and leave the other output alone.
TEST_F(WaylandDesktopBackgroundTest, FillsItsOutputAtEveryScale)
{
    struct Case {
        int scale;
        QColor colour;
    };
    for (const Case& test : {Case{1, QColor(0xd0, 0x20, 0x20)}, Case{2, QColor(0x20, 0x40, 0xd0)}}) {
        SCOPED_TRACE(test.scale);
        ASSERT_TRUE(HeadlessSway::swaymsg({QStringLiteral("output"), QStringLiteral("HEADLESS-1"), QStringLiteral("scale"),
                                           QString::number(test.scale)}));
        const std::unique_ptr<WaylandDesktopBackground> background = shownOn(QStringLiteral("HEADLESS-1"));
        ASSERT_TRUE(QTest::qWaitFor([&] { return background->scale() == test.scale; }, kWaitMs));
        const auto frame = solidFrame(QSize(640, 360) * test.scale, test.colour);
        EXPECT_TRUE(showsAfterPresenting(*background, frame, QStringLiteral("HEADLESS-1"), test.colour));
        EXPECT_GT(meanChannelDifference(HeadlessSway::grab(QStringLiteral("HEADLESS-2")), solidPicture(test.colour)), 40.0);
    }
}

// Hidden, the surface goes and the desktop shows again; shown again, a new one takes frames.
TEST_F(WaylandDesktopBackgroundTest, HidingTakesTheSurfaceAway)
{
    const QImage desktop = HeadlessSway::grab(QStringLiteral("HEADLESS-1"));
    const std::unique_ptr<WaylandDesktopBackground> background = shownOn(QStringLiteral("HEADLESS-1"));
    ASSERT_TRUE(showsRed(*background));

    background->setShown(false);
    EXPECT_FALSE(background->hasSurface());
    EXPECT_FALSE(background->isSeen());
    EXPECT_TRUE(QTest::qWaitFor([&] { return meanChannelDifference(HeadlessSway::grab(QStringLiteral("HEADLESS-1")), desktop) < 1.0; }, kWaitMs));

    background->setShown(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return background->isSeen(); }, kWaitMs));
    EXPECT_TRUE(showsRed(*background));
}

// A frame on screen is the compositor's until it releases it: the renderer must not draw into it.
// Shown over by the next frame, it is released.
TEST_F(WaylandDesktopBackgroundTest, AFrameIsHeldUntilTheCompositorReleasesIt)
{
    const std::unique_ptr<WaylandDesktopBackground> background = shownOn(QStringLiteral("HEADLESS-1"));
    const QColor red(0xd0, 0x20, 0x20);
    const QColor blue(0x20, 0x40, 0xd0);
    const auto first = solidFrame(QSize(640, 360), red);
    const auto second = solidFrame(QSize(640, 360), blue);
    EXPECT_FALSE(first->isHeld());
    ASSERT_TRUE(showsAfterPresenting(*background, first, QStringLiteral("HEADLESS-1"), red));
    EXPECT_TRUE(first->isHeld()) << "the frame on screen counts as free";
    ASSERT_TRUE(showsAfterPresenting(*background, second, QStringLiteral("HEADLESS-1"), blue));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !first->isHeld(); }, kWaitMs)) << "the frame shown over was never released";
    EXPECT_TRUE(second->isHeld());
    background->setShown(false);
    EXPECT_FALSE(second->isHeld()) << "a frame of a surface that went stays held for ever";
}

// An output of no name the compositor knows gets no surface and counts as not seen, so the
// video there stops instead of playing for nobody.
TEST_F(WaylandDesktopBackgroundTest, AnUnknownOutputIsNotSeen)
{
    WaylandDesktopBackground background(*connection_);
    background.setOutputName(QStringLiteral("DP-9"));
    background.setShown(true);
    EXPECT_FALSE(background.hasSurface());
    EXPECT_FALSE(background.isSeen());
    EXPECT_FALSE(background.present(solidFrame(QSize(640, 360), Qt::red), QPoint()));
}

// The surface takes no input: a click on the desktop video reaches none of the connection's
// surfaces, though the seat has a pointer that would tell of one.
TEST_F(WaylandDesktopBackgroundTest, ClicksGoThroughToTheDesktop)
{
    WaylandPointerWitness witness(connection_->display());
    WaylandTestPointer pointer(qEnvironmentVariable("WAYLAND_DISPLAY"));
    ASSERT_TRUE(pointer.isReady()) << "the compositor makes no virtual pointers";
    ASSERT_TRUE(QTest::qWaitFor([&] { return witness.hasPointer(); }, kWaitMs));

    const std::unique_ptr<WaylandDesktopBackground> background = shownOn(QStringLiteral("HEADLESS-1"));
    ASSERT_TRUE(showsRed(*background));

    ASSERT_TRUE(pointer.clickAt(QPoint(320, 180), QSize(1280, 360)));
    // Whatever the click sent this connection has arrived once the compositor answers after it.
    ASSERT_GE(wl_display_roundtrip(connection_->display()), 0);
    EXPECT_EQ(witness.enters(), 0);
}

// Where the compositor does not list windows, its frame callbacks tell whether the surface is
// drawn: under a full-screen window they stop, and the surface counts as stalled until they
// come again.
TEST_F(WaylandDesktopBackgroundTest, FrameCallbacksStopUnderAFullScreenWindow)
{
    WaylandLayerSurface surface(*connection_, *connection_->output(QStringLiteral("HEADLESS-1")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return surface.isConfigured(); }, kWaitMs));
    const auto frame = solidFrame(QSize(640, 360), QColor(0xd0, 0x20, 0x20));
    const auto presentAndCheck = [&](bool stalled) {
        return QTest::qWaitFor([&] {
            surface.present(frame);
            return surface.isStalled() == stalled;
        }, kWaitMs);
    };
    ASSERT_TRUE(presentAndCheck(false));

    ASSERT_TRUE(HeadlessSway::swaymsg({QStringLiteral("focus"), QStringLiteral("output"), QStringLiteral("HEADLESS-1")}));
    QProcess player;
    player.start(QStringLiteral("mpv"), {QStringLiteral("--vo=wlshm"), QStringLiteral("--fs"), QStringLiteral("--loop=inf"),
                                         QStringLiteral("--no-audio"), QStringLiteral("--really-quiet"),
                                         TestPaths::dataFile(QStringLiteral("loop-320x180.mp4"))});
    EXPECT_TRUE(presentAndCheck(true)) << "frame callbacks kept coming under a full-screen window";
    player.kill();
    player.waitForFinished();
    EXPECT_TRUE(presentAndCheck(false)) << "frame callbacks did not come back";
}

TEST_F(WaylandDesktopBackgroundTest, LosingTheCompositorLogsOneLineAndQuits)
{
    LogCapture log;
    const std::unique_ptr<WaylandDesktopBackground> background = shownOn(QStringLiteral("HEADLESS-1"));
    QSignalSpy lost(connection_.get(), &WaylandConnection::lost);
    sway_.stop();
    // The loss quits the application's event loop; the guard only ends a wait that never would.
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, qApp, [] { QCoreApplication::exit(2); });
    guard.start(kWaitMs);
    EXPECT_EQ(QCoreApplication::exec(), 1);
    ASSERT_TRUE(connection_->isBroken());
    // Frames that still come go nowhere, quietly.
    background->present(solidFrame(QSize(640, 360), Qt::red), QPoint());
    connection_->flush();
    EXPECT_EQ(log.lines().filter(QStringLiteral("Lost the connection to the Wayland compositor")).size(), 1) << log.lines().join(u'\n').toStdString();
    EXPECT_EQ(lost.count(), 1) << "the loss was not told, or told twice";
}

} // namespace
