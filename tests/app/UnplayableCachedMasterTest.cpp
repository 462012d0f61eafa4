#include "menubar/MenuBarFixture.h"

#include "app/LaunchReapply.h"

#include <QFileInfo>

namespace {

class UnplayableCachedMasterTest;

// One of the four roads that put a wallpaper on the desktop.
struct Road {
    const char* name;
    std::function<void(UnplayableCachedMasterTest&)> apply;
};

// Every road meets a cached master that is whole by its recorded size but no video (a portal's
// page stored with its size): each removes it, fetches the master again and applies it.
class UnplayableCachedMasterTest : public MenuBarFixture, public ::testing::WithParamInterface<Road> {
public:
    static QString cachedPath() { return WallpaperDownloadService::folderPath() + u'/' + WallpaperDownloadService::fileName(kCatalogueKey); }
    // The engine saves the file it plays: the re-applies start from the cached master's path.
    void saveAsApplied() { persistence_.saveWallpaper(kCatalogueKey, QUrl::fromLocalFile(cachedPath())); }

    void applyFromMainWindow()
    {
        waitForTask(service_.applyWallpaper({.key = kCatalogueKey, .videoURL = masterUrl(kCatalogueKey), .wallpaper = record(kCatalogueKey)}));
    }
    void applyFromTray()
    {
        recents_.addWallpaper(record(kCatalogueKey));
        settle();
        QAction* item = recentItem(record(kCatalogueKey).title);
        ASSERT_TRUE(item);
        item->trigger();
        waitForRuns();
    }
    void reapplyFromTray()
    {
        saveAsApplied();
        manager_->performPlaylistControl(PlaylistControlsRowView::reapply);
        waitForRuns();
    }
    void reapplyAtLaunch()
    {
        saveAsApplied();
        LaunchReapply launch(delays_.delays());
        QCoro::waitFor(launch.autoApplySavedState(false));
    }

protected:
    void SetUp() override
    {
        QDir().mkpath(WallpaperDownloadService::folderPath());
        ASSERT_TRUE(QFile::copy(notAVideoPath(), cachedPath()));
        QFile record(cachedPath() + QStringLiteral(".size"));
        ASSERT_TRUE(record.open(QIODevice::WriteOnly));
        record.write(QByteArray::number(QFileInfo(cachedPath()).size()));
    }
};

TEST_P(UnplayableCachedMasterTest, IsFetchedAgainAndApplied)
{
    ASSERT_TRUE(downloads_.cachedFileUrl(kCatalogueKey)) << "whole by its recorded size";

    GetParam().apply(*this);

    EXPECT_EQ(shownKey(), kCatalogueKey);
    EXPECT_EQ(catalogue_.server().requestCount(masterPath(kCatalogueKey)), 1);
    EXPECT_TRUE(waitForTask(WallpaperDownloadService::isPlayable(cachedPath())));
    EXPECT_TRUE(log_.contains(QStringLiteral("🗑️ [LocalVideoResolver] Removed a cached master that cannot be played: 1718000000137.mp4")));
}

INSTANTIATE_TEST_SUITE_P(Roads, UnplayableCachedMasterTest,
    ::testing::Values(Road{"MainWindow", &UnplayableCachedMasterTest::applyFromMainWindow},
        Road{"TrayApply", &UnplayableCachedMasterTest::applyFromTray}, Road{"TrayReapply", &UnplayableCachedMasterTest::reapplyFromTray},
        Road{"LaunchReapply", &UnplayableCachedMasterTest::reapplyAtLaunch}),
    [](const ::testing::TestParamInfo<Road>& row) { return std::string(row.param.name); });

} // namespace
