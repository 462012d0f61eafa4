#include "EngineTestClips.h"
#include "support/TestPaths.h"

#include "engine/HomeScreenWallpaperEngine.h"
#include "engine/MonitorChangeService.h"
#include "foundation/Log.h"
#include "foundation/UserDefaults.h"
#include "platform/DesktopVideoWindow.h"
#include "platform/MediaTools.h"
#include "platform/QtScreens.h"
#include "platform/VideoSurface.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "support/Eventually.h"
#include "support/ImageCompare.h"
#include "support/XvfbServer.h"

#include <gtest/gtest.h>

namespace {

constexpr int kWaitMs = 20'000;
constexpr char kX11ChildVariable[] = "QUORVELLE_ENGINE_X11_CHILD";
constexpr QSize kMonitor(1920, 1080);

// The X11 half, in a child process on the two-monitor display the parent made: the engine
// starts a still colour-bar video, and what each monitor shows is grabbed from the screen and
// compared with the video's own frame.
void checkVideoOnBothMonitors()
{
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    QtScreens screens;
    ASSERT_EQ(screens.screens().size(), 2) << "the X server shows one monitor";

    QTemporaryDir folder;
    const QString clip = folder.filePath(QStringLiteral("bars.mp4"));
    const QString bars = QStringLiteral("smptehdbars=size=640x360:rate=30:duration=2");
    const QString encode = QStringLiteral("-f lavfi -i %1 -c:v libx264 -pix_fmt yuv420p").arg(bars);
    ASSERT_TRUE(EngineTestClips::ffmpeg(encode.split(QLatin1Char(' ')) << clip));
    const QImage expected =
        MediaTools::shared().frameAt(clip, 1.0).scaled(kMonitor, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);

    UserDefaults defaults(QStringLiteral("engine-x11-test"), UserDefaults::Storage::InMemory);
    HomeScreenWallpaperEngine engine(screens, defaults);
    engine.start(QUrl::fromLocalFile(clip), 42);
    ASSERT_EQ(engine.entries().size(), 2u);
    for (const auto& [id, entry] : engine.entries()) {
        VideoSurface* surface = entry.window->surface();
        if (!surface->isReady()) {
            ASSERT_TRUE(QSignalSpy(surface, &VideoSurface::ready).wait(kWaitMs));
        }
        ASSERT_TRUE(QTest::qWaitForWindowExposed(entry.window.get(), kExposeMs));
    }
    // A monitor left black (or showing the wrong picture) is far beyond the tolerance.
    QImage black(kMonitor, QImage::Format_RGB32);
    black.fill(Qt::black);
    ASSERT_GT(meanChannelDifference(black, expected), 40.0);
    // Each monitor shows the video once its first frames were painted and reached the X server,
    // which takes longer on a loaded machine.
    for (QScreen* screen : QGuiApplication::screens()) {
        double difference = 255;
        const bool shows = QTest::qWaitFor(
            [&] {
                const QImage shown = screen->grabWindow(0).toImage();
                difference = shown.size() == kMonitor ? meanChannelDifference(shown, expected) : 255;
                return difference < 8.0;
            },
            kWaitMs);
        EXPECT_TRUE(shows) << screen->name().toStdString() << " differs by " << difference;
    }
    engine.stopAll();
}

// Two monitors side by side on one Xvfb screen; the X11 half runs in a child process there.
TEST(HomeScreenWallpaperEngineX11Test, ShowsTheVideoOnBothMonitors)
{
    if (qEnvironmentVariableIsSet(kX11ChildVariable)) {
        checkVideoOnBothMonitors();
        return;
    }
    if (!XvfbServer::canSplitMonitors())
        GTEST_SKIP() << "needs Xvfb and xrandr";
    const std::unique_ptr<XvfbServer> server = XvfbServer::twoMonitors();
    const ChildTestRun run = rerunCurrentTestOn(server->environment(), kX11ChildVariable, 90'000);
    EXPECT_TRUE(run.passed()) << run.output.toStdString();
}

// The X11 half: a wallpaper plays on the one monitor, then that monitor is replaced by two new
// ones at once, as when a laptop is docked; the wallpaper carries on on both.
void checkWallpaperSurvivesReplacedMonitors()
{
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    QtScreens screens;
    ASSERT_EQ(screens.screens().size(), 1);
    const QUrl clip = QUrl::fromLocalFile(TestPaths::dataFile(QStringLiteral("loop-320x180.mp4")));
    UserDefaults defaults(QStringLiteral("engine-x11-test"), UserDefaults::Storage::InMemory);
    HomeScreenWallpaperEngine engine(screens, defaults);
    MonitorChangeService monitors(screens, engine);
    monitors.startObserving();
    engine.start(clip, 42);
    const quint32 before = engine.entries().begin()->first;

    LogCapture log;
    QSignalSpy reapplied(&monitors, &MonitorChangeService::wallpaperReapplied);
    ASSERT_TRUE(setMonitors(QProcessEnvironment::systemEnvironment(),
                            {QStringLiteral("DOCK-LEFT 1920/508x1080/286+0+0 screen"),
                             QStringLiteral("DOCK-RIGHT 1920/508x1080/286+1920+0 none")}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return screens.screens().size() == 2; }, kWaitMs)) << "the split never reached Qt";
    ASSERT_TRUE(reapplied.count() > 0 || reapplied.wait(kWaitMs)) << log.lines().join(u'\n').toStdString();

    EXPECT_FALSE(log.contains(QStringLiteral("No wallpaper is currently active, skipping")));
    EXPECT_EQ(engine.currentWallpaperKey(), 42);
    ASSERT_EQ(engine.entries().size(), 2u);
    for (const ScreenInfo& screen : screens.screens()) {
        EXPECT_NE(screen.displayId, before) << "the displays were not replaced";
        EXPECT_TRUE(engine.entries().contains(screen.displayId)) << screen.localizedName.toStdString();
    }
    engine.stopAll();
}

TEST(HomeScreenWallpaperEngineX11Test, AWallpaperCarriesOnWhenEveryMonitorIsReplaced)
{
    if (qEnvironmentVariableIsSet(kX11ChildVariable)) {
        checkWallpaperSurvivesReplacedMonitors();
        return;
    }
    if (!XvfbServer::canSplitMonitors())
        GTEST_SKIP() << "needs Xvfb and xrandr";
    // One monitor, which the child replaces by two.
    XvfbServer server({QStringLiteral("-screen"), QStringLiteral("0"), QStringLiteral("3840x1080x24")});
    ASSERT_TRUE(server.isRunning()) << "Xvfb did not start";
    const ChildTestRun run = rerunCurrentTestOn(server.environment(), kX11ChildVariable, 90'000);
    EXPECT_TRUE(run.passed()) << run.output.toStdString();
}

} // namespace
