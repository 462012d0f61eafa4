#include "platform/DesktopVideoWindow.h"

#include "platform/VideoPlayer.h"
#include "platform/VideoSurface.h"
#include "VideoTestClips.h"
#include "engine/EngineTestClips.h"

#include <QCoreApplication>
#include <QBackingStore>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "support/Eventually.h"
#include "support/XvfbServer.h"

#include <gtest/gtest.h>

namespace {

using namespace VideoTestClips;

constexpr int kWaitMs = 15'000;
constexpr char kX11ChildVariable[] = "QUORVELLE_X11_CHILD";

TEST(DesktopVideoWindowTest, CoversItsScreenAndLetsInputThrough)
{
    DesktopVideoWindow window;
    window.setScreenGeometry(QRect(0, 0, 320, 180));
    window.show();
    EXPECT_EQ(window.geometry(), QRect(0, 0, 320, 180));
    EXPECT_EQ(window.surface()->geometry(), QRect(0, 0, 320, 180));
    EXPECT_TRUE(window.windowFlags().testFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnBottomHint
                                               | Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus));
    EXPECT_TRUE(window.windowTitle().isEmpty());

    // A display that changes resolution or moves takes its window along.
    window.setScreenGeometry(QRect(320, 0, 640, 360));
    EXPECT_EQ(window.geometry(), QRect(320, 0, 640, 360));
    EXPECT_EQ(window.surface()->geometry(), QRect(0, 0, 640, 360));
}

TEST(DesktopVideoWindowTest, PlaysAtTheSizeOfItsScreen)
{
    DesktopVideoWindow window;
    window.setScreenGeometry(QRect(0, 0, 480, 200));
    QSignalSpy ready(window.surface(), &VideoSurface::ready);
    window.surface()->load(loop());
    window.show();
    ASSERT_TRUE(!ready.isEmpty() || ready.wait(kWaitMs));
    EXPECT_EQ(window.surface()->player()->currentFrame().size(), QSize(480, 200) * window.devicePixelRatioF());
    window.hide();
    EXPECT_TRUE(window.surface()->player()->isPaused());
}

// Runs the X11 half of the current test in a child process on a 640×360 Xvfb display.
void rerunOnXvfb()
{
    if (!XvfbServer::isInstalled())
        GTEST_SKIP() << "needs Xvfb";
    XvfbServer server({QStringLiteral("-screen"), QStringLiteral("0"), QStringLiteral("640x360x24")});
    ASSERT_TRUE(server.isRunning()) << "Xvfb did not start";
    const ChildTestRun run = rerunCurrentTestOn(server.environment(), kX11ChildVariable, 60'000);
    EXPECT_TRUE(run.passed()) << run.output.toStdString();
}

// What the X server shows at the middle of the window's display.
QColor shownAtCentre(const DesktopVideoWindow& window)
{
    const QImage shown = window.screen()->grabWindow(0).toImage();
    return shown.pixelColor(shown.rect().center());
}

// What the window manager is told, read back with xprop from a real X server. Runs in a child
// process on the display the parent started.
void checkDesktopHintsOnX11()
{
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    DesktopVideoWindow window;
    window.setScreenGeometry(QRect(0, 0, 640, 360));
    QSignalSpy ready(window.surface(), &VideoSurface::ready);
    window.surface()->load(loop());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window, kExposeMs));
    ASSERT_TRUE(!ready.isEmpty() || ready.wait(kWaitMs));

    QProcess xprop;
    xprop.start(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(window.winId()),
                                          QStringLiteral("_NET_WM_WINDOW_TYPE"), QStringLiteral("_NET_WM_STATE"),
                                          QStringLiteral("_NET_WM_DESKTOP")});
    ASSERT_TRUE(xprop.waitForFinished(kWaitMs));
    const QString properties = QString::fromUtf8(xprop.readAllStandardOutput());
    EXPECT_TRUE(properties.contains(QStringLiteral("_NET_WM_WINDOW_TYPE(ATOM) = _NET_WM_WINDOW_TYPE_DESKTOP")))
        << properties.toStdString();
    for (const char* state : {"_NET_WM_STATE_BELOW", "_NET_WM_STATE_STICKY", "_NET_WM_STATE_SKIP_TASKBAR",
                              "_NET_WM_STATE_SKIP_PAGER"})
        EXPECT_TRUE(properties.contains(QLatin1String(state))) << state;
    EXPECT_TRUE(properties.contains(QStringLiteral("_NET_WM_DESKTOP(CARDINAL) = 4294967295")));

    EXPECT_TRUE(QTest::qWaitFor([&] { return isNear(shownAtCentre(window), loopColour()); }, kWaitMs));
}

TEST(DesktopVideoWindowX11Test, MarksItselfAsTheDesktopOnX11)
{
    if (qEnvironmentVariableIsSet(kX11ChildVariable)) {
        checkDesktopHintsOnX11();
        return;
    }
    if (QStandardPaths::findExecutable(QStringLiteral("xprop")).isEmpty())
        GTEST_SKIP() << "needs xprop";
    rerunOnXvfb();
}

// Frames go to the X server straight from the player, a full-screen window over the video stops
// it until it goes, and what the server shows then is the current frame, even when no new one
// follows. The clip starts with a short first colour, then holds a second one, so an early frame
// shown again stands out.
void checkCoveringOnX11()
{
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    QTemporaryDir folder;
    const QString clip = folder.filePath(QStringLiteral("two-colours.mp4"));
    ASSERT_TRUE(EngineTestClips::ffmpeg(QStringLiteral("-f lavfi -i color=c=0xC05020:s=320x180:r=30:d=0.3 "
                                                       "-f lavfi -i color=c=0x2050C0:s=320x180:r=30:d=3 "
                                                       "-filter_complex concat=n=2 -c:v libx264 -pix_fmt yuv420p")
                                            .split(QLatin1Char(' '))
                                        << clip));
    DesktopVideoWindow window;
    window.setScreenGeometry(QRect(0, 0, 640, 360));
    QSignalSpy ready(window.surface(), &VideoSurface::ready);
    window.surface()->load(QUrl::fromLocalFile(clip));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window, kExposeMs));
    // The first frame may have come while the window was being exposed.
    ASSERT_TRUE(!ready.isEmpty() || ready.wait(kWaitMs));
    VideoPlayer* player = window.surface()->player();
    const auto showsSecondColour = [&] { return isNear(shownAtCentre(window), loopColour()); };
    ASSERT_TRUE(QTest::qWaitFor(showsSecondColour, kWaitMs));

    QWidget cover(nullptr, Qt::Window | Qt::FramelessWindowHint);
    cover.setGeometry(window.geometry());
    cover.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return player->isPaused(); }, kWaitMs));
    cover.hide();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !player->isPaused(); }, kWaitMs));

    ASSERT_TRUE(QTest::qWaitFor(showsSecondColour, kWaitMs));
    window.surface()->setPaused(true);
    cover.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !showsSecondColour(); }, kWaitMs));
    cover.hide();
    EXPECT_TRUE(QTest::qWaitFor(showsSecondColour, kWaitMs));
    EXPECT_TRUE(player->isPaused());
}

// A desktop window whose frames go straight to the server leaves Qt nothing to paint: black
// until the first frame (the server's own fill), then the video, and no backing store of the
// display's size behind it.
void checkNothingPaintedThroughQtOnX11()
{
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    DesktopVideoWindow window;
    window.setScreenGeometry(QRect(0, 0, 640, 360));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window, kExposeMs));
    EXPECT_TRUE(QTest::qWaitFor([&] { return isNear(shownAtCentre(window), Qt::black); }, kWaitMs));

    QSignalSpy ready(window.surface(), &VideoSurface::ready);
    window.surface()->load(loop());
    ASSERT_TRUE(ready.wait(kWaitMs));
    EXPECT_TRUE(QTest::qWaitFor([&] { return isNear(shownAtCentre(window), loopColour()); }, kWaitMs));
    window.setScreenGeometry(QRect(0, 0, 600, 300));
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.surface()->player()->currentFrame().size() == QSize(600, 300); }, kWaitMs));
    EXPECT_TRUE(QTest::qWaitFor([&] { return isNear(shownAtCentre(window), loopColour()); }, kWaitMs));
    EXPECT_TRUE(window.backingStore()->size().isEmpty()) << "backing store of " << window.backingStore()->size().width();
}

TEST(DesktopVideoWindowX11Test, PaintsNothingThroughQtOnX11)
{
    if (qEnvironmentVariableIsSet(kX11ChildVariable)) {
        checkNothingPaintedThroughQtOnX11();
        return;
    }
    rerunOnXvfb();
}

TEST(DesktopVideoWindowX11Test, StopsWhileCoveredAndShowsTheVideoAgain)
{
    if (qEnvironmentVariableIsSet(kX11ChildVariable)) {
        checkCoveringOnX11();
        return;
    }
    rerunOnXvfb();
}

// With no window manager on the display, a desktop window maps below the windows already there
// and goes back below when something raises it.
void checkStaysBelowWithoutWindowManager()
{
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    QWidget front;
    QPalette red;
    red.setColor(QPalette::Window, Qt::red);
    front.setPalette(red);
    front.setAutoFillBackground(true);
    front.setGeometry(100, 100, 200, 100);
    front.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&front, kExposeMs));

    DesktopVideoWindow desktop;
    desktop.setScreenGeometry(QRect(0, 0, 640, 360));
    QSignalSpy ready(desktop.surface(), &VideoSurface::ready);
    desktop.surface()->load(loop());
    desktop.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&desktop, kExposeMs));
    ASSERT_TRUE(!ready.isEmpty() || ready.wait(kWaitMs));

    const auto shownAt = [](int x, int y) {
        return QGuiApplication::primaryScreen()->grabWindow(0, x, y, 1, 1).toImage().pixelColor(0, 0);
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return isNear(shownAt(20, 20), loopColour()); }, kWaitMs)) << "the video never showed";
    EXPECT_TRUE(isNear(shownAt(200, 150), Qt::red)) << "the desktop window covers the window in front";

    desktop.raise();
    QTest::qWait(300);
    EXPECT_TRUE(isNear(shownAt(200, 150), Qt::red)) << "raised, the desktop window stayed on top";
}

TEST(DesktopVideoWindowX11Test, StaysBelowOtherWindowsWithoutAWindowManager)
{
    if (qEnvironmentVariableIsSet(kX11ChildVariable)) {
        checkStaysBelowWithoutWindowManager();
        return;
    }
    rerunOnXvfb();
}

} // namespace
