#include "LogoPixels.h"

#include "app/AppRootView.h"
#include "screens/detail/FullScreenView.h"
#include "support/Eventually.h"
#include "support/HeadlessSway.h"
#include "support/ImageCompare.h"
#include "support/ReturningUserShell.h"
#include "support/ReviewPicture.h"
#include "support/XvfbServer.h"
#include "ui/LoadingIndicator.h"
#include "ui/PosterCardView.h"

#include <QGuiApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

constexpr int kWaitMs = 60'000;
constexpr char kChildVariable[] = "QUORVELLE_ROOT_WAYLAND_CHILD";
const QString kOutput = QStringLiteral("HEADLESS-1");

// What the compositor shows, kept beside the test program for a reviewer.
QImage picture(const QString& name)
{
    const QImage shown = HeadlessSway::grab(kOutput);
    keepReviewPicture(shown, QStringLiteral("ui-screenshots"), name);
    return shown;
}

// The Wayland half: the real root view as the only window of a 1280x800 output of headless
// sway, which gives it the whole output; Home, Settings and a wallpaper opened full screen from
// Home are pictured as the compositor draws them.
void pictureThePages()
{
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("wayland"));
    ASSERT_TRUE(HeadlessSway::swaymsg({QStringLiteral("output"), kOutput, QStringLiteral("resolution"), QStringLiteral("1280x800")}));
    // The stock bar would take the top of the output: the pages are pictured at the window's size.
    ASSERT_TRUE(HeadlessSway::giveWindowsTheFirstOutput());
    const ReturningUserShell shell;

    AppRootView root;
    root.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&root, kExposeMs));
    ASSERT_TRUE(QTest::qWaitFor([&] { return root.size() == QSize(1280, 800); }, kWaitMs)) << "the compositor gave " << root.width() << 'x' << root.height();
    // The page is pictured once every card on screen has its poster and the header row has
    // come down into place.
    PosterCardView* card = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        card = nullptr;
        bool postersShown = true;
        for (PosterCardView* candidate : root.tabPage(AppTab::Home)->findChildren<PosterCardView*>()) {
            if (!candidate->isVisible() || candidate->visibleRegion().isEmpty())
                continue;
            postersShown = postersShown && candidate->hasPoster();
            if (candidate->wallpaper().key)
                card = candidate;
        }
        return card && postersShown;
    }, kWaitMs)) << "the home page's cards never got their posters";
    ASSERT_TRUE(QTest::qWaitFor([] { return logoPixels(HeadlessSway::grab(kOutput)) > 50; }, kWaitMs)) << "no header row over the home page";
    const QImage home = picture(QStringLiteral("wayland-home"));
    EXPECT_GT(sampledColours(home), 200) << "the home page is bare";

    root.setSelectedTab(AppTab::Settings);
    ASSERT_TRUE(QTest::qWaitFor([&] { return root.tabPage(AppTab::Settings)->isVisible(); }, kWaitMs));
    // Home's hero video keeps changing the picture, so a picture unlike Home's proves nothing: the
    // compositor shows the settings page once the window's drawing has come to rest (the tab
    // change animates) and the compositor's picture is that drawing.
    QImage drawnBefore;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        const QImage drawn = root.grab().toImage();
        const bool resting = !drawnBefore.isNull() && drawn == drawnBefore;
        drawnBefore = drawn;
        return resting && meanChannelDifference(HeadlessSway::grab(kOutput), drawn) < 3.0;
    }, kWaitMs)) << "the settings page never reached the screen";
    const QImage settings = picture(QStringLiteral("wayland-settings"));
    EXPECT_GT(logoPixels(settings), 50) << "no header row over the settings page";

    root.setSelectedTab(AppTab::Home);
    ASSERT_TRUE(QTest::qWaitFor([&] { return card->isVisible(); }, kWaitMs));
    QTest::mouseClick(card, Qt::LeftButton, {}, card->rect().center());
    ASSERT_TRUE(QTest::qWaitFor([&] { return qobject_cast<FullScreenView*>(root.wallpaperDestination()); }, kWaitMs));
    // The full-screen page covers the header row, and its video replaces the loading wheel.
    const auto loading = [&] {
        const QList<LoadingIndicator*> wheels = root.wallpaperDestination()->findChildren<LoadingIndicator*>();
        return std::any_of(wheels.cbegin(), wheels.cend(), [](const LoadingIndicator* wheel) { return wheel->isVisible(); });
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return !loading(); }, kWaitMs)) << "the preview never got its video";
    // What the compositor shows trails the widgets by a frame or more; the video goes on moving,
    // so the two are alike, not equal. The wallpaper's own colours decide nothing here.
    ASSERT_TRUE(QTest::qWaitFor([&] {
        return meanChannelDifference(HeadlessSway::grab(kOutput), root.grab().toImage()) < 12.0;
    }, kWaitMs)) << "the compositor never showed the preview";
    picture(QStringLiteral("wayland-full-screen"));
}

TEST(AppRootViewWaylandTest, HomeSettingsAndAFullScreenPreviewAsTheCompositorShowsThem)
{
    if (qEnvironmentVariableIsSet(kChildVariable))
        return pictureThePages();
    HeadlessSway sway;
    if (!sway.isRunning())
        GTEST_SKIP() << sway.failure().toStdString();
    const ChildTestRun run = rerunCurrentTestOn(sway.environment(), kChildVariable, 150'000, QStringLiteral("wayland"));
    EXPECT_TRUE(run.passed()) << run.output.toStdString();
}

} // namespace
