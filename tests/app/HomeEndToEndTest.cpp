#include "LogoPixels.h"
#include "ProgramFixture.h"

#include "app/ShellDefaults.h"
#include "support/Eventually.h"

#include <QStandardPaths>
#include <QTest>

namespace {

// The real program on its display: the home page fills, and a card clicked with the real pointer
// opens its wallpaper full screen.
using HomeEndToEndTest = ProgramFixture;

TEST_F(HomeEndToEndTest, TheHomePageFillsAndAClickedCardOpensFullScreen)
{
    if (!display.isRunning() || QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
        GTEST_FAIL() << "needs Xvfb and xdotool (scripts/setup installs both)";
    {
        auto defaults = savedDefaults();
        defaults->setBool(ShellDefaults::hasLaunchedBefore, true);
        defaults->setBool(ShellDefaults::onboardingSheetCompleted, true);
    }
    ProgramRun program(environment());
    ASSERT_TRUE(program.waitForLine(QStringLiteral("✅ [CategoriesSection] Loaded 8 categories"))) << program.output().toStdString();
    waitForLaunch(program);
    QTest::qWait(1500); // posters and the hero's first frame, for the picture a reviewer opens

    // The header row comes down once the start-up screen has gone, later on a loaded machine.
    EXPECT_TRUE(QTest::qWaitFor([&] { return logoPixels(screen(QStringLiteral("e2e-home"))) > 50; }, 20'000))
        << "the header row over the home page";

    // The window sits at the display's corner (no window manager): scroll the first row into
    // view and click its first card.
    pointer({QStringLiteral("mousemove"), QStringLiteral("300"), QStringLiteral("300")});
    for (int i = 0; i < 5; ++i)
        pointer({QStringLiteral("click"), QStringLiteral("5")});
    QTest::qWait(800);
    screen(QStringLiteral("e2e-scrolled"));
    pointer({QStringLiteral("mousemove"), QStringLiteral("200"), QStringLiteral("420"), QStringLiteral("click"), QStringLiteral("1")});

    // The full-screen page covers the whole window, header row included.
    ASSERT_EVENTUALLY(logoPixels(screen(QStringLiteral("e2e-pushed"))) == 0, 10'000);
    EXPECT_EQ(program.terminate(), 0) << program.output().toStdString();
}

} // namespace
