#include "menubar/MenuBarFixture.h"

#include "engine/WallpaperApplyError.h"
#include "platform/DesktopVideoWindow.h"

#include "support/Eventually.h"
#include "support/FakeLiveWallpaperSupport.h"
#include "support/HeldMasterServer.h"
#include "support/TaskWait.h"

namespace {

using samplecatalogue::Fault;

class MenuApplyPipelineTest : public MenuBarFixture {
protected:
    // Puts the record in the recents and chooses it from the submenu.
    void choose(const WallpaperModel& wallpaper)
    {
        recents_.addWallpaper(wallpaper);
        settle();
        toastEvents_.clear();
        trace_.clear();
        QAction* item = recentItem(wallpaper.title);
        ASSERT_TRUE(item);
        item->trigger();
    }
    // Runs the toast's queued changes and its timed hides, a few rounds deep.
    void settleToast()
    {
        for (int round = 0; round < 8; ++round) {
            settle();
            delays_.runScheduled();
        }
    }
    QStringList progressAfter(const QString& message) const
    {
        const QStringList& events = toastEvents_.events();
        return events.mid(events.indexOf(u"message:" + message)).filter(QStringLiteral("progress:"));
    }
    // Each line is in the log, in this order.
    void expectLinesInOrder(const QStringList& expected) const
    {
        qsizetype previous = -1;
        for (const QString& line : expected) {
            const qsizetype at = log_.lines().indexOf(line);
            EXPECT_GT(at, previous) << line.toStdString();
            previous = at;
        }
    }
};

struct Start {
    const char* name;
    const char* firstProgress;
    int downloads;
};

class MenuApplyStartTest : public MenuApplyPipelineTest, public ::testing::WithParamInterface<Start> {};

TEST_P(MenuApplyStartTest, AChosenRecentReachesTheDesktopAndTheStillPicture)
{
    const Start start = GetParam();
    const QString kind = QString::fromLatin1(start.name);
    const qint64 key = kind == u"Own" ? 71 : kCatalogueKey;
    WallpaperModel wallpaper = kind == u"Own" ? ownWallpaper(key) : record(key);
    if (kind == u"Cached")
        cachedRequest(key);

    choose(wallpaper);
    waitForRuns();

    EXPECT_EQ(shownKey(), key);
    EXPECT_EQ(recents_.recentsOrder().first(), key);
    EXPECT_TRUE(manager_->isWallpaperRunning());
    // The run's own toast from its start, before the video is looked for.
    EXPECT_EQ(toastEvents_.messages().first(), QStringLiteral("message:Applying wallpaper"));
    EXPECT_EQ(toastEvents_.messages().contains(QStringLiteral("message:Downloading wallpaper")), start.downloads > 0);
    EXPECT_EQ(toastEvents_.messages().last(), QStringLiteral("message:Wallpaper applied"));
    if (start.firstProgress) {
        EXPECT_EQ(toastEvents_.events().filter(QStringLiteral("progress:")).first(), QString::fromLatin1(start.firstProgress));
    }
    EXPECT_EQ(toastEvents_.events().filter(QStringLiteral("progress:")).last(), QStringLiteral("progress:1"));
    EXPECT_EQ(delays_.scheduled().last(), 2000);
    EXPECT_TRUE(trace_.steps().contains(QStringLiteral("still picture")));
    EXPECT_EQ(catalogue_.server().requestCount(masterPath(key)), start.downloads);
    EXPECT_TRUE(log_.contains(QStringLiteral("✅ Wallpaper ") + QString::number(key) + QStringLiteral(" applied from menu")));
}

INSTANTIATE_TEST_SUITE_P(Sources, MenuApplyStartTest,
    ::testing::Values(Start{"Own", "progress:0.5", 0}, Start{"Cached", "progress:0.5", 0},
        // The bar of a download is the next test's.
        Start{"Download", nullptr, 1}),
    [](const ::testing::TestParamInfo<Start>& row) { return std::string(row.param.name); });

// Another program's picture drawn over the video: every apply from the tray says so in its toast
// and the log, never "applied", and the toast stays until its words can be read.
TEST_F(MenuApplyPipelineTest, EveryApplyUnderACoveringPictureSaysSo)
{
    FakeLiveWallpaperSupport covered(true, kCoveringNotice);
    Shared<LiveWallpaperSupport>::Override coveredGuard(covered);
    for (const qint64 key : {kCatalogueKey, kOtherCatalogueKey}) {
        SCOPED_TRACE(key);
        cachedRequest(key);
        choose(record(key));
        waitForRuns();
        EXPECT_EQ(shownKey(), key);
        EXPECT_EQ(toastEvents_.messages().last(), u"message:" + kCoveringNotice);
        settleToast();
        EXPECT_TRUE(delays_.scheduled().contains(unreadMs(kCoveringNotice, 4.0))) << "the toast went before its words could be read";
    }
    EXPECT_EQ(log_.lines().filter(kCoveringNotice).size(), 2);
}

TEST_F(MenuApplyPipelineTest, ADownloadFillsTheBarToNinetyPercentBeforeApplying)
{
    choose(record(kCatalogueKey));
    waitForRuns();

    const QStringList progress = toastEvents_.events().filter(QStringLiteral("progress:"));
    const qsizetype applying = progress.indexOf(QStringLiteral("progress:0.95"));
    ASSERT_GT(applying, 0);
    for (const QString& step : progress.mid(0, applying))
        EXPECT_LE(step.mid(9).toDouble(), 0.9) << step.toStdString();
}

TEST_F(MenuApplyPipelineTest, AFailedChoiceKeepsTheWallpaperThatWasPlaying)
{
    showOnDesktop(cachedRequest(kCatalogueKey));
    catalogue_.server().setFault(masterPath(kOtherCatalogueKey), Fault{.status = 500});

    choose(record(kOtherCatalogueKey, QStringLiteral("Harbour at Dusk")));
    waitForRuns();

    EXPECT_EQ(shownKey(), kCatalogueKey);
    for (const auto& [id, entry] : engine_.entries())
        EXPECT_TRUE(entry.window->isVisible()) << id;
    EXPECT_EQ(toastEvents_.messages().last(), QStringLiteral("message:Failed to apply wallpaper"));
    EXPECT_EQ(toast_.progress(), 0);
    EXPECT_EQ(delays_.scheduled().last(), 3000);
    EXPECT_FALSE(log_.lines().filter(QStringLiteral("❌ Failed to apply wallpaper from menu: ")).isEmpty());
    EXPECT_FALSE(trace_.steps().contains(QStringLiteral("still picture")));
}

// An own video whose file is gone fails before its first stage: the failure is told in the
// run's own toast on the panel, also once an earlier run's toast has gone, where it was written
// into that hidden toast and nothing showed.
TEST_F(MenuApplyPipelineTest, AnOwnVideoThatIsGoneFailsInTheRunsOwnToast)
{
    for (const bool afterAnEarlierRun : {false, true}) {
        SCOPED_TRACE(afterAnEarlierRun ? "after an earlier run's toast went" : "first run");
        if (afterAnEarlierRun) {
            choose(ownWallpaper(73));
            waitForRuns();
            settleToast();
            ASSERT_FALSE(toast_.isPresented());
        }
        const WallpaperModel gone = ownWallpaper(74);
        ASSERT_TRUE(QFile::remove(gone.masterUrl->toLocalFile()));
        bool failureShown = false;
        QObject guard;
        QObject::connect(&toast_, &NotificationManager::isPresentedChanged, &guard,
            [&] { failureShown = failureShown || (toast_.isPresented() && toast_.message() == QStringLiteral("Failed to apply wallpaper")); });
        QObject::connect(&toast_, &NotificationManager::messageChanged, &guard,
            [&] { failureShown = failureShown || (toast_.isPresented() && toast_.message() == QStringLiteral("Failed to apply wallpaper")); });
        choose(gone);
        waitForRuns();
        ASSERT_EVENTUALLY(failureShown, 5000) << toastEvents_.events().join(u", ").toStdString();
        EXPECT_EQ(delays_.scheduled().last(), 3000);
        settleToast();
    }
}

TEST_F(MenuApplyPipelineTest, ARecordWithoutVideoOnlyStopsThePlaylist)
{
    rotate(ownPlaylist(QStringLiteral("Evenings"), {71, 72}));
    const qint64 playing = *shownKey();
    WallpaperModel noVideo = record(kCatalogueKey, QStringLiteral("No Video"));
    noVideo.masterUrl.reset();

    choose(noVideo);
    settle();

    EXPECT_TRUE(log_.contains(QStringLiteral("Cannot apply wallpaper from menu: missing masterUrl or key")));
    EXPECT_FALSE(rotation_.activePlaylistId());
    EXPECT_EQ(manager_->activeRuns(), 0);
    EXPECT_EQ(shownKey(), playing);
    EXPECT_TRUE(toastEvents_.messages().isEmpty());
}

TEST_F(MenuApplyPipelineTest, TheLaterOfTwoQuickChoicesWins)
{
    catalogue_.server().setFault(masterPath(kOtherCatalogueKey), Fault{.delayMs = 1500});
    cachedRequest(kCatalogueKey);
    recents_.addWallpaper(record(kOtherCatalogueKey, QStringLiteral("Harbour at Dusk")));
    recents_.addWallpaper(record(kCatalogueKey));
    settle();

    recentItem(QStringLiteral("Harbour at Dusk"))->trigger();
    recentItem(QStringLiteral("Misty Pine Valley"))->trigger();
    waitForRuns();

    EXPECT_EQ(shownKey(), kCatalogueKey);
    EXPECT_EQ(recents_.recentsOrder().first(), kCatalogueKey);
    EXPECT_TRUE(log_.contains(QStringLiteral("Wallpaper ") + QString::number(kOtherCatalogueKey) + QStringLiteral(" not applied - a newer choice replaced it")));
}

// Shown over by another toast (an import) while its download runs, the tray's apply comes back
// to tell its end once that toast hides; one that a choice made elsewhere replaced never does.
TEST_F(MenuApplyPipelineTest, AToastShownOverComesBackWithItsEndUnlessAChoiceElsewhereReplacedIt)
{
    const struct {
        const char* name;
        bool choiceElsewhere;
        QStringList hidden;
    } cases[] = {
        {"ends while shown over", false, {QStringLiteral("Copying clip.mp4…"), QStringLiteral("Wallpaper applied")}},
        {"replaced by a choice elsewhere", true, {QStringLiteral("Copying clip.mp4…")}},
    };
    catalogue_.server().setFault(masterPath(kOtherCatalogueKey), Fault{.delayMs = 800});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // Downloaded again each time, so the run is under way when the other choice is made.
        QFile::remove(WallpaperDownloadService::folderPath() + u'/' + WallpaperDownloadService::fileName(kOtherCatalogueKey));
        QStringList hidden;
        QObject guard;
        QObject::connect(&toast_, &NotificationManager::isPresentedChanged, &guard, [&] {
            if (!toast_.isPresented())
                hidden.append(toast_.message());
        });
        choose(record(kOtherCatalogueKey, QStringLiteral("Harbour at Dusk")));
        ASSERT_EVENTUALLY(toast_.isPresented(), kWaitMs);
        const NotificationManager::Ticket import = toast_.show(QStringLiteral("Adding Video"), QStringLiteral("Copying clip.mp4…"), QImage(), 0.25, true);
        toast_.takeTurns(import);
        if (c.choiceElsewhere)
            engine_.start(QUrl::fromLocalFile(clipPath()), 99);
        waitForRuns();
        EXPECT_EQ(toast_.message(), QStringLiteral("Copying clip.mp4…")) << "the import keeps the panel";

        toast_.hide(import, 0);
        settleToast();
        EXPECT_EQ(hidden, c.hidden);
        EXPECT_FALSE(toast_.isPresented());
        engine_.stopAll();
    }
}

// A choice from the other surface (the main window for the tray, the tray for the main window)
// that takes every display replaces a download under way: once the newer choice's toast hides,
// the replaced download's toast never comes back, neither while it downloads nor when it ends.
// A choice for one display only leaves the run the other: its toast comes back with its end.
TEST_F(MenuApplyPipelineTest, AToastReplacedByAChoiceFromTheOtherSurfaceNeverComesBack)
{
    enum class First { tray, mainWindow };
    const struct {
        const char* name;
        First first;
        // The newer choice leaves the download one display: it still lands and tells its end.
        bool oneDisplayOnly;
        QStringList hidden;
    } cases[] = {
        {"tray download replaced by the main window", First::tray, false, {QStringLiteral("Wallpaper applied")}},
        {"main-window download replaced by the tray", First::mainWindow, false, {QStringLiteral("Wallpaper applied")}},
        {"tray download, one display chosen in the main window", First::tray, true,
            {QStringLiteral("Wallpaper applied"), QStringLiteral("Wallpaper applied")}},
    };
    QFile clip(clipPath());
    ASSERT_TRUE(clip.open(QIODevice::ReadOnly));
    const QByteArray video = clip.readAll();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        engine_.stopAll();
        QFile::remove(WallpaperDownloadService::folderPath() + u'/' + WallpaperDownloadService::fileName(kOtherCatalogueKey));
        HeldMasterServer held(video, 0);
        WallpaperModel slow = record(kOtherCatalogueKey, QStringLiteral("Harbour at Dusk"));
        slow.masterUrl = held.masterUrl(kOtherCatalogueKey);
        WallpaperApplyRequest chosen = cachedRequest(kCatalogueKey);
        if (c.oneDisplayOnly)
            chosen.screenIndices = QSet<int>{0};
        // What the panel held each time it hid.
        QStringList hidden;
        QObject guard;
        QObject::connect(&toast_, &NotificationManager::isPresentedChanged, &guard, [&] {
            if (!toast_.isPresented())
                hidden.append(toast_.message());
        });

        std::optional<QCoro::Task<>> mainWindowDownload;
        if (c.first == First::tray) {
            choose(slow);
        } else {
            mainWindowDownload.emplace(service_.applyWallpaper(
                WallpaperApplyRequest{.key = kOtherCatalogueKey, .videoURL = *slow.masterUrl, .wallpaper = slow}));
        }
        ASSERT_TRUE(waitUntil([&] { return held.held() == 1 && toast_.isPresented(); }));
        if (c.first == First::tray) {
            waitForTask(service_.applyWallpaper(chosen));
        } else {
            choose(record(kCatalogueKey));
            waitForRuns();
        }
        // The newer choice's toast has its time and goes while the download is still held.
        settleToast();
        EXPECT_EQ(toast_.isPresented(), c.oneDisplayOnly) << toast_.message().toStdString();

        held.release();
        waitForRuns();
        if (mainWindowDownload) {
            EXPECT_THROW(waitForTask(std::move(*mainWindowDownload)), WallpaperApplyError);
        }
        settleToast();
        EXPECT_FALSE(toast_.isPresented());
        EXPECT_EQ(hidden, c.hidden);
        EXPECT_TRUE(engine_.isShowing(kCatalogueKey));
        EXPECT_EQ(engine_.isShowing(kOtherCatalogueKey), c.oneDisplayOnly);
    }
    engine_.stopAll();
}

// Removing the wallpaper shows no toast of its own: the download's toast must not stay up.
TEST_F(MenuApplyPipelineTest, AWallpaperRemovedDuringTheDownloadTakesTheToastDown)
{
    catalogue_.server().setFault(masterPath(kOtherCatalogueKey), Fault{.delayMs = 800});
    choose(record(kOtherCatalogueKey, QStringLiteral("Harbour at Dusk")));
    ASSERT_EVENTUALLY(toast_.isPresented(), kWaitMs);
    engine_.stopAll();
    waitForRuns();
    settleToast();

    EXPECT_FALSE(shownKey());
    EXPECT_FALSE(toast_.isPresented()) << toast_.message().toStdString();
}

TEST_F(MenuApplyPipelineTest, WithTheLockScreenOnTheVideoIsInstalledThere)
{
    setLockScreenFeature(true);
    cachedRequest(kCatalogueKey);
    const QString key = QString::number(kCatalogueKey);

    choose(record(kCatalogueKey));
    waitForRuns();

    EXPECT_EQ(shownKey(), kCatalogueKey);
    EXPECT_EQ(menuSleeps_, QList<int>{500});
    // The lock-screen step ends with its own word, as the desktop's did.
    EXPECT_EQ(toastEvents_.messages(),
        (QStringList{"message:Applying wallpaper", "message:Wallpaper applied", "message:Applying Lock Screen", "message:Lock Screen set"}));
    EXPECT_EQ(progressAfter(QStringLiteral("Applying Lock Screen")),
        (QStringList{"progress:0", "progress:0.1", "progress:0.25", "progress:0.35", "progress:0.5", "progress:0.6", "progress:0.75",
            "progress:0.85", "progress:0.9", "progress:0.95", "progress:1"}));
    EXPECT_FALSE(trace_.steps().contains(QStringLiteral("still picture")));
    EXPECT_FALSE(conversion_.hasConvertedVideo(kCatalogueKey));
    EXPECT_TRUE(QFileInfo::exists(folders_.installedMoviePath()));
    expectLinesInOrder({"🔄 [MenuBarManager] Converting MP4 to MOV for key " + key + "...",
        "✅ Converted master.mp4 to " + key + ".mov (stored in Caches, ready for lock screen)",
        "✅ Copied thumbnail to Apple wallpaper thumbnails directory", "✅ Copied MOV file to Apple wallpaper videos directory",
        "✅ Restarted WallpaperAerialsExtension", "✅ Deleted MOV file from Caches after successful lock screen application",
        "✅ Wallpaper " + key + " applied from menu"});
}

TEST_F(MenuApplyPipelineTest, AChoiceMadeWhileTheMovieIsConvertedKeepsTheLockScreen)
{
    setLockScreenFeature(true);
    cachedRequest(kCatalogueKey);
    static constexpr qint64 kChosenElsewhere = 99;
    conversion_.setStepHook([this](const QString& step) {
        if (step == QLatin1String("movie converted"))
            engine_.start(QUrl::fromLocalFile(clipPath()), kChosenElsewhere);
    });

    choose(record(kCatalogueKey));
    waitForRuns();

    EXPECT_EQ(shownKey(), kChosenElsewhere);
    EXPECT_FALSE(QFileInfo::exists(folders_.installedMoviePath()));
    EXPECT_TRUE(conversion_.hasConvertedVideo(kCatalogueKey)) << "kept for the next apply of the key";
    settleToast();
    EXPECT_FALSE(toast_.isPresented()) << "the run's toast went with it";
    EXPECT_TRUE(log_.contains(QStringLiteral("Wallpaper ") + QString::number(kCatalogueKey) + QStringLiteral(" not applied - a newer choice replaced it")));
}

TEST_F(MenuApplyPipelineTest, AFailedLockScreenInstallLeavesTheDesktopApplied)
{
    setLockScreenFeature(true);
    failAtStep_ = QStringLiteral("movie converted");
    cachedRequest(kCatalogueKey);

    choose(record(kCatalogueKey));
    waitForRuns();

    EXPECT_EQ(shownKey(), kCatalogueKey);
    EXPECT_EQ(toast_.progress(), 0);
    // The toast says why, for as long as any failure.
    EXPECT_EQ(toastEvents_.messages().last(), QStringLiteral("message:Lock screen not set: stopped at movie converted"));
    EXPECT_EQ(delays_.scheduled().last(), 3000);
    expectLinesInOrder({"⚠️ Failed to process lock screen wallpaper: stopped at movie converted",
        "✅ Wallpaper " + QString::number(kCatalogueKey) + " applied from menu"});
}

TEST_F(MenuApplyPipelineTest, ChoosingAPlaylistStartsItsRotationUnlessItIsEmpty)
{
    const WallpaperPlaylist empty = playlists_.createPlaylist(QStringLiteral("Empty"), 300);
    const WallpaperPlaylist evenings = ownPlaylist(QStringLiteral("Evenings"), {71, 72});
    settle();

    playlistItem(QStringLiteral("Empty (0) - 5 mins"))->trigger();
    EXPECT_TRUE(log_.contains(QStringLiteral("Cannot play playlist: no wallpapers")));
    EXPECT_FALSE(rotation_.activePlaylistId());

    playlistItem(QStringLiteral("Evenings (2) - 5 mins"))->trigger();
    EXPECT_EQ(rotation_.activePlaylistId(), evenings.id);
    EXPECT_TRUE(waitUntil([&] { return !rotation_.isApplying() && evenings.wallpaperKeys.contains(shownKey().value_or(0)); }));
    settle();
    EXPECT_TRUE(playlistItem(QStringLiteral("Evenings (2) - 5 mins"))->isChecked());
}

// A toast shown while a tray apply runs (a personal-use import's, with its Stop) is left alone
// by every later step of the run, its hide included.
TEST_F(MenuApplyPipelineTest, AToastShownDuringATrayApplyIsLeftAlone)
{
    bool stopped = false;
    QStringList messages;
    QObject guard;
    QObject::connect(&toast_, &NotificationManager::isPresentedChanged, &guard, [&] {
        if (!toast_.isPresented() || !messages.isEmpty())
            return;
        const NotificationManager::Ticket import = toast_.show(QStringLiteral("Adding Video"), QStringLiteral("Copying…"), QImage(), 0.25, true);
        toast_.setCancelAction(import, [&stopped] { stopped = true; });
        messages.append(toast_.message());
        QObject::connect(&toast_, &NotificationManager::messageChanged, &guard, [&] { messages.append(toast_.message()); });
    });
    cachedRequest(kCatalogueKey);
    choose(record(kCatalogueKey));
    waitForRuns();
    EXPECT_EQ(shownKey(), kCatalogueKey) << "the run itself went on";
    ASSERT_FALSE(messages.isEmpty()) << "the run showed its toast";
    delays_.runScheduled();
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(messages, QStringList{QStringLiteral("Copying…")});
    EXPECT_TRUE(toast_.isPresented()) << "the run's hide is not the import's";
    EXPECT_EQ(toast_.progress(), 0.25);
    toast_.cancel();
    EXPECT_TRUE(stopped);
}

} // namespace
