#include "app/AppRootView.h"
#include "engine/HomeScreenWallpaperEngine.h"
#include "engine/ScreenEntry.h"
#include "platform/DesktopVideoWindow.h"
#include "platform/VideoSurface.h"
#include "screens/detail/FootBarApplyControl.h"
#include "screens/detail/FullScreenFootBar.h"
#include "screens/detail/FullScreenView.h"
#include "screens/detail/FullscreenApplyTargetChip.h"
#include "screens/detail/MonitorCardView.h"
#include "screens/detail/MonitorPickerPopoverContent.h"
#include "support/ReturningUserShell.h"
#include "support/Eventually.h"
#include "support/ImageCompare.h"
#include "support/XvfbServer.h"
#include "ui/BrowseContext.h"
#include "ui/PosterCardView.h"
#include "ui/Screenshot.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

namespace {

constexpr int kWaitMs = 60'000;
constexpr char kChildVariable[] = "QUORVELLE_DETAIL_X11_CHILD";

bool waitUntil(const std::function<bool()>& done, int timeoutMs = kWaitMs) { return QTest::qWaitFor(done, timeoutMs); }
void click(QWidget* widget) { QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center()); }

// What a monitor shows to the right of the main window (which sits at the first monitor's
// top-left): the desktop, that is the wallpaper or the X server's black.
bool desktopShowsVideo(QScreen* screen)
{
    const QImage shown = screen->grabWindow(0, 1400, 100, 400, 800).toImage();
    QImage black(shown.size(), QImage::Format_RGB32);
    black.fill(Qt::black);
    return meanChannelDifference(shown, black) > 20.0;
}

// Every desktop window of the engine has a frame; the X server shows it a moment later, which
// the checks wait for on the screen itself.
bool everyDesktopWindowPlays(size_t count)
{
    const auto& entries = HomeScreenWallpaperEngine::shared().entries();
    if (entries.size() != count)
        return false;
    for (const auto& [id, entry] : entries) {
        if (!entry.window->surface()->isReady())
            return false;
    }
    return true;
}

// The X11 half: the real root view in a main window on the first of two monitors, a wallpaper
// of the sample catalogue opened from a card of the home page, applied to the second monitor,
// then to both, then removed, and the page closed with Escape. What each desktop shows is
// grabbed from the screen.
void applyOnTwoMonitors()
{
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    ASSERT_EQ(QGuiApplication::screens().size(), 2) << "the X server shows one monitor";
    const ReturningUserShell shell;
    AppRootView root;
    root.setGeometry(0, 0, 1280, 800);
    root.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&root, kExposeMs));
    // The home page fills from the catalogue; its first card that is on screen opens.
    PosterCardView* card = nullptr;
    ASSERT_TRUE(waitUntil([&] {
        for (PosterCardView* candidate : root.tabPage(AppTab::Home)->findChildren<PosterCardView*>()) {
            if (candidate->isVisible() && candidate->wallpaper().key)
                card = candidate;
        }
        return card != nullptr;
    }));
    const qint64 key = *card->wallpaper().key;
    click(card);
    ASSERT_TRUE(waitUntil([&] { return qobject_cast<FullScreenView*>(root.wallpaperDestination()); }, 5000));
    auto* page = qobject_cast<FullScreenView*>(root.wallpaperDestination());
    EXPECT_EQ(page->wallpaper().key, key);
    QScreen* first = QGuiApplication::screens()[0];
    QScreen* second = QGuiApplication::screens()[1];
    EXPECT_FALSE(desktopShowsVideo(first));
    EXPECT_FALSE(desktopShowsVideo(second));

    FootBarApplyControl* control = page->footBar()->applyControl();
    click(control);
    ASSERT_TRUE(control->picker());
    ASSERT_EQ(control->picker()->cards().size(), 2);
    click(control->picker()->cards()[1]);
    ASSERT_TRUE(waitUntil([] { return everyDesktopWindowPlays(1); }));
    EXPECT_TRUE(waitUntil([&] { return desktopShowsVideo(second); }));
    EXPECT_FALSE(desktopShowsVideo(first));
    ASSERT_TRUE(waitUntil([&] { return control->label() == QStringLiteral("Remove Wallpaper"); }));

    // Removing takes the one display down; then every display.
    click(control);
    ASSERT_TRUE(waitUntil([&] { return control->label() == QStringLiteral("Set Wallpaper"); }, 5000));
    click(control);
    click(control->picker()->allButton());
    ASSERT_TRUE(waitUntil([] { return everyDesktopWindowPlays(2); }));
    EXPECT_TRUE(waitUntil([&] { return desktopShowsVideo(first) && desktopShowsVideo(second); }));
    saveScreenshot(root, QStringLiteral("detail-end-to-end-applied"));

    ASSERT_TRUE(waitUntil([&] { return control->label() == QStringLiteral("Remove Wallpaper"); }));
    click(control);
    click(control);
    ASSERT_TRUE(waitUntil([] { return HomeScreenWallpaperEngine::shared().entries().empty(); }, 5000));
    EXPECT_TRUE(waitUntil([&] { return !desktopShowsVideo(first) && !desktopShowsVideo(second); }));

    root.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&root));
    QTest::keyClick(&root, Qt::Key_Escape);
    EXPECT_FALSE(root.wallpaperDestination());
    EXPECT_FALSE(root.context()->selectedWallpaper());
}

// Two monitors side by side on one Xvfb screen; the X11 half runs in a child process there.
TEST(FullScreenEndToEndTest, AWallpaperOpenedFromTheHomePageGoesToOneDisplayThenBothAndComesOff)
{
    if (qEnvironmentVariableIsSet(kChildVariable)) {
        applyOnTwoMonitors();
        return;
    }
    if (!XvfbServer::canSplitMonitors())
        GTEST_SKIP() << "needs Xvfb and xrandr";
    const std::unique_ptr<XvfbServer> server = XvfbServer::twoMonitors();
    const ChildTestRun run = rerunCurrentTestOn(server->environment(), kChildVariable, 150'000);
    EXPECT_TRUE(run.passed()) << run.output.toStdString();
}

} // namespace
