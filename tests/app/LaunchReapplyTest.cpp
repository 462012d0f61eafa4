#include "support/HeldMasterServer.h"
#include "WallpaperShellFixture.h"

#include "app/LaunchReapply.h"
#include "app/NetworkReturn.h"
#include "engine/StaticWallpaperService.h"
#include "engine/WallpaperApplyService.h"
#include "engine/WallpaperDownloadService.h"
#include "backend/APIService.h"
#include "backend/WallpaperCounterService.h"
#include "foundation/Async.h"
#include "library/CustomWallpapersService.h"
#include "library/LikedWallpapersService.h"
#include "platform/Http.h"
#include "state/AppStore.h"
#include "state/HomePageService.h"
#include "state/NotificationManager.h"
#include "support/Eventually.h"
#include "support/FakeDesktopNotifications.h"
#include "support/FakeDesktopPicture.h"
#include "support/FakeLiveWallpaperSupport.h"
#include "support/SampleCatalogueFixture.h"
#include "support/SettingsReadFault.h"
#include "support/TaskWait.h"

#include <QNetworkInformation>
#include <QSignalSpy>

namespace {

// The road of an apply from the main window, with the desktop's outside pieces, each installed
// as the shared one.
struct ApplyRoad {
    FakeDesktopNotifications notifications;
    Shared<DesktopNotifications>::Override notificationsGuard{notifications};
    FakeDesktopPicture desktop;
    Shared<DesktopPicture>::Override desktopGuard{desktop};
    NotificationManager toast;
    Shared<NotificationManager>::Override toastGuard{toast};
    WallpaperApplyService applies{toast, Delays::real()};
    Shared<WallpaperApplyService>::Override appliesGuard{applies};
};

// Every wait of the re-apply is recorded and over at once, so 60 attempts take no time.
class LaunchReapplyTest : public WallpaperShellFixture {
protected:
    void run(bool isLoginLaunch)
    {
        QSignalSpy running(&reapply, &LaunchReapply::wallpaperRunning);
        QCoro::waitFor(reapply.autoApplySavedState(isLoginLaunch));
        runningSignals = int(running.count());
    }
    int waitsOf(int ms) const { return int(waits.count(ms)); }
    // What the re-apply itself logged, without the lines of the services it reads (the saved
    // state, and the own videos it never fetches).
    QStringList lines() const
    {
        QStringList own = log.lines();
        // Requests are not what the launch tells: the catalogue's figures are fetched on a timer of
        // their own, whichever case is running.
        own.removeIf([](const QString& line) {
            return line.contains(QStringLiteral("[WallpaperPersistenceService]")) || line.contains(QStringLiteral("[CustomWallpapersService]"))
                || line.contains(QStringLiteral("[APIService]"));
        });
        return own;
    }
    QString displayID() const { return HomeScreenWallpaperEngine::displayPersistenceID(mainDisplay()); }
    // A re-apply whose pauses, counted, end only when it stops or the network comes back.
    std::unique_ptr<LaunchReapply> pausingUntilTheNetworkReturns(int& pauses)
    {
        const Delays::Sleep sleep = [&pauses](int, std::stop_token stop) {
            ++pauses;
            return sleepFor(3'600'000, std::move(stop));
        };
        return std::make_unique<LaunchReapply>(Delays{sleep, Delays::real().after}, network);
    }

    QList<int> waits;
    int runningSignals = 0;
    // Runs during the next pause between two login-launch attempts.
    std::function<void()> duringRetryPause;
    // Changes only when a test says so: a pause after a failed launch otherwise ends by its time.
    NetworkReturn network{false};
    LaunchReapply reapply{Delays{[this](int ms, std::stop_token stop) {
                                     waits.append(ms);
                                     if (ms == LaunchReapply::kRetryWaitMs && duringRetryPause)
                                         std::exchange(duringRetryPause, {})();
                                     return sleepFor(0, std::move(stop));
                                 },
                              Delays::real().after},
        network};
};

TEST_F(LaunchReapplyTest, AnOrdinaryLaunchLeavesAnActivePlaylistToItsService)
{
    persistence.saveWallpaper(kKey, cacheMasterVideo(kKey));
    startPlaylist({kKey});
    log.clear();
    run(false);
    EXPECT_FALSE(engine.currentWallpaperKey());
    EXPECT_TRUE(lines().isEmpty()) << lines().join(u'\n').toStdString();
}

TEST_F(LaunchReapplyTest, PutsThePerDisplayWallpapersBack)
{
    persistence.savePerMonitorWallpaper(displayID(), kKey, cacheMasterVideo(kKey));
    persistence.saveWallpaper(7, clip());
    run(false);
    EXPECT_EQ(engine.currentWallpaperKey(), kKey);
    EXPECT_EQ(runningSignals, 1);
    EXPECT_EQ(lines(), (QStringList{"🎬 AUTO-APPLYING PER-MONITOR WALLPAPERS (priority #1)", "✅ Applied per-monitor wallpapers"}));
}

// The settings database could not be opened at launch: once it opens, its saved wallpaper comes
// back, unless a wallpaper was started meanwhile.
TEST_F(LaunchReapplyTest, TheSavedWallpaperOfASettingsDatabaseOpenedLateComesBack)
{
    struct Case {
        const char* name;
        bool chosenMeanwhile;
        qint64 shown;
    };
    const Case cases[] = {
        {"nothing chosen meanwhile", false, kKey},
        {"a wallpaper started meanwhile", true, 7},
    };
    const QUrl video = cacheMasterVideo(kKey);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        engine.stopAll();
        {
            UserDefaults stored;
            WallpaperPersistenceService(stored).saveWallpaper(kKey, video);
        }
        SettingsReadFault fault(EMFILE);
        UserDefaults late;
        WallpaperPersistenceService latePersistence(late);
        Shared<WallpaperPersistenceService>::Override persistenceOverride(latePersistence);
        LaunchReapply relaunched{Delays::real(), network};
        QCoro::waitFor(relaunched.run(false));
        EXPECT_FALSE(engine.currentWallpaperKey());
        if (c.chosenMeanwhile)
            engine.start(clip(), 7);

        log.clear();

        fault.pass();
        const QString outcome = c.chosenMeanwhile ? QStringLiteral("Stopped putting the saved wallpaper back")
                                                  : QStringLiteral("Auto-applied wallpaper to home screen");
        ASSERT_EVENTUALLY(!log.lines().filter(outcome).isEmpty(), 4 * UserDefaults::kFirstRetryMs + 30'000);
        EXPECT_EQ(engine.currentWallpaperKey(), c.shown);
    }
}

TEST_F(LaunchReapplyTest, AWallpaperShownAtOnceLeavesTheNetworkUnwatched)
{
    // The system's reachability backend and the libraries it loads are only for a recovery.
    if (QNetworkInformation::instance())
        GTEST_SKIP() << "an earlier test loaded the reachability backend";
    persistence.savePerMonitorWallpaper(displayID(), kKey, cacheMasterVideo(kKey));
    LaunchReapply watching{Delays{[](int, std::stop_token stop) { return sleepFor(0, std::move(stop)); }, Delays::real().after}};
    QCoro::waitFor(watching.autoApplySavedState(true));
    EXPECT_EQ(engine.currentWallpaperKey(), kKey);
    EXPECT_FALSE(QNetworkInformation::instance());
}

TEST_F(LaunchReapplyTest, ALoginLaunchCountsItsAttempts)
{
    persistence.savePerMonitorWallpaper(displayID(), kKey, cacheMasterVideo(kKey));
    run(true);
    EXPECT_EQ(engine.currentWallpaperKey(), kKey);
    EXPECT_TRUE(log.contains(QStringLiteral("✅ Applied per-monitor wallpapers")));
    EXPECT_EQ(lines().last(), QStringLiteral("✅ Per-monitor wallpapers applied after 1 attempt(s)"));
}

TEST_F(LaunchReapplyTest, ALoginLaunchGivesUpAfterSixtyAttempts)
{
    struct Case {
        const char* name;
        std::function<void()> arrange;
        const char* giveUpLine;
        int screenWaits;
        int retryWaits;
    };
    const QList<Case> cases{
        {"no display at all",
            [this] {
                persistence.savePerMonitorWallpaper(displayID(), kKey, cacheMasterVideo(kKey));
                screens.setScreens({});
            },
            "❌ Failed to apply per-monitor wallpapers after 60 attempts", 60, 0},
        {"a single wallpaper without a display",
            [this] {
                persistence.saveWallpaper(kKey, cacheMasterVideo(kKey));
                screens.setScreens({});
            },
            "❌ Failed to apply wallpaper after 60 seconds of retrying", 60, 0},
        {"a playlist that never shows", [this] { startPlaylist({kKey}); }, "❌ Failed to apply playlist wallpaper after 60 attempts", 0, 60},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.name);
        TempFolder fresh;
        persistence.clearAllPerMonitorWallpapers();
        persistence.clearSavedWallpaper();
        playback->deactivatePlaylist();
        screens.setScreens({mainDisplay()});
        each.arrange();
        waits.clear();
        log.clear();
        run(true);
        EXPECT_EQ(lines().last(), QString::fromUtf8(each.giveUpLine));
        EXPECT_EQ(waitsOf(LaunchReapply::kScreenWaitMs), each.screenWaits);
        EXPECT_EQ(waitsOf(LaunchReapply::kRetryWaitMs), each.retryWaits);
        EXPECT_FALSE(engine.currentWallpaperKey());
    }
}

TEST_F(LaunchReapplyTest, RecordsOfDisplaysNoLongerAttachedFallBackOnEveryDisplay)
{
    constexpr qint64 kOther = 1718000000211;
    const ScreenInfo docked = FakeScreens::display(QStringLiteral("Dock B"), QRect(320, 0, 320, 180));
    struct Case {
        const char* name;
        bool singleSaved;
        qint64 shown;
    };
    for (const Case& each : {Case{"the single saved wallpaper first", true, kKey}, Case{"else a per-display one", false, kOther}}) {
        for (const bool isLoginLaunch : {false, true}) {
            SCOPED_TRACE(std::string(each.name) + (isLoginLaunch ? ", login launch" : ""));
            TempFolder fresh;
            engine.stopAll();
            persistence.clearAllPerMonitorWallpapers();
            persistence.clearSavedWallpaper();
            screens.setScreens({FakeScreens::display(QStringLiteral("Gone"), QRect(0, 0, 1920, 1080))});
            persistence.savePerMonitorWallpaper(QStringLiteral("Gone_1920x1080"), kOther, cacheMasterVideo(kOther));
            if (each.singleSaved)
                persistence.saveWallpaper(kKey, cacheMasterVideo(kKey));
            screens.setScreens({mainDisplay(), docked});
            run(isLoginLaunch);
            EXPECT_EQ(engine.currentWallpaperKey(), each.shown);
            EXPECT_EQ(engine.entries().size(), 2u);
            EXPECT_TRUE(engine.isShowing(each.shown));
            EXPECT_EQ(runningSignals, 1);
        }
    }
}

TEST_F(LaunchReapplyTest, ASingleSavedWallpaperStartsOnEveryDisplay)
{
    persistence.saveWallpaper(kKey, cacheMasterVideo(kKey));
    run(false);
    EXPECT_EQ(engine.currentWallpaperKey(), kKey);
    EXPECT_EQ(lines(), (QStringList{"🎬 AUTO-APPLYING WALLPAPER IMMEDIATELY (priority #1): key=1718000000137",
                               "Auto-applied wallpaper to home screen"}));

    engine.stopAll();
    persistence.clearAllPerMonitorWallpapers();
    log.clear();
    run(true);
    EXPECT_EQ(lines().last(), QStringLiteral("✅ Successfully applied wallpaper after 1 second(s)"));
}

// Where the desktop draws no live wallpaper (no layer shell) the launch puts the saved
// wallpaper's still picture on instead, says so rather than "applied", and tells the user once per
// run, as an apply does; where another program's picture covers the video, that is told at every
// launch, as at every apply. Told in the toast and on the desktop.
struct LimitRow {
    const char* name;
    bool drawsLive;
    std::optional<QString> obstacle;
    bool loginLaunch;
    bool perDisplay;
    QStringList lines;
    QString notice;
    bool setsStill;
    bool toldEachTime = false;
};

class LaunchReapplyLimitTest : public LaunchReapplyTest, public ::testing::WithParamInterface<LimitRow> {
protected:
    ApplyRoad road;
    UserDefaults loginWindow{QStringLiteral("launch-limit-login-window"), UserDefaults::Storage::InMemory};
    StaticWallpaperService still{loginWindow};
    Shared<StaticWallpaperService>::Override stillGuard{still};
};

TEST_P(LaunchReapplyLimitTest, TheLaunchTellsWhatTheDesktopShows)
{
    const LimitRow& row = GetParam();
    FakeLiveWallpaperSupport support(row.drawsLive, row.obstacle);
    Shared<LiveWallpaperSupport>::Override supportGuard(support);
    const QUrl video = cacheMasterVideo(kKey);
    for (int launch = 1; launch <= 2; ++launch) {
        SCOPED_TRACE(launch);
        engine.stopAll();
        persistence.clearAllPerMonitorWallpapers();
        if (row.perDisplay)
            persistence.savePerMonitorWallpaper(displayID(), kKey, video);
        else
            persistence.saveWallpaper(kKey, video);
        const qsizetype stillPictures = road.desktop.calls().size();
        log.clear();
        run(row.loginLaunch);
        EXPECT_EQ(engine.currentWallpaperKey(), kKey);
        QStringList told = lines();
        told.removeFirst(); // the auto-applying line
        const bool tells = !row.notice.isEmpty() && (launch == 1 || row.toldEachTime);
        const QStringList expected = tells ? row.lines + QStringList{u"ℹ️ [AppDelegate] " + row.notice} : row.lines;
        EXPECT_EQ(told, expected);
        EXPECT_EQ(road.notifications.shown.size(), row.notice.isEmpty() ? 0 : row.toldEachTime ? launch : 1);
        if (tells) {
            EXPECT_EQ(road.toast.message(), row.notice);
            EXPECT_EQ(road.toast.title(), LaunchReapply::videoNotSeenSummary());
        }
        EXPECT_EQ(road.desktop.calls().size() > stillPictures, row.setsStill);
    }
    if (!row.notice.isEmpty()) {
        EXPECT_EQ(road.notifications.shown.first(), std::make_pair(LaunchReapply::videoNotSeenSummary(), row.notice));
    }
}

const QString kStillLine = QStringLiteral("🖼️ [AppDelegate] This desktop draws no live wallpaper: set the saved wallpaper's still picture");
const QString kCovered = QStringLiteral("Another picture covers the video: remove it.");

INSTANTIATE_TEST_SUITE_P(Rows, LaunchReapplyLimitTest,
    ::testing::Values(LimitRow{"StillOnly", false, std::nullopt, false, false, {kStillLine}, WallpaperApplyService::stillPictureNotice(), true},
        LimitRow{"StillOnlyAtLogin", false, std::nullopt, true, false, {kStillLine}, WallpaperApplyService::stillPictureNotice(), true},
        LimitRow{"StillOnlyPerDisplay", false, std::nullopt, true, true, {kStillLine}, WallpaperApplyService::stillPictureNotice(), true},
        LimitRow{"Covered", true, kCovered, false, false, {"Auto-applied wallpaper to home screen"}, kCovered, false, true},
        LimitRow{"CoveredPerDisplay", true, kCovered, false, true, {"✅ Applied per-monitor wallpapers"}, kCovered, false, true},
        LimitRow{"Shown", true, std::nullopt, true, false, {"✅ Successfully applied wallpaper after 1 second(s)"}, QString(), false}),
    [](const ::testing::TestParamInfo<LimitRow>& row) { return std::string(row.param.name); });

TEST_F(LaunchReapplyTest, PlaylistSuccessNamesTheAttempt)
{
    startPlaylist({kKey});
    engine.start(clip(), kKey);
    log.clear();
    run(true);
    EXPECT_EQ(lines(), QStringList{"✅ Playlist wallpaper applied after 1 attempt(s)"});
    EXPECT_EQ(runningSignals, 1);
}

// On an ordinary launch the playlist service applies the playlist by itself; when that apply
// leaves the desktop bare, the user is told and the apply is asked again once it can work.
TEST_F(LaunchReapplyTest, AFailedFirstPlaylistApplyIsToldAndAskedAgain)
{
    constexpr qint64 kOwnKey = 424242;
    CustomWallpapersService own{defaults, Paths::appSupport()};
    Shared<CustomWallpapersService>::Override ownGuard{own};
    ApplyRoad road;
    const QString file = own.folderPath() + QStringLiteral("/424242.mp4");
    WallpaperModel record;
    record.id = QUuid::createUuid();
    record.key = kOwnKey;
    record.category = QStringLiteral("Custom");
    record.masterUrl = QUrl::fromLocalFile(file);
    own.addCustomWallpaper(record);
    startPlaylist({kOwnKey});

    int pauses = 0;
    const std::unique_ptr<LaunchReapply> waiting = pausingUntilTheNetworkReturns(pauses);
    waitForTask(waiting->run(false));
    // The playlist service's own first apply, once the asset host is known; the video is away.
    playback->applyCurrentWallpaper();
    ASSERT_EVENTUALLY(road.notifications.shown.size() == 1, 10'000);
    EXPECT_EQ(road.notifications.shown.first(), std::make_pair(LaunchReapply::failureSummary(), LaunchReapply::playlistNotShown()));
    EXPECT_FALSE(engine.currentWallpaperKey());

    QDir().mkpath(own.folderPath());
    ASSERT_TRUE(QFile::copy(clip().toLocalFile(), file));
    ASSERT_EVENTUALLY(pauses == 1, 10'000);
    Q_EMIT network.cameBack();
    ASSERT_EVENTUALLY(engine.currentWallpaperKey() == kOwnKey, 10'000);
    EXPECT_EQ(road.notifications.shown.size(), 1);
}

// The catalogue behind a saved wallpaper whose video went missing.
class LaunchReapplyDownloadTest : public LaunchReapplyTest {
protected:
    static APIService::Settings backend(const SampleCatalogueFixture& catalogue)
    {
        APIService::Settings settings;
        settings.baseURL = catalogue.config().backendBaseUrl.toString();
        settings.bearerKey = catalogue.config().backendKey;
        return settings;
    }

    SampleCatalogueFixture catalogue;
    APIService api{backend(catalogue), Clock::system(), Http::shared()};
    HomePageService homePage{api};
    AppStore store{api, homePage, Delays::real()};
    Shared<AppStore>::Override storeGuard{store};
};

TEST_F(LaunchReapplyDownloadTest, AVideoGoneFromTheCacheIsFetchedAgain)
{
    ASSERT_TRUE(catalogue.isRunning());
    const QUrl cleared = QUrl::fromLocalFile(Paths::appCaches() + QStringLiteral("/Wallpapers/1718000000137.mp4"));
    persistence.saveWallpaper(kKey, cleared);
    run(false);
    EXPECT_EQ(engine.currentWallpaperKey(), kKey);
    EXPECT_TRUE(QFileInfo::exists(cleared.toLocalFile()));
    EXPECT_EQ(catalogue.server().requestCount(QStringLiteral("/wallpaper/1718000000137/master.mp4")), 1);
    EXPECT_EQ(lines().last(), QStringLiteral("Auto-applied wallpaper to home screen"));
}

TEST_F(LaunchReapplyDownloadTest, ALoginLaunchDownloadsAMissingVideoOnItsFirstAttempt)
{
    ASSERT_TRUE(catalogue.isRunning());
    persistence.saveWallpaper(kKey, QUrl(catalogue.server().baseUrl() + QStringLiteral("/wallpaper/1718000000137/master.mp4")));
    run(true);
    EXPECT_EQ(engine.currentWallpaperKey(), kKey);
    EXPECT_EQ(waitsOf(LaunchReapply::kRetryWaitMs), 0);
    EXPECT_EQ(lines().last(), QStringLiteral("✅ Successfully applied wallpaper after 1 second(s)"));
}

TEST_F(LaunchReapplyDownloadTest, ALoginLaunchRetriesAFailingDownloadEveryFifthAttempt)
{
    ASSERT_TRUE(catalogue.isRunning());
    const QString path = QStringLiteral("/wallpaper/424242/master.mp4");
    persistence.saveWallpaper(424242, QUrl(catalogue.server().baseUrl() + path));
    run(true);
    EXPECT_EQ(catalogue.server().requestCount(path), 12);
    EXPECT_EQ(lines().last(), QStringLiteral("❌ Failed to apply wallpaper after 60 seconds of retrying"));
    EXPECT_EQ(waitsOf(LaunchReapply::kRetryWaitMs), 60);

    // An ordinary launch tries once, logs the failure and ends.
    log.clear();
    run(false);
    EXPECT_EQ(catalogue.server().requestCount(path), 13);
    EXPECT_TRUE(lines().last().startsWith(QStringLiteral("⚠️ [AppDelegate] Could not download the saved wallpaper 424242")));
}

const QString kMasterPath = QStringLiteral("/wallpaper/1718000000137/master.mp4");

// The catalogue answers 200 with something that is not a video: the launch reports it and stores
// nothing, so the next launch asks again.
TEST_F(LaunchReapplyDownloadTest, AReplyThatIsNoVideoIsReportedAndNotStored)
{
    ASSERT_TRUE(catalogue.isRunning());
    catalogue.server().setFault(kMasterPath, samplecatalogue::Fault{.invalidJson = true});
    const QString master = WallpaperDownloadService::folderPath() + QStringLiteral("/1718000000137.mp4");
    persistence.savePerMonitorWallpaper(displayID(), kKey, QUrl::fromLocalFile(master));
    run(false);
    EXPECT_FALSE(engine.currentWallpaperKey());
    EXPECT_FALSE(QFileInfo::exists(master));
    EXPECT_TRUE(log.contains(QStringLiteral("⚠️ [AppDelegate] Could not download the saved wallpaper 1718000000137: Invalid response from server")));
    EXPECT_FALSE(log.contains(QStringLiteral("Applied per-monitor wallpapers")));
}

// The user's own video that was deleted since: the catalogue never had it, so it is not asked for
// it; the user hears why the desktop stays bare, and no retry follows, as none can bring it back.
TEST_F(LaunchReapplyDownloadTest, AnOwnVideoThatIsGoneIsNeverFetched)
{
    ASSERT_TRUE(catalogue.isRunning());
    constexpr qint64 kOwnKey = 424242;
    CustomWallpapersService own{defaults, Paths::appSupport()};
    Shared<CustomWallpapersService>::Override ownGuard{own};
    FakeDesktopNotifications notifications;
    Shared<DesktopNotifications>::Override notificationsGuard{notifications};
    const QUrl inFolder = QUrl::fromLocalFile(own.folderPath() + QStringLiteral("/424242.mp4"));
    WallpaperModel listed;
    listed.id = QUuid::createUuid();
    listed.key = kOwnKey;
    listed.category = QStringLiteral("Custom");
    struct Case {
        const char* name;
        bool isLoginLaunch;
        bool perDisplay;
        // Known by its key in the own list (its address elsewhere), else by its folder.
        bool byKey;
    };
    for (const Case& c : {Case{"ordinary launch", false, false, false}, Case{"login launch", true, false, false},
             Case{"per display", false, true, false}, Case{"listed by key", true, false, true}}) {
        SCOPED_TRACE(c.name);
        persistence.clearAllPerMonitorWallpapers();
        persistence.clearSavedWallpaper();
        own.clearAllCustomWallpapers();
        notifications.shown.clear();
        waits.clear();
        const QUrl address = c.byKey ? QUrl::fromLocalFile(Paths::appSupport() + QStringLiteral("/moved/424242.mp4")) : inFolder;
        if (c.byKey) {
            listed.masterUrl = address;
            own.addCustomWallpaper(listed);
        }
        if (c.perDisplay)
            persistence.savePerMonitorWallpaper(displayID(), kOwnKey, address);
        else
            persistence.saveWallpaper(kOwnKey, address);
        log.clear();
        waitForTask(reapply.run(c.isLoginLaunch));
        EXPECT_EQ(catalogue.server().requestCount(QStringLiteral("/wallpaper/424242/master.mp4")), 0);
        EXPECT_FALSE(log.contains(QStringLiteral("Could not download the saved wallpaper")));
        EXPECT_FALSE(engine.currentWallpaperKey());
        EXPECT_EQ(waitsOf(LaunchReapply::kRetryWaitMs), 0);
        EXPECT_EQ(waitsOf(LaunchReapply::kRecoveryFirstWaitMs), 0);
        ASSERT_EQ(notifications.shown.size(), 1);
        EXPECT_EQ(notifications.shown.first().first, LaunchReapply::failureSummary());
    }
}

// A launch whose download fails (a stalled master, a full disk) tells the user why, then tries
// again after growing pauses until the wallpaper shows.
TEST_F(LaunchReapplyDownloadTest, AFailedLaunchIsToldAndTriedAgainAfterAGrowingPause)
{
    ASSERT_TRUE(catalogue.isRunning());
    FakeDesktopNotifications notifications;
    Shared<DesktopNotifications>::Override notificationsGuard{notifications};
    struct Case {
        const char* name;
        bool isLoginLaunch;
        int failures;
        QList<int> pauses;
    };
    for (const Case& c : {Case{"one failure", false, 1, {10'000}}, Case{"three failures", false, 3, {10'000, 20'000, 40'000}},
             Case{"a login launch", true, 12, {10'000}}, Case{"failing for good", false, -1,
                 {10'000, 20'000, 40'000, 80'000, 160'000, 320'000, 600'000, 600'000}}}) {
        SCOPED_TRACE(c.name);
        TempFolder fresh;
        engine.stopAll();
        persistence.clearAllPerMonitorWallpapers();
        notifications.shown.clear();
        catalogue.server().clearRequests();
        catalogue.server().setFault(kMasterPath, samplecatalogue::Fault{.status = 500, .times = c.failures});
        persistence.saveWallpaper(kKey, QUrl(catalogue.server().baseUrl() + kMasterPath));
        waits.clear();
        log.clear();
        waitForTask(reapply.run(c.isLoginLaunch));
        QList<int> pauses = waits;
        pauses.removeAll(LaunchReapply::kRetryWaitMs);
        EXPECT_EQ(pauses, c.pauses);
        EXPECT_EQ(engine.currentWallpaperKey().has_value(), c.failures != -1);
        ASSERT_EQ(notifications.shown.size(), 1);
        EXPECT_EQ(notifications.shown.first().first, LaunchReapply::failureSummary());
        EXPECT_FALSE(notifications.shown.first().second.isEmpty());
        catalogue.server().clearFaults();
    }
}

// The pause after a failed launch ends as soon as the network comes back.
TEST_F(LaunchReapplyDownloadTest, TheNetworkComingBackEndsThePauseAfterAFailedLaunch)
{
    ASSERT_TRUE(catalogue.isRunning());
    FakeDesktopNotifications notifications;
    Shared<DesktopNotifications>::Override notificationsGuard{notifications};
    int pauses = 0;
    const std::unique_ptr<LaunchReapply> waiting = pausingUntilTheNetworkReturns(pauses);
    catalogue.server().setFault(kMasterPath, samplecatalogue::Fault{.status = 500, .times = 1});
    persistence.saveWallpaper(kKey, QUrl(catalogue.server().baseUrl() + kMasterPath));
    QCoro::Task<> launch = waiting->run(false);
    ASSERT_EVENTUALLY(pauses == 1, 15'000);
    EXPECT_FALSE(engine.currentWallpaperKey());
    Q_EMIT network.cameBack();
    waitForTask(std::move(launch));
    EXPECT_EQ(engine.currentWallpaperKey(), kKey);
    EXPECT_EQ(catalogue.server().requestCount(kMasterPath), 2);
}

struct DamagedMasterCase {
    const char* name;
    // Damages the stored master at the path.
    std::function<void(const QString& path)> damage;
};

class DamagedMasterTest : public LaunchReapplyDownloadTest, public ::testing::WithParamInterface<DamagedMasterCase> {};

// A stored master that cannot be played is fetched again before it is applied.
TEST_P(DamagedMasterTest, IsFetchedAgainAtLaunch)
{
    ASSERT_TRUE(catalogue.isRunning());
    const QUrl address(catalogue.server().baseUrl() + kMasterPath);
    const QString master = waitForTask(WallpaperDownloadService::shared().downloadWallpaper(address, kKey, {})).toLocalFile();
    QFile file(master);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray whole = file.readAll();
    file.close();
    GetParam().damage(master);
    persistence.savePerMonitorWallpaper(displayID(), kKey, QUrl::fromLocalFile(master));

    run(false);
    EXPECT_EQ(catalogue.server().requestCount(kMasterPath), 2);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), whole);
    EXPECT_EQ(engine.currentWallpaperKey(), kKey);
    EXPECT_TRUE(log.contains(QStringLiteral("🗑️ [LocalVideoResolver] Removed a cached master that cannot be played: 1718000000137.mp4")));
}

INSTANTIATE_TEST_SUITE_P(Damage, DamagedMasterTest,
    ::testing::Values(DamagedMasterCase{"CutInHalf", [](const QString& path) { QFile(path).resize(QFileInfo(path).size() / 2); }},
        // An older version stored a portal's page, with no record of its size.
        DamagedMasterCase{"APageStoredWithoutARecord",
            [](const QString& path) {
                QFile::remove(path + QStringLiteral(".size"));
                QFile page(path);
                if (page.open(QIODevice::WriteOnly | QIODevice::Truncate))
                    page.write("<html><body>Sign in to the network</body></html>");
            }}),
    [](const auto& param) { return std::string(param.param.name); });

const QString kGaveWay = QStringLiteral("⏹️ [AppDelegate] Stopped putting the saved wallpaper back: the desktop was changed since it began");

// A saved wallpaper whose master comes slowly, while the user (or the rotation) applies another.
class LaunchReapplyChoiceTest : public LaunchReapplyDownloadTest {
protected:
    static constexpr qint64 kChosen = 1718000000211;

    static QByteArray clipBytes()
    {
        QFile file(clip().toLocalFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // The user applies another video to Display 1 from the main window, to its end.
    void applyChosen()
    {
        WallpaperApplyRequest request{.key = kChosen, .videoURL = clip(), .isCustom = true, .screenIndices = QSet<int>{0}};
        waitForTask(road.applies.applyWallpaper(std::move(request)));
    }
    // Nothing on the desktop and nothing saved.
    void forgetEverything()
    {
        engine.stopAll();
        persistence.clearAllPerMonitorWallpapers();
        persistence.clearSavedWallpaper();
    }
    QString restartedLines() const { return lines().filter(QStringLiteral("Trying the saved wallpaper again")).join(u'\n'); }
    // The chosen wallpaper joins the liked list, its master video at `master`.
    static void likeChosen(LikedWallpapersService& liked, const QUrl& master)
    {
        WallpaperModel record;
        record.id = QUuid::createUuid();
        record.key = kChosen;
        record.title = QStringLiteral("Slow");
        record.masterUrl = master;
        liked.addWallpaper(record, true);
    }

    ApplyRoad road;
    FakeDesktopNotifications& notifications = road.notifications;
};

// Whatever the path was waiting for (a download, a pause between attempts), once another wallpaper
// was applied the launch leaves it on screen and in the saved records, and says why it stopped.
TEST_F(LaunchReapplyChoiceTest, AWallpaperAppliedMeanwhileStaysChosen)
{
    ASSERT_TRUE(catalogue.isRunning());
    enum class During { download, pause };
    struct Case {
        const char* name;
        bool perDisplay;
        bool isLoginLaunch;
        // Master requests answered with a failure before one is held.
        int failures;
        During during;
    };
    const Case cases[] = {
        {"per-display record", true, false, 0, During::download},
        {"per-display record, login launch", true, true, 0, During::download},
        {"per-display record, login launch, between attempts", true, true, 1, During::pause},
        {"single saved wallpaper, first try", false, false, 0, During::download},
        {"single saved wallpaper, login launch's first attempt", false, true, 0, During::download},
        {"single saved wallpaper, login launch's sixth attempt", false, true, 1, During::download},
        {"single saved wallpaper, login launch, between attempts", false, true, 1, During::pause},
        {"the recovery after a failed launch", false, false, 1, During::download},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder fresh;
        forgetEverything();
        HeldMasterServer held(clipBytes(), c.failures);
        if (c.perDisplay)
            persistence.savePerMonitorWallpaper(displayID(), kKey, held.masterUrl(kKey));
        else
            persistence.saveWallpaper(kKey, held.masterUrl(kKey));
        if (c.during == During::pause) {
            held.release();
            // What the tray's apply does once its video is there.
            duringRetryPause = [this] { engine.start(clip(), kChosen); };
        }
        log.clear();
        QSignalSpy running(&reapply, &LaunchReapply::wallpaperRunning);

        QCoro::Task<> launch = reapply.run(c.isLoginLaunch);
        if (c.during == During::download) {
            ASSERT_EVENTUALLY(held.held() == 1, 30'000);
            applyChosen();
            held.release();
        }
        waitForTask(std::move(launch));

        EXPECT_EQ(engine.currentWallpaperKey(), kChosen);
        EXPECT_FALSE(engine.isShowing(kKey));
        ASSERT_TRUE(persistence.loadSavedWallpaper());
        EXPECT_EQ(persistence.loadSavedWallpaper()->key, kChosen);
        EXPECT_EQ(persistence.loadPerMonitorWallpaper(displayID())->key, kChosen);
        EXPECT_EQ(running.count(), 0);
        EXPECT_EQ(log.lines().count(kGaveWay), 1) << lines().join(u'\n').toStdString();
        // Nothing more is fetched for it.
        EXPECT_EQ(held.requests(), c.failures + (c.during == During::download ? 1 : 0));
        EXPECT_FALSE(duringRetryPause);
        duringRetryPause = {};
    }
}

// Two displays with a record each; while the launch downloads the second display's master, the
// user applies to one display: that display keeps the choice, the other still gets its record.
TEST_F(LaunchReapplyChoiceTest, AChoiceForOneDisplayLeavesTheOthersRestore)
{
    ASSERT_TRUE(catalogue.isRunning());
    constexpr qint64 kSlow = 1718000000307;
    const ScreenInfo second = FakeScreens::display(QStringLiteral("Display B"), QRect(320, 0, 320, 180));
    const QString secondID = HomeScreenWallpaperEngine::displayPersistenceID(second);
    struct Case {
        const char* name;
        int chosenPosition;
        // What each display shows afterwards and keeps in its record.
        qint64 first;
        qint64 second;
    };
    const Case cases[] = {
        {"the display already restored", 0, kChosen, kSlow},
        {"the display whose master is on its way", 1, kKey, kChosen},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder fresh;
        forgetEverything();
        screens.setScreens({mainDisplay(), second});
        HeldMasterServer held(clipBytes(), 0);
        persistence.savePerMonitorWallpaper(displayID(), kKey, cacheMasterVideo(kKey));
        persistence.savePerMonitorWallpaper(secondID, kSlow, held.masterUrl(kSlow));
        log.clear();

        QCoro::Task<> launch = reapply.run(false);
        ASSERT_EVENTUALLY(held.held() == 1, 30'000);
        WallpaperApplyRequest request{.key = kChosen, .videoURL = clip(), .isCustom = true, .screenIndices = QSet<int>{c.chosenPosition}};
        waitForTask(road.applies.applyWallpaper(std::move(request)));
        held.release();
        waitForTask(std::move(launch));

        const quint32 firstDisplay = HomeScreenWallpaperEngine::displayID(mainDisplay());
        const quint32 secondDisplay = HomeScreenWallpaperEngine::displayID(second);
        ASSERT_EQ(engine.entries().size(), 2u);
        EXPECT_EQ(engine.entries().at(firstDisplay).wallpaperKey, c.first);
        EXPECT_EQ(engine.entries().at(secondDisplay).wallpaperKey, c.second);
        EXPECT_EQ(persistence.loadPerMonitorWallpaper(displayID())->key, c.first);
        EXPECT_EQ(persistence.loadPerMonitorWallpaper(secondID)->key, c.second);
        EXPECT_EQ(log.lines().count(kGaveWay), 0) << lines().join(u'\n').toStdString();
    }
}

// After a failed launch the recovery waits; a display that comes back meanwhile with its own saved
// wallpaper puts something on screen without anyone applying: the recovery leaves it as it is.
TEST_F(LaunchReapplyChoiceTest, TheRecoveryLeavesWhatADisplayChangeShows)
{
    ASSERT_TRUE(catalogue.isRunning());
    const ScreenInfo docked = FakeScreens::display(QStringLiteral("Dock B"), QRect(320, 0, 320, 180));
    persistence.savePerMonitorWallpaper(HomeScreenWallpaperEngine::displayPersistenceID(docked), kChosen, cacheMasterVideo(kChosen));
    catalogue.server().setFault(kMasterPath, samplecatalogue::Fault{.status = 500, .times = 1});
    persistence.saveWallpaper(kKey, QUrl(catalogue.server().baseUrl() + kMasterPath));
    int pauses = 0;
    const std::unique_ptr<LaunchReapply> waiting = pausingUntilTheNetworkReturns(pauses);
    QCoro::Task<> launch = waiting->run(false);
    ASSERT_EVENTUALLY(pauses == 1, 30'000);
    ASSERT_FALSE(engine.currentWallpaperKey());

    screens.setScreens({mainDisplay(), docked});
    engine.handleScreenConfigurationChange();
    engine.reapplySavedPerMonitorWallpapers();
    ASSERT_EQ(engine.currentWallpaperKey(), kChosen);
    const quint64 changes = engine.applyGeneration();
    Q_EMIT network.cameBack();
    waitForTask(std::move(launch));
    EXPECT_EQ(engine.applyGeneration(), changes);
    EXPECT_FALSE(engine.isShowing(kKey));
    EXPECT_EQ(catalogue.server().requestCount(kMasterPath), 1);
    EXPECT_TRUE(restartedLines().isEmpty()) << restartedLines().toStdString();
}

// The playlist service starts its first apply before the launch's work begins; that work leaves
// it to land, so the launch reports no failure (no log line, no desktop notification) and the
// wallpaper is downloaded once.
TEST_F(LaunchReapplyChoiceTest, APlaylistsFirstApplyUnderWayIsNoFailureOfTheLaunch)
{
    ASSERT_TRUE(catalogue.isRunning());
    const struct {
        const char* name;
        bool isLoginLaunch;
        QString success;
    } cases[] = {
        {"ordinary launch", false, QString()},
        {"login launch", true, QStringLiteral("✅ Playlist wallpaper applied after 2 attempt(s)")},
    };
    LikedWallpapersService liked{defaults, playlists, WallpaperCounterService::shared()};
    Shared<LikedWallpapersService>::Override likedGuard{liked};
    ASSERT_EVENTUALLY(!liked.isLoading(), 10'000);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder fresh;
        forgetEverything();
        playback->deactivatePlaylist();
        HeldMasterServer held(clipBytes(), 0);
        likeChosen(liked, held.masterUrl(kChosen));
        startPlaylist({kChosen});
        ASSERT_EVENTUALLY(held.held() == 1, 30'000);
        log.clear();

        // The launch's pauses last until the playlist's apply has ended.
        std::stop_source applyEnded;
        const Delays::Sleep sleep = [&applyEnded](int, std::stop_token) { return sleepFor(3'600'000, applyEnded.get_token()); };
        LaunchReapply waiting{Delays{sleep, Delays::real().after}, network};
        QCoro::Task<> launch = waiting.run(c.isLoginLaunch);
        held.release();
        ASSERT_EVENTUALLY(engine.currentWallpaperKey() == kChosen && !playback->isApplying(), 30'000);
        applyEnded.request_stop();
        waitForTask(std::move(launch));
        EXPECT_TRUE(notifications.shown.isEmpty()) << notifications.shown.value(0).second.toStdString();
        const QStringList said = lines();
        EXPECT_TRUE(said.filter(QStringLiteral("not on the desktop")).isEmpty()) << said.join(u'\n').toStdString();
        EXPECT_TRUE(said.filter(QStringLiteral("Failed to apply")).isEmpty()) << said.join(u'\n').toStdString();
        if (!c.success.isEmpty()) {
            EXPECT_TRUE(said.contains(c.success)) << said.join(u'\n').toStdString();
        }
        EXPECT_EQ(held.requests(), 1);
    }
}

// While the playlist's own apply hangs on a slow master, the recovery asks nothing and counts no
// try; once the apply ends with the wallpaper on screen, it is done.
TEST_F(LaunchReapplyChoiceTest, TheRecoveryCountsNoTryWhileThePlaylistsApplyIsStalled)
{
    ASSERT_TRUE(catalogue.isRunning());
    HeldMasterServer held(clipBytes(), 1);
    LikedWallpapersService liked{defaults, playlists, WallpaperCounterService::shared()};
    Shared<LikedWallpapersService>::Override likedGuard{liked};
    ASSERT_EVENTUALLY(!liked.isLoading(), 10'000);
    likeChosen(liked, held.masterUrl(kChosen));

    int pauses = 0;
    const std::unique_ptr<LaunchReapply> waiting = pausingUntilTheNetworkReturns(pauses);
    startPlaylist({kChosen}); // its first apply fails
    waitForTask(waiting->run(false));
    ASSERT_EVENTUALLY(pauses == 1, 30'000);
    ASSERT_EQ(notifications.shown.size(), 1);

    playback->applyCurrentWallpaper();
    ASSERT_EVENTUALLY(held.held() == 1, 30'000);
    for (int returns = 1; returns <= 2; ++returns) {
        Q_EMIT network.cameBack();
        ASSERT_EVENTUALLY(pauses == 1 + returns, 30'000);
    }
    EXPECT_TRUE(playback->isApplying());
    EXPECT_TRUE(restartedLines().isEmpty()) << restartedLines().toStdString();

    held.release();
    ASSERT_EVENTUALLY(engine.currentWallpaperKey() == kChosen, 30'000);
    ASSERT_EVENTUALLY(!playback->isApplying(), 30'000);
    Q_EMIT network.cameBack();
    EXPECT_EQ(held.requests(), 2);
    EXPECT_TRUE(restartedLines().isEmpty()) << restartedLines().toStdString();
}

} // namespace
