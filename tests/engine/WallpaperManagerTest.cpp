#include "engine/ApplyHarness.h"

#include "engine/WallpaperManager.h"

#include "platform/MediaTools.h"

namespace {

// The shipped video is the one the build draws beside the executables, as an install lays it out.
class WallpaperManagerTest : public ApplyHarness {
protected:
    WallpaperManagerTest()
    {
        QObject::connect(&hook_, &MenuBarHook::wallpaperStatusUpdateRequested, &hook_, [this](bool running) { statuses_.append(running); });
    }

    QList<bool> statuses_;
    QList<std::pair<QString, QHash<QString, QString>>> signals_;
    WallpaperManager manager_{[this](const QString& name, const QHash<QString, QString>& parameters) { signals_.append({name, parameters}); }};
};

TEST_F(WallpaperManagerTest, TheShippedVideoPlaysOnEveryDisplayAndIsReported)
{
    const QString shipped = HomeScreenWallpaperEngine::bundledWallpaperUrl().toLocalFile();
    ASSERT_TRUE(QFileInfo(shipped).isFile()) << shipped.toStdString();
    const MediaInfo video = MediaTools::shared().probe(shipped);
    EXPECT_TRUE(video.hasVideoTrack);
    EXPECT_GT(video.durationSeconds, 1.0);
    const Result<Success, EngineError> result = manager_.applyWallpaper();

    EXPECT_TRUE(result.isSuccess());
    EXPECT_EQ(engine_.entries().size(), 2u);
    EXPECT_TRUE(log_.lines().contains(QStringLiteral("Wallpaper applied from UI")));
    EXPECT_EQ(statuses_, QList<bool>{true});
    ASSERT_EQ(signals_.size(), 1);
    EXPECT_EQ(signals_.first().first, QStringLiteral("Wallpaper.applied"));
    EXPECT_EQ(signals_.first().second, (QHash<QString, QString>{{"source", "normal"}}));
}

TEST_F(WallpaperManagerTest, AnEngineErrorComesBackUnchangedAndLeavesWhatPlays)
{
    waitForTask(service_.applyWallpaper(customRequest(31)));
    screens_.setScreens({});
    const Result<Success, EngineError> result = manager_.applyWallpaper();

    ASSERT_TRUE(result.isFailure());
    EXPECT_EQ(result.error().kind(), EngineError::Kind::unknown);
    EXPECT_EQ(engine_.entries().size(), 2u) << "taken down before the check";
    const QString description = result.error().localizedDescription();
    EXPECT_TRUE(log_.lines().contains(QStringLiteral("Wallpaper apply failed: ") + description));
    ASSERT_EQ(signals_.size(), 1);
    EXPECT_EQ(signals_.first().first, QStringLiteral("Wallpaper.applyFailed"));
    EXPECT_EQ(signals_.first().second, (QHash<QString, QString>{{"error", description}}));
    EXPECT_TRUE(statuses_.isEmpty());
}

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
