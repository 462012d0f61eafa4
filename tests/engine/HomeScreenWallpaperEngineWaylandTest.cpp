#include "EngineTestClips.h"

#include "engine/HomeScreenWallpaperEngine.h"
#include "engine/MonitorChangeService.h"
#include "engine/WallpaperPersistenceService.h"
#include "foundation/UserDefaults.h"
#include "platform/DesktopVideoWindow.h"
#include "platform/MediaTools.h"
#include "platform/QtScreens.h"
#include "platform/VideoPlayer.h"
#include "platform/VideoSurface.h"
#include "platform/WaylandConnection.h"
#include "platform/WaylandDesktopBackground.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include "support/HeadlessSway.h"
#include "support/ImageCompare.h"
#include "support/XvfbServer.h"

#include <gtest/gtest.h>

namespace {

constexpr int kWaitMs = 20'000;
constexpr char kWaylandChildVariable[] = "QUORVELLE_ENGINE_WAYLAND_CHILD";
constexpr QSize kOutput(640, 360);
// Far below a picture of another colour or pattern, above scaling and YUV rounding.
constexpr double kSamePicture = 12.0;

// Runs the current test's Wayland half in a child process on a fresh headless sway.
void runOnHeadlessSway()
{
    HeadlessSway sway;
    if (!sway.isRunning())
        GTEST_SKIP() << sway.failure().toStdString();
    const ChildTestRun run = rerunCurrentTestOn(sway.environment(), kWaylandChildVariable, 120'000, QStringLiteral("wayland"));
    EXPECT_TRUE(run.passed()) << run.output.toStdString();
}

bool isWaylandChild() { return qEnvironmentVariableIsSet(kWaylandChildVariable); }

// Clips drawn for one test, with the frames a display should show of them.
struct Clips {
    QTemporaryDir folder;
    QString twoColours = folder.filePath(QStringLiteral("two-colours.mp4"));
    QString bars = folder.filePath(QStringLiteral("bars.mp4"));

    // One second of red, then one of blue: a display showing it changes colour as it loops.
    bool make()
    {
        const QString colour = QStringLiteral("color=c=%1:s=640x360:r=30:d=1");
        return EngineTestClips::ffmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"), colour.arg(QStringLiteral("0xd02020")),
                                        QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"), colour.arg(QStringLiteral("0x2040d0")),
                                        QStringLiteral("-filter_complex"), QStringLiteral("[0][1]concat=n=2:v=1"), QStringLiteral("-c:v"),
                                        QStringLiteral("libx264"), QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p"), twoColours})
            && EngineTestClips::ffmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                                        QStringLiteral("smptehdbars=size=640x360:rate=30:duration=2"), QStringLiteral("-c:v"),
                                        QStringLiteral("libx264"), QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p"), bars});
    }

    static QImage frame(const QString& clip, double seconds)
    {
        return MediaTools::shared().frameAt(clip, seconds).scaled(kOutput, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
};

// Whether the output comes to show the picture within the wait (grim, as often as it can).
bool outputShows(const QString& output, const QImage& expected, int timeoutMs = kWaitMs)
{
    return QTest::qWaitFor([&] { return meanChannelDifference(HeadlessSway::grab(output), expected) < kSamePicture; }, timeoutMs);
}

// Whether the output shows each of the pictures in turn, as a video looping through them does.
bool outputPlays(const QString& output, const QList<QImage>& frames)
{
    return std::all_of(frames.cbegin(), frames.cend(), [&output](const QImage& frame) { return outputShows(output, frame); });
}

ScreenInfo screenOf(const QtScreens& screens, const QString& output)
{
    const QScreen* screen = *std::find_if(QGuiApplication::screens().cbegin(), QGuiApplication::screens().cend(),
                                          [&output](const QScreen* candidate) { return candidate->name() == output; });
    for (const ScreenInfo& info : screens.screens()) {
        if (info.geometry == screen->geometry())
            return info;
    }
    ADD_FAILURE() << "no screen for " << output.toStdString();
    return {};
}

[[maybe_unused]] const ScreenEntry* entryOn(const HomeScreenWallpaperEngine& engine, const QString& output)
{
    for (const auto& [id, entry] : engine.entries()) {
        if (entry.window->waylandBackground() && entry.window->waylandBackground()->outputName() == output)
            return &entry;
    }
    return nullptr;
}

bool waitForScreens(const QtScreens& screens, int count)
{
    return QTest::qWaitFor([&] { return screens.screens().size() == count; }, kWaitMs);
}

void checkApplyToAllThenOne()
{
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("wayland"));
    WaylandConnection* connection = WaylandConnection::shared();
    ASSERT_TRUE(connection && connection->canShowBackgrounds());
    QtScreens screens;
    ASSERT_TRUE(waitForScreens(screens, 2));
    Clips clips;
    ASSERT_TRUE(clips.make());
    const QList<QImage> redThenBlue{Clips::frame(clips.twoColours, 0.5), Clips::frame(clips.twoColours, 1.5)};
    const QImage bars = Clips::frame(clips.bars, 1.0);
    ASSERT_GT(meanChannelDifference(redThenBlue[0], redThenBlue[1]), 40.0);

    UserDefaults defaults(QStringLiteral("engine-wayland-test"), UserDefaults::Storage::InMemory);
    HomeScreenWallpaperEngine engine(screens, defaults);
    engine.start(QUrl::fromLocalFile(clips.twoColours), 42);
    ASSERT_EQ(engine.entries().size(), 2u);
    for (const QString& output : {QStringLiteral("HEADLESS-1"), QStringLiteral("HEADLESS-2")})
        EXPECT_TRUE(outputPlays(output, redThenBlue)) << output.toStdString() << " does not play the video";

    engine.applyToScreen(screenOf(screens, QStringLiteral("HEADLESS-2")), screenOf(screens, QStringLiteral("HEADLESS-2")).displayId,
                         QUrl::fromLocalFile(clips.bars), 43);
    EXPECT_TRUE(outputShows(QStringLiteral("HEADLESS-2"), bars)) << "the display applied to does not show its video";
    EXPECT_TRUE(outputPlays(QStringLiteral("HEADLESS-1"), redThenBlue)) << "the other display lost its video";
    engine.stopAll();
}

TEST(HomeScreenWallpaperEngineWaylandTest, EachOutputPlaysItsOwnVideo)
{
    if (isWaylandChild())
        return checkApplyToAllThenOne();
    runOnHeadlessSway();
}

} // namespace
