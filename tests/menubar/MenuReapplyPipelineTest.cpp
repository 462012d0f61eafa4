#include "menubar/MenuBarFixture.h"
#include "support/TaskWait.h"

#include "app/MainWindow.h"
#include "platform/DesktopVideoWindow.h"
#include "support/FakeDesktopNotifications.h"

#include <QFile>
#include <QFileInfo>

namespace {

class MenuReapplyPipelineTest : public MenuBarFixture {
protected:
    void reapply()
    {
        toastEvents_.clear();
        trace_.clear();
        manager_->performPlaylistControl(PlaylistControlsRowView::reapply);
        waitForRuns();
    }
    QStringList menuLines() const { return log_.lines().filter(QStringLiteral("[MenuBarManager]")); }
};

struct Entry {
    const char* name;
    bool playing;
    std::optional<qint64> savedKey;
    const char* line;
    bool runs;
};

class MenuReapplyEntryTest : public MenuReapplyPipelineTest, public ::testing::WithParamInterface<Entry> {};

TEST_P(MenuReapplyEntryTest, TheControlReappliesOnlyAWallpaperItCanFindAgain)
{
    const Entry entry = GetParam();
    const WallpaperApplyRequest playing = cachedRequest(kCatalogueKey);
    if (entry.playing)
        waitForTask(service_.applyWallpaper(playing));
    persistence_.clearSavedWallpaper();
    if (entry.savedKey)
        persistence_.saveWallpaper(*entry.savedKey, masterUrl(*entry.savedKey));
    cachedRequest(kOtherCatalogueKey);

    reapply();

    EXPECT_TRUE(log_.contains(QString::fromUtf8(entry.line))) << log_.lines().join(u'\n').toStdString();
    EXPECT_EQ(log_.contains(QStringLiteral("Starting reapply for key=")), entry.runs);
    EXPECT_EQ(toastEvents_.messages().isEmpty(), !entry.runs);
}

INSTANTIATE_TEST_SUITE_P(Entries, MenuReapplyEntryTest,
    ::testing::Values(
        Entry{"NothingAtAll", false, std::nullopt, "❌ [MenuBarManager] No wallpaper to reapply - no current key and no saved wallpaper", false},
        Entry{"OnlySaved", false, 1718000000211, "✅ [MenuBarManager] Found saved wallpaper: key=1718000000211", true},
        Entry{"SavedIsAnother", true, 1718000000211, "❌ [MenuBarManager] Saved wallpaper info not found for key 1718000000137", false},
        Entry{"PlayingAndSaved", true, 1718000000137, "✅ [MenuBarManager] Found saved wallpaper info: key=1718000000137", true}),
    [](const ::testing::TestParamInfo<Entry>& row) { return std::string(row.param.name); });

TEST_F(MenuReapplyPipelineTest, ACachedWallpaperIsRebuiltStepByStep)
{
    showOnDesktop(cachedRequest(kCatalogueKey));
    const QString key = QString::number(kCatalogueKey);

    reapply();

    EXPECT_EQ(shownKey(), kCatalogueKey);
    EXPECT_EQ(engine_.entries().size(), 2u);
    EXPECT_TRUE(manager_->isWallpaperRunning());
    EXPECT_EQ(toastEvents_.messages(), (QStringList{"message:Reapplying wallpaper", "message:Applying Home Screen", "message:Wallpaper reapplied"}));
    EXPECT_EQ(toastEvents_.events().filter(QStringLiteral("progress:")),
        (QStringList{"progress:0", "progress:0.2", "progress:0.5", "progress:0.6", "progress:0.7", "progress:0.8", "progress:1"}));
    EXPECT_EQ(delays_.scheduled().last(), 2000);
    EXPECT_TRUE(trace_.steps().contains(QStringLiteral("still picture")));
    const QStringList steps = menuLines().filter(QRegularExpression(QStringLiteral("Step|reapplied successfully")));
    EXPECT_EQ(steps,
        (QStringList{"📢 [MenuBarManager] Step 1: Showing notification", "🔍 [MenuBarManager] Step 3: Getting wallpaper model for key=" + key,
            "🔍 [MenuBarManager] Step 4: Getting local video file", "🛑 [MenuBarManager] Step 2: Stopping wallpaper engine",
            "🔄 [MenuBarManager] Step 5: Restarting wallpaper engine for home screen",
            "🔄 [MenuBarManager] Step 6: Setting static wallpaper (lock screen disabled)",
            "✅ [MenuBarManager] Wallpaper " + key + " reapplied successfully"}));
    EXPECT_TRUE(log_.contains(QStringLiteral("✅ [MenuBarManager] Wallpaper model obtained: title=Wallpaper ") + key + QStringLiteral(", category=Unknown")));
}

TEST_F(MenuReapplyPipelineTest, AfterClearCacheTheVideoIsFetchedAgainByItsKey)
{
    showOnDesktop(cachedRequest(kCatalogueKey));
    const QUrl saved = persistence_.loadSavedWallpaper()->masterUrl;
    ASSERT_TRUE(saved.isLocalFile()) << "the engine saves the file it plays";
    waitForTask(manager_->clearCache());
    ASSERT_FALSE(QFileInfo::exists(saved.toLocalFile()));

    reapply();

    EXPECT_EQ(shownKey(), kCatalogueKey);
    EXPECT_TRUE(QFileInfo::exists(saved.toLocalFile()));
    EXPECT_EQ(catalogue_.server().requestCount(masterPath(kCatalogueKey)), 1);
    EXPECT_TRUE(toastEvents_.messages().contains(QStringLiteral("message:Downloading wallpaper")));
    // The bar runs from 0.3 to 0.5 while the video comes in, before the engine starts at 0.6.
    const QStringList progress = toastEvents_.events().filter(QStringLiteral("progress:"));
    const qsizetype from = progress.indexOf(QStringLiteral("progress:0.3"));
    const qsizetype to = progress.indexOf(QStringLiteral("progress:0.6"));
    ASSERT_TRUE(from >= 0 && to > from);
    for (const QString& step : progress.mid(from, to - from)) {
        const double value = step.mid(9).toDouble();
        EXPECT_TRUE(value >= 0.3 && value <= 0.5) << step.toStdString();
    }
}

TEST_F(MenuReapplyPipelineTest, AnOwnWallpaperWhoseFileIsGoneFailsAndKeepsPlaying)
{
    const WallpaperModel own = ownWallpaper(71);
    showOnDesktop(WallpaperApplyRequest{.key = 71, .videoURL = *own.masterUrl, .wallpaper = own, .isCustom = true});
    QFile::remove(own.masterUrl->toLocalFile());

    reapply();

    EXPECT_EQ(shownKey(), 71);
    for (const auto& [id, entry] : engine_.entries())
        EXPECT_TRUE(entry.window->isVisible()) << id;
    EXPECT_EQ(toastEvents_.messages().last(), QStringLiteral("message:Failed to reapply wallpaper"));
    EXPECT_EQ(toast_.progress(), 0);
    EXPECT_EQ(delays_.scheduled().last(), 3000);
    EXPECT_TRUE(log_.contains(QStringLiteral("✅ [MenuBarManager] Found custom wallpaper: My Beach")));
    EXPECT_TRUE(log_.contains(QStringLiteral("❌ [MenuBarManager] Error details: EngineError(")));
    EXPECT_FALSE(log_.contains(QStringLiteral("Step 2: Stopping wallpaper engine")));
}

TEST_F(MenuReapplyPipelineTest, AFailureReachesTheDesktopWhenNoMainWindowShowsTheToast)
{
    FakeDesktopNotifications desktop;
    Shared<DesktopNotifications>::Override desktopOverride(desktop);
    const WallpaperModel own = ownWallpaper(71);
    showOnDesktop(WallpaperApplyRequest{.key = 71, .videoURL = *own.masterUrl, .wallpaper = own, .isCustom = true});
    QFile::remove(own.masterUrl->toLocalFile());

    // A minimised window's toast is seen by nobody.
    enum class Window { none, minimised, shown };
    for (const auto& [window, notified] : {std::pair{Window::none, true}, std::pair{Window::minimised, true},
             std::pair{Window::shown, false}}) {
        SCOPED_TRACE(int(window));
        desktop.shown.clear();
        MainWindow main;
        if (window == Window::minimised)
            main.showMinimized();
        else if (window == Window::shown)
            main.show();
        reapply();
        ASSERT_EQ(desktop.shown.size(), notified ? 1 : 0) << "a window on screen has the toast say it";
        if (notified) {
            EXPECT_EQ(desktop.shown.first().first, QStringLiteral("Failed to reapply wallpaper"));
            EXPECT_FALSE(desktop.shown.first().second.isEmpty());
        }
    }
}

TEST_F(MenuReapplyPipelineTest, WithTheLockScreenOnTheExtensionIsRestartedInsteadOfTheStillPicture)
{
    showOnDesktop(cachedRequest(kCatalogueKey));
    setLockScreenFeature(true);

    reapply();

    EXPECT_EQ(toastEvents_.messages(),
        (QStringList{"message:Reapplying wallpaper", "message:Applying Home Screen", "message:Applying Lock Screen", "message:Wallpaper reapplied"}));
    EXPECT_FALSE(trace_.steps().contains(QStringLiteral("still picture")));
    EXPECT_TRUE(trace_.steps().contains(QStringLiteral("extension restarted")));
    EXPECT_TRUE(log_.contains(QStringLiteral("ℹ️ [MenuBarManager] Lock screen is enabled, skipping static wallpaper")));
}

} // namespace
