#include "EngineTestClips.h"

#include "engine/HomeScreenWallpaperEngine.h"
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
        ASSERT_TRUE(QTest::qWaitForWindowExposed(entry.window.get()));
    }
    // Let the first frames be painted and reach the X server.
    QTest::qWait(500);

    // A monitor left black (or showing the wrong picture) is far beyond the tolerance.
    QImage black(kMonitor, QImage::Format_RGB32);
    black.fill(Qt::black);
    ASSERT_GT(meanChannelDifference(black, expected), 40.0);
    for (QScreen* screen : QGuiApplication::screens()) {
        const QImage shown = screen->grabWindow(0).toImage();
        ASSERT_EQ(shown.size(), kMonitor) << screen->name().toStdString();
        EXPECT_LT(meanChannelDifference(shown, expected), 8.0) << screen->name().toStdString();
    }
    engine.stopAll();
}

// Runs the Xvfb X server with one 3840×1080 screen split into two 1920×1080 monitors (RandR
// monitors, which Qt reads as two screens side by side). Xvfb's own multi-screen modes give
// either separate X screens or Xinerama heads stacked at the same origin, neither of which is
// two monitors side by side.
TEST(HomeScreenWallpaperEngineX11Test, ShowsTheVideoOnBothMonitors)
{
    if (qEnvironmentVariableIsSet(kX11ChildVariable)) {
        checkVideoOnBothMonitors();
        return;
    }
    const QString xrandr = QStandardPaths::findExecutable(QStringLiteral("xrandr"));
    if (!XvfbServer::isInstalled() || xrandr.isEmpty())
        GTEST_SKIP() << "needs Xvfb and xrandr";

    // Without -noreset the server would forget the monitors when xrandr, its last client,
    // disconnects.
    XvfbServer server({QStringLiteral("-noreset"), QStringLiteral("-screen"), QStringLiteral("0"), QStringLiteral("3840x1080x24")});
    ASSERT_TRUE(server.isRunning()) << "Xvfb did not start";
    const QProcessEnvironment environment = server.environment();

    for (const QString& monitor : {QStringLiteral("LEFT 1920/508x1080/286+0+0 screen"),
                                  QStringLiteral("RIGHT 1920/508x1080/286+1920+0 none")}) {
        QProcess setMonitor;
        setMonitor.setProcessEnvironment(environment);
        setMonitor.start(xrandr, QStringList{QStringLiteral("--setmonitor")} + monitor.split(QLatin1Char(' ')));
        ASSERT_TRUE(setMonitor.waitForFinished(kWaitMs));
        ASSERT_EQ(setMonitor.exitCode(), 0) << setMonitor.readAllStandardError().constData();
    }

    const ChildTestRun run = rerunCurrentTestOn(environment, kX11ChildVariable, 90'000);
    EXPECT_TRUE(run.passed()) << run.output.toStdString();
}

} // namespace
