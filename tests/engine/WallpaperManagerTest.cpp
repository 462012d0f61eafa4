#include "engine/ApplyHarness.h"

#include "engine/WallpaperManager.h"

namespace {

class WallpaperManagerTest : public ApplyHarness {
protected:
    WallpaperManagerTest()
    {
        QObject::connect(&hook_, &MenuBarHook::wallpaperStatusUpdateRequested, &hook_, [this](bool running) { statuses_.append(running); });
    }

    QList<bool> statuses_;
};

TEST_F(WallpaperManagerTest, RemovingStopsEveryVideoAndForgetsTheSavedWallpaper)
{
    waitForTask(service_.applyWallpaper(customRequest(31)));
    ASSERT_TRUE(persistence_.loadSavedWallpaper());

    WallpaperManager::removeWallpaper();

    EXPECT_TRUE(engine_.entries().empty());
    EXPECT_FALSE(persistence_.loadSavedWallpaper());
    EXPECT_TRUE(log_.lines().contains(QStringLiteral("Wallpaper removed from UI")));
    EXPECT_EQ(statuses_, QList<bool>{false});
}

} // namespace
