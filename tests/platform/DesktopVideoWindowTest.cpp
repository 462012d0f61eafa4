#include "platform/DesktopVideoWindow.h"

#include "platform/VideoPlayer.h"
#include "platform/VideoSurface.h"
#include "VideoTestClips.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QScreen>
#include <QTest>

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
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
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

    const QImage shown = window.grab().toImage();
    EXPECT_TRUE(isNear(shown.pixelColor(320, 180), loopColour()));
}

TEST(DesktopVideoWindowX11Test, MarksItselfAsTheDesktopOnX11)
{
    if (qEnvironmentVariableIsSet(kX11ChildVariable)) {
        checkDesktopHintsOnX11();
        return;
    }
    if (!XvfbServer::isInstalled() || QStandardPaths::findExecutable(QStringLiteral("xprop")).isEmpty())
        GTEST_SKIP() << "needs Xvfb and xprop";
    XvfbServer server({QStringLiteral("-screen"), QStringLiteral("0"), QStringLiteral("640x360x24")});
    ASSERT_TRUE(server.isRunning()) << "Xvfb did not start";
    const ChildTestRun run = rerunCurrentTestOn(server.environment(), kX11ChildVariable, 60'000);
    EXPECT_TRUE(run.passed()) << run.output.toStdString();
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
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&front));

    DesktopVideoWindow desktop;
    desktop.setScreenGeometry(QRect(0, 0, 640, 360));
    QSignalSpy ready(desktop.surface(), &VideoSurface::ready);
    desktop.surface()->load(loop());
    desktop.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&desktop));
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
    if (!XvfbServer::isInstalled())
        GTEST_SKIP() << "needs Xvfb";
    XvfbServer server({QStringLiteral("-screen"), QStringLiteral("0"), QStringLiteral("640x360x24")});
    ASSERT_TRUE(server.isRunning()) << "Xvfb did not start";
    const ChildTestRun run = rerunCurrentTestOn(server.environment(), kX11ChildVariable, 60'000);
    EXPECT_TRUE(run.passed()) << run.output.toStdString();
}

} // namespace
