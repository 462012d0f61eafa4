#include "engine/ApplyHarness.h"

#include "engine/DownloadError.h"
#include "engine/EngineError.h"
#include "engine/WallpaperApplyError.h"
#include "platform/MediaTools.h"
#include "support/FakeLiveWallpaperSupport.h"
#include "support/HeldMasterServer.h"

#include <QFileInfo>

namespace {

using samplecatalogue::Fault;

QStringList progressOf(const QStringList& events) { return events.filter(QStringLiteral("progress:")); }

template <typename Error>
std::optional<Error> as(std::exception_ptr failure)
{
    try {
        if (failure)
            std::rethrow_exception(failure);
    } catch (const Error& error) {
        return error;
    } catch (const std::exception& other) {
        ADD_FAILURE() << "another error: " << other.what();
    }
    return std::nullopt;
}

// One row of what each combination of options does, from a catalogue wallpaper whose master
// video is cached or from an own video.
struct Combination {
    const char* name;
    bool isCustom;
    bool lockScreenOnly;
    bool skipLockScreenPipeline;
    bool lockScreenFeature;
    QStringList steps;
    QStringList messages;
    QStringList progress;
    bool counted;
};

const QStringList kDesktop{"desktop video", "menu thumbnail", "recents"};
const QStringList kStill{"still picture", "menu thumbnail"};
const QStringList kLockScreen{"movie converted", "thumbnail installed", "movie installed", "extension restarted", "converted movie removed"};
const QStringList kOwnLockScreen{"movie converted", "movie installed", "extension restarted", "converted movie removed"};
const QStringList kLockProgress{"progress:0", "progress:0.1", "progress:0.25", "progress:0.35", "progress:0.5", "progress:0.6",
    "progress:0.75", "progress:0.85", "progress:0.9", "progress:0.95", "progress:1"};
const QStringList kOwnLockProgress{"progress:0", "progress:0.1", "progress:0.25", "progress:0.5", "progress:0.6", "progress:0.75",
    "progress:0.85", "progress:0.9", "progress:0.95", "progress:1"};
const QStringList kApplied{"message:Applying...", "message:Wallpaper applied"};
const QStringList kAppliedProgress{"progress:0.5", "progress:1"};

class ApplyCombinationTest : public ApplyHarness, public ::testing::WithParamInterface<Combination> {};

TEST_P(ApplyCombinationTest, RunsItsStepsWithItsToastStates)
{
    const Combination& row = GetParam();
    setLockScreenFeature(row.lockScreenFeature);
    WallpaperApplyRequest request = row.isCustom ? customRequest(424242) : cachedRequest();
    request.lockScreenOnly = row.lockScreenOnly;
    request.skipLockScreenPipeline = row.skipLockScreenPipeline;

    waitForTask(service_.applyWallpaper(request));

    EXPECT_EQ(trace_.steps(), row.steps);
    EXPECT_EQ(toastEvents_.messages(), row.messages);
    EXPECT_EQ(progressOf(toastEvents_.events()), row.progress);
    EXPECT_EQ(toast_.title(), request.wallpaper->title);
    const bool lockScreenRan = row.lockScreenFeature && !row.skipLockScreenPipeline;
    EXPECT_EQ(delays_.sleeps(), lockScreenRan ? QList<int>{500} : QList<int>{});
    EXPECT_EQ(delays_.scheduled(), QList<int>{2000}); // hidden 2 s after its last state
    EXPECT_EQ(QFileInfo::exists(folders_.installedMoviePath()), lockScreenRan);
    EXPECT_FALSE(QFileInfo::exists(VideoConversionService::convertedMoviePath(request.key)));
    EXPECT_EQ(shownKey(), row.lockScreenOnly ? std::nullopt : std::optional<qint64>(request.key));
    EXPECT_EQ(recents_.recentsOrder().value(0), request.key);
    EXPECT_TRUE(pipelineLines().isEmpty());
    EXPECT_TRUE(waitUntil([&] { return downloadCount(request.key) == (row.counted ? 1 : 0) && log_.contains(row.counted ? "Successfully incremented" : ""); }));
    delays_.runScheduled();
    EXPECT_FALSE(toast_.isPresented());
}

INSTANTIATE_TEST_SUITE_P(Rows, ApplyCombinationTest,
    ::testing::Values(
        Combination{"FeatureOff", false, false, false, false, kDesktop + kStill, kApplied, kAppliedProgress, true},
        Combination{"FeatureOffSkip", false, false, true, false, kDesktop + kStill, kApplied, kAppliedProgress, true},
        Combination{"FeatureOn", false, false, false, true, kDesktop + kLockScreen, kApplied + QStringList{"message:Setting Lock Screen", "message:Lock Screen set"},
            kAppliedProgress + kLockProgress, true},
        Combination{"FeatureOnSkip", false, false, true, true, kDesktop, kApplied, kAppliedProgress, true},
        Combination{"LockScreenOnly", false, true, false, true, QStringList{"recents"} + kLockScreen,
            {"message:Applying...", "message:Setting Lock Screen", "message:Lock Screen set"}, QStringList{"progress:0.5"} + kLockProgress, true},
        Combination{"OwnFeatureOff", true, false, false, false, kDesktop + kStill, kApplied, kAppliedProgress, false},
        Combination{"OwnFeatureOn", true, false, false, true, kDesktop + kOwnLockScreen,
            kApplied + QStringList{"message:Setting Lock Screen", "message:Lock Screen set"}, kAppliedProgress + kOwnLockProgress, false}),
    [](const ::testing::TestParamInfo<Combination>& row) { return std::string(row.param.name); });

using WallpaperApplyServiceTest = ApplyHarness;

TEST_F(WallpaperApplyServiceTest, ALockScreenOnlyApplyWhileTheFeatureIsOffIsRefusedAndStopsTheRotation)
{
    WallpaperApplyRequest own = customRequest(77);
    const WallpaperPlaylist playlist = playlists_.createPlaylist(QStringLiteral("Mine"), 300);
    custom_.addCustomWallpaper(*own.wallpaper);
    playlists_.setWallpaperKeys({77}, playlist.id);
    rotation_.startPlaylist(*playlists_.playlist(playlist.id));
    ASSERT_TRUE(waitUntil([&] { return !rotation_.isApplying() && shownKey() == 77; }));
    toastEvents_.clear();
    trace_.clear();

    const auto error = as<WallpaperApplyError>(
        failureOf(WallpaperApplyRequest{.key = kCatalogueKey, .videoURL = masterUrl(kCatalogueKey), .wallpaper = record(kCatalogueKey), .lockScreenOnly = true}));

    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), QStringLiteral("WallpaperApply"));
    EXPECT_EQ(error->code(), 1);
    EXPECT_EQ(error->localizedDescription(), QStringLiteral("Lock Screen is off in Settings"));
    EXPECT_EQ(toastEvents_.messages(), QStringList{"message:" + WallpaperApplyService::lockScreenOffNotice()});
    EXPECT_EQ(toast_.progress(), 0);
    EXPECT_TRUE(toast_.thumbnailImage().isNull());
    EXPECT_EQ(delays_.scheduled().last(), 4000);
    EXPECT_FALSE(rotation_.activePlaylistId());
    EXPECT_EQ(shownKey(), 77); // the rotation ended quietly: its wallpaper stays
    EXPECT_TRUE(trace_.steps().isEmpty());
    EXPECT_EQ(catalogue_.server().requestCount(masterPath(kCatalogueKey)), 0);
}

TEST_F(WallpaperApplyServiceTest, AnUncachedMasterIsDownloadedWithProgressThenApplied)
{
    waitForTask(service_.applyWallpaper({.key = kCatalogueKey, .videoURL = masterUrl(kCatalogueKey), .wallpaper = record(kCatalogueKey)}));

    // The toast is shown before the video is looked for; it reaches the panel two turns later,
    // by which time it says what the apply does.
    EXPECT_EQ(toastEvents_.messages(),
        (QStringList{"message:Applying...", "message:Downloading...", "message:Applying...", "message:Wallpaper applied"}));
    const QStringList progress = progressOf(toastEvents_.events());
    ASSERT_GE(progress.size(), 3);
    EXPECT_EQ(progress.mid(progress.size() - 2), (QStringList{"progress:0.95", "progress:1"}));
    for (const QString& report : progress.mid(0, progress.size() - 2))
        EXPECT_LE(report.mid(9).toDouble(), 0.9) << report.toStdString();
    EXPECT_EQ(downloads_.cachedFileUrl(kCatalogueKey), engine_.entries().begin()->second.videoURL);
    EXPECT_EQ(trace_.steps(), kDesktop + kStill);
    EXPECT_TRUE(waitUntil([&] { return downloadCount(kCatalogueKey) == 1; }));

    // The next apply of the key takes the cached file at once.
    toastEvents_.clear();
    waitForTask(service_.applyWallpaper({.key = kCatalogueKey, .videoURL = masterUrl(kCatalogueKey), .wallpaper = record(kCatalogueKey)}));
    EXPECT_EQ(toastEvents_.messages().value(0), QStringLiteral("message:Applying..."));
    EXPECT_EQ(catalogue_.server().requestCount(masterPath(kCatalogueKey)), 1);
}

// A catalogue wallpaper shows its thumbnail; an own video, whose picture is the video itself,
// its first frame, no larger than the toast needs.
TEST_F(WallpaperApplyServiceTest, TheToastShowsTheRecordsPictureOnceItHasArrived)
{
    const QSize catalogueThumbnail =
        QImage::fromData(waitForTask(Http::shared().send(QNetworkRequest(*record(kCatalogueKey).imageUrl))).body).size();
    const QSize firstFrame = MediaTools::shared().frameAt(clipPath(), 0, QSize(320, 180)).size();
    ASSERT_FALSE(firstFrame.isEmpty());
    const struct {
        const char* name;
        WallpaperApplyRequest request;
        QSize picture;
    } cases[] = {
        {"catalogue wallpaper", cachedRequest(), catalogueThumbnail},
        {"own video", customRequest(424242), firstFrame},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        toast_.setThumbnailImage(QImage());
        waitForTask(service_.applyWallpaper(c.request));
        EXPECT_TRUE(waitUntil([&] { return !toast_.thumbnailImage().isNull(); }));
        EXPECT_EQ(toast_.thumbnailImage().size(), c.picture);
        EXPECT_EQ(toast_.title(), c.request.wallpaper->title);
    }
    EXPECT_FALSE(log_.contains(QStringLiteral("Toast thumbnail not read")));
}

// A thumbnail that does not come is dropped, the apply goes on without it, and the log says why.
TEST_F(WallpaperApplyServiceTest, AThumbnailThatFailsIsDroppedLoggedAndTheApplyGoesOnWithoutIt)
{
    const QString thumbnail = assetUrl(kCatalogueKey, QStringLiteral("thumbnail.webp"));
    const struct {
        const char* name;
        Fault fault;
        QString why;
    } cases[] = {
        {"endless", Fault{.endless = true}, QStringLiteral("The reply is longer than")},
        {"refused", Fault{.status = 404}, QStringLiteral("status 404")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        log_.clear();
        catalogue_.server().setFault(thumbnail.mid(catalogue_.server().baseUrl().size()), c.fault);
        waitForTask(service_.applyWallpaper(cachedRequest()));
        const QString line = QStringLiteral("⚠️ [ApplyToast] Toast thumbnail not read from ") + thumbnail + QStringLiteral(": ") + c.why;
        EXPECT_TRUE(waitUntil([&] { return log_.contains(line); })) << log_.lines().join(u'\n').toStdString();
        EXPECT_EQ(toastEvents_.messages().last(), QStringLiteral("message:Wallpaper applied"));
        EXPECT_TRUE(toast_.thumbnailImage().isNull());
        delays_.runScheduled();
    }
    EXPECT_TRUE(catalogue_.endlessRepliesCutOff());
}

TEST_F(WallpaperApplyServiceTest, AFailedOrCutDownloadChangesNothingAndReachesTheCaller)
{
    for (const Fault& fault : {Fault{.status = 500}, Fault{.cutShort = true}}) {
        catalogue_.server().setFault(masterPath(kCatalogueKey), fault);
        const auto error = as<DownloadError>(failureOf({.key = kCatalogueKey, .videoURL = masterUrl(kCatalogueKey), .wallpaper = record(kCatalogueKey)}));
        ASSERT_TRUE(error);
        EXPECT_EQ(toast_.message(), QStringLiteral("Downloading..."));
        EXPECT_EQ(delays_.scheduled().last(), 3000); // a caller that only logs leaves no toast up
        EXPECT_FALSE(downloads_.cachedFileUrl(kCatalogueKey));
    }
    EXPECT_TRUE(trace_.steps().isEmpty());
    EXPECT_TRUE(engine_.entries().empty());
    EXPECT_TRUE(recents_.recentsOrder().isEmpty());
}

// A download that fails after the quit took the desktop engine away ends its apply with its own
// failure, and touches nothing that went.
TEST_F(WallpaperApplyServiceTest, ADownloadThatFailsAfterTheEngineWentReachesTheCaller)
{
    HeldMasterServer held(QByteArray("never sent"), 0);
    auto engine = std::make_unique<HomeScreenWallpaperEngine>(screens_, defaults_);
    auto installed = std::make_unique<Shared<HomeScreenWallpaperEngine>::Override>(*engine);
    QCoro::Task<> apply = service_.applyWallpaper({.key = kCatalogueKey, .videoURL = held.masterUrl(kCatalogueKey), .wallpaper = record(kCatalogueKey)});
    ASSERT_TRUE(waitUntil([&] { return held.held() == 1; }));
    installed.reset();
    engine.reset();
    held.release(500);
    EXPECT_THROW(waitForTask(std::move(apply)), DownloadError);
}

TEST_F(WallpaperApplyServiceTest, WithoutDisplaysTheEnginesErrorReachesTheCallerAndNothingIsRecorded)
{
    screens_.setScreens({});
    const auto error = as<EngineError>(failureOf(cachedRequest()));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), EngineError::Kind::unknown);
    EXPECT_EQ(toast_.message(), QStringLiteral("Applying..."));
    EXPECT_TRUE(recents_.recentsOrder().isEmpty());
    QCoreApplication::processEvents();
    EXPECT_EQ(catalogue_.server().requestCount(QStringLiteral("/functions/v1/increment-wallpaper")), 0);
}

TEST_F(WallpaperApplyServiceTest, AStillPictureFailureIsLoggedAndTheApplyGoesOn)
{
    desktop_.refuse(QStringLiteral("Display A"));
    waitForTask(service_.applyWallpaper(cachedRequest()));

    EXPECT_EQ(trace_.steps(), kDesktop + QStringList{"still picture"}); // the menu thumbnail only once
    ASSERT_EQ(pipelineLines().size(), 1);
    EXPECT_TRUE(pipelineLines().first().startsWith(QLatin1String("Failed to set static wallpaper: ")));
    EXPECT_EQ(toast_.message(), QStringLiteral("Wallpaper applied"));
    EXPECT_EQ(shownKey(), kCatalogueKey);
}

TEST_F(WallpaperApplyServiceTest, ALockScreenFailureIsLoggedAndAMovieAlreadyConvertedIsReusedNextTime)
{
    setLockScreenFeature(true);
    failAtStep_ = QStringLiteral("thumbnail staged");
    waitForTask(service_.applyWallpaper(cachedRequest()));

    EXPECT_EQ(progressOf(toastEvents_.events()).last(), QStringLiteral("progress:0"));
    // The toast says why, for as long as any failure.
    EXPECT_EQ(toastEvents_.messages().last(), QStringLiteral("message:Lock screen not set: stopped at thumbnail staged"));
    EXPECT_EQ(delays_.scheduled(), QList<int>{3000});
    ASSERT_EQ(pipelineLines().size(), 1);
    EXPECT_TRUE(pipelineLines().first().startsWith(QStringLiteral("⚠️ Failed to process lock screen wallpaper: ")));
    EXPECT_EQ(shownKey(), kCatalogueKey); // the desktop half stands
    EXPECT_TRUE(QFileInfo::exists(VideoConversionService::convertedMoviePath(kCatalogueKey)));
    EXPECT_FALSE(QFileInfo::exists(folders_.installedMoviePath()));

    failAtStep_.clear();
    toastEvents_.clear();
    waitForTask(service_.applyWallpaper(cachedRequest()));
    const QStringList progress = progressOf(toastEvents_.events());
    const qsizetype lockScreen = progress.lastIndexOf(QStringLiteral("progress:0"));
    EXPECT_EQ(progress.value(lockScreen + 1), QStringLiteral("progress:0.25"));
    EXPECT_TRUE(QFileInfo::exists(folders_.installedMoviePath()));
}

TEST_F(WallpaperApplyServiceTest, AFailingExtensionRestartStillEndsTheLockScreenStepsAtOneWithoutALine)
{
    setLockScreenFeature(true);
    restartError_ = EPERM;
    waitForTask(service_.applyWallpaper(cachedRequest()));
    EXPECT_EQ(progressOf(toastEvents_.events()).last(), QStringLiteral("progress:1"));
    EXPECT_TRUE(pipelineLines().isEmpty());
    EXPECT_TRUE(QFileInfo::exists(folders_.installedMoviePath()));
}

TEST_F(WallpaperApplyServiceTest, TheLatestDesktopRequestWinsAndAnOlderApplyNeverWritesOverItsToast)
{
    // The older one downloads; the newer one finds its video cached and is applied first.
    QCoro::Task<> older = service_.applyWallpaper({.key = kCatalogueKey, .videoURL = masterUrl(kCatalogueKey), .wallpaper = record(kCatalogueKey)});
    QCoro::Task<> newer = service_.applyWallpaper(cachedRequest(kOtherCatalogueKey));

    waitForTask(std::move(newer));
    const auto error = as<WallpaperApplyError>([&]() -> std::exception_ptr {
        try {
            waitForTask(std::move(older));
        } catch (...) {
            return std::current_exception();
        }
        return nullptr;
    }());

    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), WallpaperApplyError::Kind::cancelled);
    EXPECT_EQ(shownKey(), kOtherCatalogueKey);
    EXPECT_TRUE(downloads_.cachedFileUrl(kCatalogueKey)); // the download itself is kept
    const QStringList messages = toastEvents_.messages();
    EXPECT_EQ(messages.mid(messages.lastIndexOf(QStringLiteral("message:Applying..."))),
        (QStringList{"message:Applying...", "message:Wallpaper applied"}));
    EXPECT_EQ(toast_.title(), QStringLiteral("Misty Pine Valley"));
}

// A lock-screen-only request changes nothing on the desktop, so the desktop apply that runs
// meanwhile still reaches it.
TEST_F(WallpaperApplyServiceTest, ALockScreenOnlyRequestLeavesTheDesktopApplyInProgressAlone)
{
    setLockScreenFeature(true);
    QCoro::Task<> desktop = service_.applyWallpaper({.key = kCatalogueKey, .videoURL = masterUrl(kCatalogueKey), .wallpaper = record(kCatalogueKey)});
    WallpaperApplyRequest lockScreen = cachedRequest(kOtherCatalogueKey);
    lockScreen.lockScreenOnly = true;
    waitForTask(service_.applyWallpaper(lockScreen));

    EXPECT_NO_THROW(waitForTask(std::move(desktop)));
    EXPECT_EQ(shownKey(), kCatalogueKey);
}

TEST_F(WallpaperApplyServiceTest, ACancelledRequestEndsBeforeTheDesktop)
{
    std::stop_source stop;
    WallpaperApplyRequest request = cachedRequest();
    request.cancel = stop.get_token();
    stop.request_stop();
    EXPECT_THROW(waitForTask(service_.applyWallpaper(request)), WallpaperApplyError);
    EXPECT_TRUE(engine_.entries().empty());
}

TEST_F(WallpaperApplyServiceTest, ACancelledRequestLeavesTheRunningApplyAndItsToastAlone)
{
    // A rotation step superseded before it started must not end the manual apply that did.
    QCoro::Task<> manual = service_.applyWallpaper(
        {.key = kCatalogueKey, .videoURL = masterUrl(kCatalogueKey), .wallpaper = record(kCatalogueKey, QStringLiteral("Chosen"))});
    std::stop_source stop;
    stop.request_stop();
    WallpaperApplyRequest step = cachedRequest(kOtherCatalogueKey);
    step.wallpaper = record(kOtherCatalogueKey, QStringLiteral("Rotation step"));
    step.fromPlaylist = true;
    step.cancel = stop.get_token();
    EXPECT_THROW(waitForTask(service_.applyWallpaper(step)), WallpaperApplyError);

    EXPECT_NO_THROW(waitForTask(std::move(manual)));
    EXPECT_EQ(shownKey(), kCatalogueKey);
    EXPECT_EQ(toast_.title(), QStringLiteral("Chosen"));
}

TEST_F(WallpaperApplyServiceTest, WithoutARecordTheRecentsGetARecordMadeFromARemoteAddressOnly)
{
    WallpaperApplyRequest remote = cachedRequest();
    remote.wallpaper.reset();
    waitForTask(service_.applyWallpaper(remote));

    EXPECT_EQ(toast_.title(), QStringLiteral("Wallpaper"));
    const WallpaperModel made = recents_.recentsWallpapers().value(kCatalogueKey);
    EXPECT_EQ(made.title, QStringLiteral("Wallpaper 1718000000137"));
    EXPECT_EQ(made.category, QStringLiteral("Wallpaper"));
    EXPECT_EQ(made.imageUrl, QUrl(assetUrl(kCatalogueKey, QStringLiteral("thumbnail.webp"))));
    EXPECT_EQ(made.posterUrl, made.imageUrl);
    EXPECT_EQ(made.masterUrl, remote.videoURL);

    waitForTask(service_.applyWallpaper({.key = 5, .videoURL = QUrl::fromLocalFile(clipPath())}));
    EXPECT_EQ(recents_.recentsOrder(), QList<qint64>{kCatalogueKey});
    EXPECT_EQ(shownKey(), 5);
}

TEST_F(WallpaperApplyServiceTest, ChosenDisplaysGetTheVideoWhileEveryDisplayGetsTheStillPicture)
{
    WallpaperApplyRequest request = cachedRequest();
    request.screenIndices = QSet<int>{1};
    waitForTask(service_.applyWallpaper(request));

    ASSERT_EQ(engine_.entries().size(), 1u);
    EXPECT_EQ(engine_.entries().begin()->first, 2u);
    ASSERT_EQ(desktop_.calls().size(), 2);
    EXPECT_EQ(desktop_.calls().at(0).screenName, QStringLiteral("Display A"));
    EXPECT_EQ(desktop_.calls().at(1).screenName, QStringLiteral("Display B"));
}

// Every apply puts its toast on the panel, the one whose own video is gone included: that one
// failed before its first stage and showed nothing, from the main window or the rotation.
TEST_F(WallpaperApplyServiceTest, EveryApplyShowsItsToast)
{
    WallpaperApplyRequest gone = customRequest(78);
    ASSERT_TRUE(QFile::remove(gone.videoURL.toLocalFile()));
    const struct {
        const char* name;
        WallpaperApplyRequest request;
        bool fails;
    } cases[] = {
        {"cached", cachedRequest(), false},
        {"downloaded", WallpaperApplyRequest{.key = kOtherCatalogueKey, .videoURL = masterUrl(kOtherCatalogueKey),
                           .wallpaper = record(kOtherCatalogueKey)}, false},
        {"own video gone", gone, true},
    };
    for (const auto& c : cases) {
        for (const bool fromPlaylist : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (fromPlaylist ? " (rotation)" : " (main window)"));
            delays_.runScheduled();
            QCoreApplication::sendPostedEvents();
            toastEvents_.clear();
            WallpaperApplyRequest request = c.request;
            request.fromPlaylist = fromPlaylist;
            bool failed = false;
            try {
                waitForTask(service_.applyWallpaper(request));
            } catch (const std::exception&) {
                failed = true;
            }
            EXPECT_EQ(failed, c.fails);
            ASSERT_TRUE(waitUntil([&] { return toastEvents_.events().contains(QStringLiteral("shown")); }))
                << toastEvents_.events().join(u", ").toStdString();
            EXPECT_EQ(delays_.scheduled().value(delays_.scheduled().size() - 1), c.fails ? 3000 : 2000)
                << "a toast that goes once its end is read";
        }
    }
    // The gone video's thumbnail is looked for on a worker: its two reads are waited for, so that
    // their lines come in this test and not in a later one's log.
    EXPECT_TRUE(waitUntil([&] { return log_.lines().filter(QStringLiteral("Toast thumbnail not read from ") + gone.videoURL.toString()).size() == 2; }));
}

// A toast shown while an apply runs (a personal-use import's, with its Stop) is left alone by
// every later step of the apply, from the main window or by the rotation, its hide included; once
// it hides, the apply's toast comes back with its end.
TEST_F(WallpaperApplyServiceTest, AToastShownDuringAnApplyIsLeftAlone)
{
    WallpaperApplyRequest own = customRequest(77);
    custom_.addCustomWallpaper(*own.wallpaper);
    const WallpaperPlaylist playlist = playlists_.createPlaylist(QStringLiteral("Mine"), 300);
    playlists_.setWallpaperKeys({77}, playlist.id);
    const struct {
        const char* by;
        std::function<void()> apply;
    } cases[] = {
        {"main window", [&] { waitForTask(service_.applyWallpaper(cachedRequest())); }},
        {"rotation", [&] {
             rotation_.startPlaylist(*playlists_.playlist(playlist.id));
             ASSERT_TRUE(waitUntil([&] { return !rotation_.isApplying() && shownKey() == 77; }));
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.by);
        bool stopped = false;
        QStringList messages;
        QObject guard;
        // The import starts the moment the apply's toast is on screen.
        QObject::connect(&toast_, &NotificationManager::isPresentedChanged, &guard, [&] {
            if (!toast_.isPresented() || toast_.isCancellable() || !messages.isEmpty())
                return;
            const NotificationManager::Ticket import = toast_.show(QStringLiteral("Adding Video"), QStringLiteral("Copying…"), QImage(), 0.25, true);
            toast_.setCancelAction(import, [&stopped] { stopped = true; });
            messages.append(toast_.message());
            QObject::connect(&toast_, &NotificationManager::messageChanged, &guard, [&] { messages.append(toast_.message()); });
        });
        c.apply();
        ASSERT_FALSE(messages.isEmpty()) << "the apply showed its toast";
        ASSERT_TRUE(waitUntil([&] { return toast_.isPresented(); }));
        delays_.runScheduled();
        QCoreApplication::sendPostedEvents();
        EXPECT_EQ(messages, QStringList{QStringLiteral("Copying…")});
        EXPECT_TRUE(toast_.isPresented()) << "the apply's hide is not the import's";
        EXPECT_EQ(toast_.progress(), 0.25);
        toast_.cancel();
        EXPECT_TRUE(stopped);
        toast_.hide();
        ASSERT_TRUE(waitUntil([&] { return !toast_.isPresented(); }));
        delays_.runScheduled();
        // Then the apply's toast takes its turn back, to tell how the apply ended.
        ASSERT_TRUE(waitUntil([&] { return toast_.isPresented(); }));
        EXPECT_EQ(toast_.message(), WallpaperApplyService::appliedMessage());
        EXPECT_EQ(toast_.progress(), 1.0);
        EXPECT_FALSE(toast_.isCancellable());
        delays_.runScheduled();
        ASSERT_TRUE(waitUntil([&] { return !toast_.isPresented(); }));
        delays_.runScheduled();
    }
}

} // namespace

// A desktop that lets no application draw a live wallpaper: the still picture is set whether the
// lock screen is on or not, and only the first apply of the run says so, in its toast and the log.
struct StillOnlyRow {
    const char* name;
    bool lockScreenFeature;
    QStringList steps;
    QStringList firstMessages;
    QList<int> sleeps;
};

class StillPictureOnlyHarness : public ApplyHarness {
protected:
    QStringList noticeLines() const { return log_.lines().filter(WallpaperApplyService::stillPictureNotice()); }

    FakeLiveWallpaperSupport noLayerShell_{false};
    Shared<LiveWallpaperSupport>::Override supportOverride_{noLayerShell_};
};

class StillPictureOnlyTest : public StillPictureOnlyHarness, public ::testing::WithParamInterface<StillOnlyRow> {};

TEST_P(StillPictureOnlyTest, TheStillPictureIsSetAndTheFirstApplySaysSo)
{
    const StillOnlyRow& row = GetParam();
    setLockScreenFeature(row.lockScreenFeature);
    const QString notice = u"message:" + WallpaperApplyService::stillPictureNotice();

    waitForTask(service_.applyWallpaper(cachedRequest()));
    EXPECT_EQ(trace_.steps(), row.steps);
    EXPECT_EQ(toastEvents_.messages(), row.firstMessages + QStringList{notice} + (row.lockScreenFeature ? QStringList{"message:Setting Lock Screen", "message:Lock Screen set"} : QStringList{}));
    EXPECT_EQ(delays_.sleeps(), row.sleeps);
    EXPECT_EQ(shownKey(), kCatalogueKey);
    for (const auto& [id, entry] : engine_.entries())
        EXPECT_EQ(entry.window, nullptr) << "no window stands in for the wallpaper on display " << id;
    ASSERT_EQ(noticeLines().size(), 1);
    EXPECT_TRUE(noticeLines().first().startsWith(QStringLiteral("ℹ️ [WallpaperApplyService] ")));

    toastEvents_.clear();
    waitForTask(service_.applyWallpaper(cachedRequest(kOtherCatalogueKey)));
    EXPECT_TRUE(toastEvents_.messages().contains(QStringLiteral("message:Wallpaper applied")));
    EXPECT_FALSE(toastEvents_.messages().contains(notice));
    EXPECT_EQ(noticeLines().size(), 1);
    EXPECT_EQ(desktop_.calls().size(), 4); // each apply's still picture on both displays
}

INSTANTIATE_TEST_SUITE_P(Rows, StillPictureOnlyTest,
    ::testing::Values(StillOnlyRow{"FeatureOff", false, kDesktop + kStill, {"message:Applying..."}, {}},
        StillOnlyRow{"FeatureOn", true, kDesktop + kStill + kLockScreen, {"message:Applying..."}, {4000}}),
    [](const ::testing::TestParamInfo<StillOnlyRow>& row) { return std::string(row.param.name); });

// Another program's picture drawn over the live wallpaper: every apply that meets it says what
// covers the video and what to change, in its toast and the log, never "applied"; the toast stays
// until its words can be read.
class CoveredWallpaperHarness : public ApplyHarness {
protected:
    const QString obstacle_ = kCoveringNotice;
    FakeLiveWallpaperSupport covered_{true, obstacle_};
    Shared<LiveWallpaperSupport>::Override supportOverride_{covered_};
};

TEST_F(CoveredWallpaperHarness, EveryApplySaysWhatCoversTheVideo)
{
    for (const qint64 key : {kCatalogueKey, kOtherCatalogueKey}) {
        SCOPED_TRACE(key);
        toastEvents_.clear();
        waitForTask(service_.applyWallpaper(cachedRequest(key)));
        EXPECT_TRUE(toastEvents_.messages().contains(u"message:" + obstacle_)) << toastEvents_.messages().join(u'\n').toStdString();
        EXPECT_FALSE(toastEvents_.messages().contains(QStringLiteral("message:Wallpaper applied")));
        delays_.runScheduled();
        EXPECT_TRUE(delays_.scheduled().contains(unreadMs(obstacle_, 4.0))) << "the toast went before its words could be read";
    }
    const QStringList told = log_.lines().filter(obstacle_);
    ASSERT_EQ(told.size(), 2);
    EXPECT_TRUE(told.first().startsWith(QStringLiteral("⚠️ [WallpaperApplyService] ")));
}

TEST_F(StillPictureOnlyHarness, AStillPictureFailureIsTheApplysFailure)
{
    desktop_.refuse(QStringLiteral("Display A"));
    EXPECT_TRUE(failureOf(cachedRequest()));
    EXPECT_TRUE(noticeLines().isEmpty());
    EXPECT_NE(toast_.message(), WallpaperApplyService::stillPictureNotice());
}
