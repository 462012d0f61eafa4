#include "EngineTestClips.h"
#include "support/TestPaths.h"

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
#include <QProcess>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include "support/HeadlessSway.h"
#include "support/FakeLiveWallpaperSupport.h"
#include "support/ImageCompare.h"
#include "support/ReviewPicture.h"
#include "support/XvfbServer.h"

#include <gtest/gtest.h>

namespace {

constexpr int kWaitMs = 20'000;
constexpr char kWaylandChildVariable[] = "QUORVELLE_ENGINE_WAYLAND_CHILD";
constexpr QSize kOutput(640, 360);
// Far below a picture of another colour or pattern, above scaling and YUV rounding.
constexpr double kSamePicture = 12.0;

bool isWaylandChild() { return qEnvironmentVariableIsSet(kWaylandChildVariable); }

// Runs the current test's Wayland half, `check`, in a child process on a fresh headless sway:
// this process is that child when the variable is set.
void runOnHeadlessSway(void (*check)())
{
    if (isWaylandChild())
        return check();
    HeadlessSway sway;
    if (!sway.isRunning())
        GTEST_SKIP() << sway.failure().toStdString();
    const ChildTestRun run = rerunCurrentTestOn(sway.environment(), kWaylandChildVariable, 120'000, QStringLiteral("wayland"));
    EXPECT_TRUE(run.passed()) << run.output.toStdString();
}

// Clips drawn for one test, with the frames a display should show of them.
struct Clips {
    QTemporaryDir folder;
    QString twoColours = folder.filePath(QStringLiteral("two-colours.mp4"));
    QString bars = folder.filePath(QStringLiteral("bars.mp4"));
    // What a display shows of them once make() has drawn them.
    QList<QImage> redThenBlue;
    QImage barsFrame;

    // One second of red, then one of blue: a display showing it changes colour as it loops.
    bool make()
    {
        const QString colour = QStringLiteral("color=c=%1:s=640x360:r=30:d=1");
        const bool drawn = EngineTestClips::ffmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"), colour.arg(QStringLiteral("0xd02020")),
                                        QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"), colour.arg(QStringLiteral("0x2040d0")),
                                        QStringLiteral("-filter_complex"), QStringLiteral("[0][1]concat=n=2:v=1"), QStringLiteral("-c:v"),
                                        QStringLiteral("libx264"), QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p"), twoColours})
            && EngineTestClips::ffmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                                        QStringLiteral("smptehdbars=size=640x360:rate=30:duration=2"), QStringLiteral("-c:v"),
                                        QStringLiteral("libx264"), QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p"), bars});
        if (drawn) {
            redThenBlue = {frame(twoColours, 0.5), frame(twoColours, 1.5)};
            barsFrame = frame(bars, 1.0);
        }
        return drawn;
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

const ScreenEntry* entryOn(const HomeScreenWallpaperEngine& engine, const QString& output)
{
    for (const auto& [id, entry] : engine.entries()) {
        if (entry.window->waylandBackground() && entry.window->waylandBackground()->outputName() == output)
            return &entry;
    }
    return nullptr;
}

const QColor kGreen(0x20, 0xc0, 0x40);

QImage solidPicture(QColor colour)
{
    QImage picture(kOutput, QImage::Format_RGB32);
    picture.fill(colour);
    return picture;
}

// A window that paints itself green, as a game or a film fills the screen with its own picture.
void paintGreen(QWidget& window)
{
    QPalette green;
    green.setColor(QPalette::Window, kGreen);
    window.setPalette(green);
    window.setAutoFillBackground(true);
}

// What the compositor shows on the output, kept beside the test program for a reviewer.
QImage picture(const QString& output, const QString& name)
{
    const QImage shown = HeadlessSway::grab(output);
    keepReviewPicture(shown, QStringLiteral("wayland-screenshots"), name);
    return shown;
}

// Whether sway's stock bar (#323232) runs along the top of the picture, over the wallpaper.
bool showsTheBar(const QImage& shown)
{
    QImage band(QSize(200, 6), QImage::Format_RGB32);
    band.fill(QColor(0x32, 0x32, 0x32));
    return meanChannelDifference(shown.copy(QRect(200, 8, 200, 6)), band, QSize(50, 3)) < 6.0;
}

bool waitForScreens(const QtScreens& screens, int count)
{
    return QTest::qWaitFor([&] { return screens.screens().size() == count; }, kWaitMs);
}

// What an engine case stands on: the two outputs, the clips drawn, the records in memory.
struct Stage {
    QtScreens screens;
    Clips clips;
    UserDefaults defaults{QStringLiteral("engine-wayland-test"), UserDefaults::Storage::InMemory};

    bool ready() { return waitForScreens(screens, 2) && clips.make(); }
};

void checkApplyToAllThenOne()
{
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("wayland"));
    WaylandConnection* connection = WaylandConnection::shared();
    ASSERT_TRUE(connection && connection->canShowBackgrounds());
    Stage stage;
    ASSERT_TRUE(stage.ready());
    auto& [screens, clips, defaults] = stage;
    ASSERT_GT(meanChannelDifference(clips.redThenBlue[0], clips.redThenBlue[1]), 40.0);

    HomeScreenWallpaperEngine engine(screens, defaults);
    engine.start(QUrl::fromLocalFile(clips.twoColours), 42);
    ASSERT_EQ(engine.entries().size(), 2u);
    // Over the stock background that swaybg drew before, under the stock bar.
    for (const QString& output : {QStringLiteral("HEADLESS-1"), QStringLiteral("HEADLESS-2")})
        EXPECT_TRUE(outputPlays(output, clips.redThenBlue)) << output.toStdString() << " does not play the video";
    EXPECT_TRUE(showsTheBar(picture(QStringLiteral("HEADLESS-1"), QStringLiteral("wayland-stock-sway-video"))));
    EXPECT_FALSE(engine.coveredNotice()) << "the video shows, yet the engine would say it is covered";

    engine.applyToScreen(screenOf(screens, QStringLiteral("HEADLESS-2")), screenOf(screens, QStringLiteral("HEADLESS-2")).displayId,
                         QUrl::fromLocalFile(clips.bars), 43);
    EXPECT_TRUE(outputShows(QStringLiteral("HEADLESS-2"), clips.barsFrame)) << "the display applied to does not show its video";
    EXPECT_TRUE(outputPlays(QStringLiteral("HEADLESS-1"), clips.redThenBlue)) << "the other display lost its video";
    engine.stopAll();
}

TEST(HomeScreenWallpaperEngineWaylandTest, EachOutputPlaysItsOwnVideo)
{
    runOnHeadlessSway(checkApplyToAllThenOne);
}


bool isPlaying(const HomeScreenWallpaperEngine& engine, const QString& output)
{
    const ScreenEntry* entry = entryOn(engine, output);
    return entry && !entry->window->surface()->player()->isPaused();
}

// A full-screen window over one output stops the video there (and only there) and shows in
// its place; when it goes, the video plays again.
void checkFullScreenWindowCovers()
{
    Stage stage;
    ASSERT_TRUE(stage.ready());
    auto& [screens, clips, defaults] = stage;
    HomeScreenWallpaperEngine engine(screens, defaults);
    engine.start(QUrl::fromLocalFile(clips.twoColours), 42);
    ASSERT_TRUE(QTest::qWaitFor([&] { return isPlaying(engine, QStringLiteral("HEADLESS-1")) && isPlaying(engine, QStringLiteral("HEADLESS-2")); }, kWaitMs));

    QWidget cover;
    paintGreen(cover);
    const auto screen = std::find_if(QGuiApplication::screens().cbegin(), QGuiApplication::screens().cend(),
                                     [](const QScreen* candidate) { return candidate->name() == QStringLiteral("HEADLESS-1"); });
    cover.setScreen(*screen);
    cover.showFullScreen();
    EXPECT_TRUE(outputShows(QStringLiteral("HEADLESS-1"), solidPicture(kGreen))) << "the window does not cover the wallpaper";
    EXPECT_TRUE(QTest::qWaitFor([&] { return !isPlaying(engine, QStringLiteral("HEADLESS-1")); }, kWaitMs)) << "the covered video plays on";
    EXPECT_TRUE(isPlaying(engine, QStringLiteral("HEADLESS-2"))) << "the other display stopped";

    cover.close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return isPlaying(engine, QStringLiteral("HEADLESS-1")); }, kWaitMs)) << "the video did not come back";
    EXPECT_TRUE(outputPlays(QStringLiteral("HEADLESS-1"), clips.redThenBlue));
    engine.stopAll();
}

TEST(HomeScreenWallpaperEngineWaylandTest, AFullScreenWindowCoversItsOutputOnly)
{
    runOnHeadlessSway(checkFullScreenWindowCovers);
}

// A full-screen window left on a workspace out of sight covers nothing: the output's visible
// workspace shows the wallpaper, which plays on.
void checkHiddenFullScreenWindowCoversNothing()
{
    Stage stage;
    ASSERT_TRUE(stage.ready());
    auto& [screens, clips, defaults] = stage;
    HomeScreenWallpaperEngine engine(screens, defaults);
    engine.start(QUrl::fromLocalFile(clips.twoColours), 42);
    ASSERT_TRUE(QTest::qWaitFor([&] { return isPlaying(engine, QStringLiteral("HEADLESS-1")); }, kWaitMs));

    ASSERT_TRUE(HeadlessSway::swaymsg({QStringLiteral("focus"), QStringLiteral("output"), QStringLiteral("HEADLESS-1")}));
    QWidget game;
    paintGreen(game);
    game.showFullScreen();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !isPlaying(engine, QStringLiteral("HEADLESS-1")); }, kWaitMs)) << "the window never covered the wallpaper";

    ASSERT_TRUE(HeadlessSway::swaymsg({QStringLiteral("workspace"), QStringLiteral("number"), QStringLiteral("5")}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return isPlaying(engine, QStringLiteral("HEADLESS-1")); }, kWaitMs)) << "a window out of sight keeps the video stopped";
    EXPECT_TRUE(outputPlays(QStringLiteral("HEADLESS-1"), clips.redThenBlue));
    picture(QStringLiteral("HEADLESS-1"), QStringLiteral("wayland-full-screen-window-out-of-sight"));
    EXPECT_TRUE(game.isVisible());
    engine.stopAll();
}

TEST(HomeScreenWallpaperEngineWaylandTest, AFullScreenWindowOnAHiddenWorkspaceCoversNothing)
{
    runOnHeadlessSway(checkHiddenFullScreenWindowCoversNothing);
}

// A wallpaper program the user started apart from sway's own background, before this program,
// is drawn over the video by sway 1.7, and cannot be restarted below it: the engine says so at
// every apply, naming what to change, and the hidden players stop, as under a full-screen
// window. The outputs show that program's picture.
void checkAnotherBackgroundCovers()
{
    Stage stage;
    ASSERT_TRUE(stage.ready());
    auto& [screens, clips, defaults] = stage;
    HomeScreenWallpaperEngine engine(screens, defaults);
    engine.start(QUrl::fromLocalFile(clips.twoColours), 42);
    EXPECT_TRUE(outputShows(QStringLiteral("HEADLESS-1"), solidPicture(kGreen)));
    picture(QStringLiteral("HEADLESS-1"), QStringLiteral("wayland-another-background-covers"));
    const std::optional<QString> notice = engine.coveredNotice();
    ASSERT_TRUE(notice);
    EXPECT_TRUE(notice->contains(QStringLiteral("exec swaybg"))) << notice->toStdString();
    for (const QString& output : {QStringLiteral("HEADLESS-1"), QStringLiteral("HEADLESS-2")})
        EXPECT_TRUE(QTest::qWaitFor([&] { return entryOn(engine, output) && !isPlaying(engine, output); }, kWaitMs))
            << "the covered video on " << output.toStdString() << " plays on";

    engine.start(QUrl::fromLocalFile(clips.bars), 43);
    EXPECT_EQ(engine.coveredNotice(), notice) << "the next apply would say it is applied";
    EXPECT_TRUE(QTest::qWaitFor([&] { return entryOn(engine, QStringLiteral("HEADLESS-1")) && !isPlaying(engine, QStringLiteral("HEADLESS-1")); }, kWaitMs));
    engine.stopAll();
}

TEST(HomeScreenWallpaperEngineWaylandTest, AnotherBackgroundStartedFirstIsToldAtEveryApply)
{
    if (isWaylandChild())
        return checkAnotherBackgroundCovers();
    HeadlessSway sway;
    if (!sway.isRunning())
        GTEST_SKIP() << sway.failure().toStdString();
    const QProcessEnvironment environment = sway.environment();
    for (const char* name : {"WAYLAND_DISPLAY", "SWAYSOCK"})
        qputenv(name, environment.value(QLatin1String(name)).toUtf8());
    const bool started = HeadlessSway::swaymsg({QStringLiteral("exec"), QStringLiteral("swaybg -c '#20c040'")});
    // sway 1.7 draws the newest background lowest: once sway's own is started again after the
    // other one's picture came, that picture is on top, as it is for a user who started it at login.
    const bool drawn = started && QTest::qWaitFor([&] {
        return HeadlessSway::swaymsg({QStringLiteral("output"), QStringLiteral("*"), QStringLiteral("bg"),
                                     QStringLiteral("/usr/share/backgrounds/sway/Sway_Wallpaper_Blue_1920x1080.png"), QStringLiteral("fill")})
            && outputShows(QStringLiteral("HEADLESS-1"), solidPicture(kGreen), 1000);
    }, kWaitMs);
    qunsetenv("WAYLAND_DISPLAY");
    qunsetenv("SWAYSOCK");
    ASSERT_TRUE(drawn) << "the other swaybg drew nothing";
    const ChildTestRun run = rerunCurrentTestOn(environment, kWaylandChildVariable, 120'000, QStringLiteral("wayland"));
    EXPECT_TRUE(run.passed()) << run.output.toStdString();
}

// An output added while running gets the wallpaper; a relaunch (a new engine over the same
// records) puts every output's own wallpaper back.
void checkOutputsComeAndRelaunchRestores()
{
    Stage stage;
    ASSERT_TRUE(stage.ready());
    auto& [screens, clips, defaults] = stage;
    {
        HomeScreenWallpaperEngine engine(screens, defaults);
        MonitorChangeService monitors(screens, engine);
        monitors.startObserving();
        engine.start(QUrl::fromLocalFile(clips.twoColours), 42);
        const ScreenInfo second = screenOf(screens, QStringLiteral("HEADLESS-2"));
        engine.applyToScreen(second, second.displayId, QUrl::fromLocalFile(clips.bars), 43);

        ASSERT_TRUE(HeadlessSway::swaymsg({QStringLiteral("create_output")}));
        ASSERT_TRUE(waitForScreens(screens, 3)) << "the new output never reached Qt";
        EXPECT_TRUE(outputPlays(QStringLiteral("HEADLESS-3"), clips.redThenBlue)) << "the added output got no wallpaper";
        EXPECT_TRUE(outputShows(QStringLiteral("HEADLESS-2"), clips.barsFrame));
    }

    // Kept by connector, as X11 keeps a display that names no product: not by the compositor's
    // placeholder maker and model with a suffix that follows the outputs' order.
    for (const QString& output : {QStringLiteral("HEADLESS-1"), QStringLiteral("HEADLESS-2"), QStringLiteral("HEADLESS-3")})
        EXPECT_EQ(screenOf(screens, output).persistenceName, output);

    HomeScreenWallpaperEngine relaunched(screens, defaults);
    WallpaperPersistenceService records(defaults);
    for (const ScreenInfo& screen : screens.screens()) {
        const auto saved = records.loadPerMonitorWallpaper(HomeScreenWallpaperEngine::displayPersistenceID(screen));
        ASSERT_TRUE(saved) << screen.persistenceName.toStdString();
        relaunched.applyToScreen(screen, screen.displayId, saved->masterUrl, saved->key);
    }
    EXPECT_TRUE(outputPlays(QStringLiteral("HEADLESS-1"), clips.redThenBlue));
    EXPECT_TRUE(outputShows(QStringLiteral("HEADLESS-2"), clips.barsFrame));
    EXPECT_TRUE(outputPlays(QStringLiteral("HEADLESS-3"), clips.redThenBlue));
    relaunched.stopAll();
}

TEST(HomeScreenWallpaperEngineWaylandTest, OutputsComeAndARelaunchRestoresEach)
{
    runOnHeadlessSway(checkOutputsComeAndRelaunchRestores);
}


// The compositor going away ends the child with one clear line and exit code 1: the desktop
// video's connection may be first to notice, and quits the event loop, or Qt's own, whose
// warning is taken as the same loss before Qt ends the process. Its warning is never printed.
constexpr char kOurLine[] = "Lost the connection to the Wayland compositor";
constexpr char kQtLine[] = "The Wayland connection broke";

void playUntilTheCompositorQuits()
{
    QtScreens screens;
    ASSERT_TRUE(waitForScreens(screens, 2));
    UserDefaults defaults(QStringLiteral("engine-wayland-test"), UserDefaults::Storage::InMemory);
    HomeScreenWallpaperEngine engine(screens, defaults);
    engine.start(QUrl::fromLocalFile(TestPaths::dataFile(QStringLiteral("loop-320x180.mp4"))), 42);
    ASSERT_TRUE(QTest::qWaitFor([&] { return isPlaying(engine, QStringLiteral("HEADLESS-1")); }, kWaitMs));
    // sway may end before it answers.
    QProcess::execute(QStringLiteral("swaymsg"), {QStringLiteral("exit")});
    // Only a guard: the loss ends the loop long before.
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, qApp, [] { QCoreApplication::exit(2); });
    guard.start(kWaitMs);
    EXPECT_EQ(QCoreApplication::exec(), 1) << "still running without a compositor";
}

TEST(HomeScreenWallpaperEngineWaylandTest, LosingTheCompositorQuitsWithOneLine)
{
    if (isWaylandChild())
        return playUntilTheCompositorQuits();
    HeadlessSway sway;
    if (!sway.isRunning())
        GTEST_SKIP() << sway.failure().toStdString();
    const ChildTestRun run = rerunCurrentTestOn(sway.environment(), kWaylandChildVariable, 120'000, QStringLiteral("wayland"));
    ASSERT_TRUE(run.finished) << run.output.toStdString();
    EXPECT_TRUE(run.passed() || run.exitCode == 1) << run.output.toStdString();
    EXPECT_EQ(run.output.count(QLatin1String(kOurLine)), 1) << run.output.toStdString();
    EXPECT_EQ(run.output.count(QLatin1String(kQtLine)), 0) << run.output.toStdString();
    for (const QString& crash : {QStringLiteral("Sanitizer"), QStringLiteral("runtime error")})
        EXPECT_FALSE(run.output.contains(crash)) << run.output.toStdString();
}

} // namespace
