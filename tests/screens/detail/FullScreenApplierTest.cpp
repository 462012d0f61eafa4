#include "DetailFixture.h"

#include "foundation/Paths.h"
#include "platform/Http.h"
#include "screens/detail/FootBarApplyControl.h"
#include "screens/detail/FullScreenApplier.h"
#include "engine/WallpaperApplyError.h"
#include "support/FullFileSystem.h"
#include "support/HeldMasterServer.h"

#include <sample-catalogue/Fault.h>

#include <QThreadPool>

namespace {

using samplecatalogue::Fault;
using Target = WallpaperFullscreenApplyTarget;

class FullScreenApplierTest : public DetailFixture {
protected:
    // Runs the apply to its end.
    void finish(FullScreenApplier& applier)
    {
        ASSERT_TRUE(waitUntil([&] { return !applier.isApplyingWallpaper(); }));
    }
    std::set<quint32> displaysShowing(qint64 key) const
    {
        std::set<quint32> displays;
        for (const auto& [id, entry] : engine_.entries()) {
            if (entry.wallpaperKey == key)
                displays.insert(id);
        }
        return displays;
    }
};

TEST_F(FullScreenApplierTest, ADisplayApplyReachesTheChosenDisplaysAndReportsItsChoice)
{
    struct Case {
        const char* name;
        std::optional<int> index;
        Target target;
        std::set<quint32> displays;
        const char* skip;
        bool setsLockScreen;
    };
    setLockScreenFeature(true);
    for (const Case& c : {Case{"second display, desktop", 1, Target::desktop, {2}, "true", false},
             Case{"every display, both", std::nullopt, Target::both, {1, 2}, "false", true}}) {
        SCOPED_TRACE(c.name);
        engine_.stopAll();
        signals_.clear();
        trace_.clear();
        cachedRequest();
        FullScreenApplier applier(catalogueRecord(), {});
        applier.applyToTarget(c.index, c.target);
        EXPECT_TRUE(applier.isApplyingWallpaper());
        finish(applier);

        EXPECT_EQ(displaysShowing(kCatalogueKey), c.displays);
        // With the lock-screen feature on, only an apply that names it reaches the lock screen.
        EXPECT_EQ(trace_.steps().contains(QStringLiteral("movie installed")), c.setsLockScreen) << trace_.steps().join(u", ").toStdString();
        EXPECT_TRUE(applier.isWallpaperApplied());
        EXPECT_EQ(applier.downloadProgress(), 1.0);
        EXPECT_FALSE(applier.applyError());
        const auto sent = signalsNamed(QStringLiteral("Wallpaper.appliedFromFullScreen"));
        ASSERT_EQ(sent.size(), 1);
        const QHash<QString, QString> expected{{QStringLiteral("wallpaperKey"), QString::number(kCatalogueKey)},
            {QStringLiteral("isCustom"), QStringLiteral("false")}, {QStringLiteral("screenCount"), QStringLiteral("2")},
            {QStringLiteral("lockScreenOnly"), QStringLiteral("false")},
            {QStringLiteral("applyTarget"), WallpaperFullscreenApplyTargets::rawValue(c.target)},
            {QStringLiteral("skipLockScreenPipeline"), QString::fromLatin1(c.skip)}};
        EXPECT_EQ(sent[0].parameters, expected);
    }
}

// An apply to the desktops and the lock screen says "Wallpaper applied" before the lock-screen
// install, and the install ends with its own word: the applier's stage follows the apply to that
// end, and the foot bar's button, fed as the page feeds it, says what the toast says at each step.
TEST_F(FullScreenApplierTest, TheApplyStageFollowsTheApplyToItsEnd)
{
    setLockScreenFeature(true);
    cachedRequest();
    FullScreenApplier applier(catalogueRecord(), {});
    FootBarApplyControl button(catalogueRecord(), {.applyToAll = true});
    QList<ApplyToast::Stage> stages;
    QObject::connect(&applier, &FullScreenApplier::stateChanged, &applier, [&] {
        button.setApplying(applier.isApplyingWallpaper() ? std::optional(applier.applyStage()) : std::nullopt);
        if (applier.isApplyingWallpaper() && (stages.isEmpty() || stages.constLast() != applier.applyStage()))
            stages.append(applier.applyStage());
    });
    QStringList toastSaid;
    QStringList buttonSaid;
    QObject::connect(&toast_, &NotificationManager::messageChanged, &applier, [&] {
        if (!applier.isApplyingWallpaper() || toast_.message().isEmpty())
            return;
        toastSaid.append(toast_.message());
        buttonSaid.append(button.label());
    });
    applier.applyToTarget(std::nullopt, Target::both);
    finish(applier);
    EXPECT_TRUE(trace_.steps().contains(QStringLiteral("movie installed")));
    ASSERT_FALSE(stages.isEmpty());
    EXPECT_EQ(stages.constLast(), ApplyToast::Stage::lockScreenSet);
    EXPECT_TRUE(stages.contains(ApplyToast::Stage::applied));
    EXPECT_TRUE(stages.contains(ApplyToast::Stage::lockScreen));
    EXPECT_EQ(buttonSaid, toastSaid);
    EXPECT_TRUE(toastSaid.contains(WallpaperApplyService::appliedMessage())) << toastSaid.join(u'|').toStdString();
    EXPECT_EQ(toastSaid.value(toastSaid.size() - 1), WallpaperApplyService::lockScreenSetMessage()) << toastSaid.join(u'|').toStdString();
}

// A record without a key, or without a video while no asset host is known yet, is refused at
// once, and the refusal is told in a toast as any failure is: it went to the state and the log
// alone, which nothing on the page showed.
TEST_F(FullScreenApplierTest, ARecordItCannotApplyIsRefusedWithoutATask)
{
    WallpaperModel keyless = catalogueRecord();
    keyless.key.reset();
    WallpaperModel masterless = catalogueRecord();
    masterless.masterUrl.reset(); // and no asset host is known yet
    const QString incomplete = QString::fromUtf8(FullScreenApplier::kIncompleteError);
    const struct {
        const char* name;
        const WallpaperModel& record;
        bool lockScreenOnly;
        const char* line; // none: no line of its own
        QString toast;
    } cases[] = {
        {"keyless, displays", keyless, false, "Cannot apply wallpaper: missing key", u"Failed to apply wallpaper: " + incomplete},
        {"masterless, displays", masterless, false, "Cannot apply wallpaper: missing masterUrl", u"Failed to apply wallpaper: " + incomplete},
        {"keyless, lock screen", keyless, true, nullptr, u"Failed to apply lock screen wallpaper: " + incomplete},
        {"masterless, lock screen", masterless, true, nullptr, u"Failed to apply lock screen wallpaper: " + incomplete},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        toast_.hide();
        FullScreenApplier applier(c.record, {});
        if (c.lockScreenOnly)
            applier.applyToLockScreenOnly();
        else
            applier.applyToTarget(0, Target::desktop);
        EXPECT_FALSE(applier.isApplyingWallpaper());
        EXPECT_EQ(applier.applyError(), incomplete);
        if (c.line) {
            EXPECT_TRUE(log_.contains(QString::fromLatin1(c.line)));
        }
        EXPECT_TRUE(log_.contains(c.toast));
        ASSERT_EVENTUALLY(toast_.isPresented() && toast_.message() == c.toast, 5000) << toast_.message().toStdString();
    }
    QCoreApplication::processEvents();
    EXPECT_TRUE(engine_.entries().empty());
    EXPECT_TRUE(signals_.isEmpty());
}

TEST_F(FullScreenApplierTest, AFailedApplyReachesTheErrorAndTheToastAndTheFormerWallpaperStays)
{
    waitForTask(service_.applyWallpaper(cachedRequest(kOtherCatalogueKey)));
    signals_.clear();
    struct Case {
        const char* name;
        std::optional<Fault> fault; // none: the lock screen with the feature off
        Target target;
        const char* error;
    };
    for (const Case& c : {Case{"server error", Fault{.status = 500}, Target::desktop, nullptr},
             Case{"cut short", Fault{.cutShort = true}, Target::desktop, nullptr},
             Case{"not a video", Fault{.emptyBody = true}, Target::both, nullptr},
             Case{"lock screen off", std::nullopt, Target::lockScreen, "Lock Screen is off in Settings"}}) {
        SCOPED_TRACE(c.name);
        if (c.fault)
            catalogue_.server().setFault(masterPath(kCatalogueKey), *c.fault);
        FullScreenApplier applier(catalogueRecord(), {});
        applier.applyToTarget(0, c.target);
        finish(applier);

        ASSERT_TRUE(applier.applyError());
        if (c.error) {
            EXPECT_EQ(*applier.applyError(), QString::fromLatin1(c.error));
        }
        EXPECT_EQ(applier.downloadProgress(), 0);
        EXPECT_FALSE(applier.isWallpaperApplied());
        // The toast says why, as the log does.
        ASSERT_EVENTUALLY(toast_.message() == QStringLiteral("Failed to apply wallpaper: ") + *applier.applyError(), 5000)
            << toast_.message().toStdString();
        EXPECT_EQ(toast_.progress(), 0);
        EXPECT_TRUE(log_.contains(QStringLiteral("Failed to apply wallpaper: ") + *applier.applyError()));
        EXPECT_EQ(displaysShowing(kOtherCatalogueKey), (std::set<quint32>{1, 2}));
        catalogue_.server().clearFaults();
    }
    EXPECT_TRUE(signals_.isEmpty());
}

// A master that finds no room on the disk says so, the one cause the user can mend; without the
// superuser's tmpfs the stand-in is a file-size limit, which is no full disk and is not told as one.
TEST_F(FullScreenApplierTest, AFullDiskIsNamedInTheFailure)
{
    FullFileSystem disk;
    const Paths::Override folders(disk.path());
    // The transfer thread is started here, so it writes into the file system this thread sees.
    Http http;
    const Shared<Http>::Override httpOverride(http);
    disk.fill();
    FullScreenApplier applier(catalogueRecord(), {});
    applier.applyToTarget(0, Target::desktop);
    finish(applier);
    disk.free();
    ASSERT_TRUE(applier.applyError());
    const QString expected = QStringLiteral("Failed to apply wallpaper: ") + (disk.isTmpfs() ? QStringLiteral("the disk is full") : *applier.applyError());
    ASSERT_EVENTUALLY(toast_.message() == expected, 5000) << toast_.message().toStdString();
    EXPECT_TRUE(log_.contains(QStringLiteral("Failed to apply wallpaper: ") + *applier.applyError()));
    // Workers the apply started inside the disk's namespace share this thread's file system view,
    // which keeps the thread from leaving it: they end first.
    QThreadPool::globalInstance()->waitForDone();
}

// A toast shown over the apply's (an import) is neither written over by the failure nor able to
// write over the failure's own toast afterwards.
TEST_F(FullScreenApplierTest, AFailureShowsInAToastOfItsOwn)
{
    catalogue_.server().setFault(masterPath(kCatalogueKey), Fault{.status = 500});
    FullScreenApplier applier(catalogueRecord(), {});
    applier.applyToTarget(0, Target::desktop);
    const NotificationManager::Ticket import = toast_.show(QStringLiteral("Night Drive"), QStringLiteral("Copying..."), {}, 0.4, true);
    finish(applier);
    ASSERT_TRUE(applier.applyError());
    const QString failure = QStringLiteral("Failed to apply wallpaper: ") + *applier.applyError();
    ASSERT_EVENTUALLY(toast_.message() == failure, 5000);
    EXPECT_EQ(toast_.title(), catalogueRecord().title);
    toast_.updateMessage(import, QStringLiteral("Video added"));
    toast_.updateProgress(import, 1.0);
    QTest::qWait(50);
    EXPECT_EQ(toast_.message(), failure);
    EXPECT_EQ(toast_.progress(), 0);
}

// A lock-screen apply that fails tells why in its toast, for three seconds, whether the whole
// apply failed or only its lock-screen part (the desktop keeps the new wallpaper then).
TEST_F(FullScreenApplierTest, AFailedLockScreenApplySaysWhy)
{
    setLockScreenFeature(true);
    struct Case {
        const char* name;
        std::optional<Fault> fault;
        const char* failingStep;
        bool lockScreenOnly;
        // Followed by the apply's error, when it has one.
        const char* toast;
        bool applied;
    };
    const Case cases[] = {
        {"lock screen only, the download fails", Fault{.status = 500}, "", true, "Failed to apply lock screen wallpaper: ", false},
        {"lock screen only, the install fails", std::nullopt, "movie converted", true, "Lock screen not set: stopped at movie converted", false},
        {"desktop and lock screen, the install fails", std::nullopt, "movie converted", false,
            "Lock screen not set: stopped at movie converted", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        engine_.stopAll();
        if (c.fault)
            catalogue_.server().setFault(masterPath(kCatalogueKey), *c.fault);
        else
            cachedRequest(kCatalogueKey);
        failAtStep_ = QString::fromLatin1(c.failingStep);
        // A movie converted by an earlier case would skip the failing step.
        QFile::remove(VideoConversionService::convertedMoviePath(kCatalogueKey));
        FullScreenApplier applier(catalogueRecord(), {});
        if (c.lockScreenOnly)
            applier.applyToLockScreenOnly();
        else
            applier.applyToTarget(0, Target::both);
        finish(applier);
        const QString expected = QString::fromLatin1(c.toast) + applier.applyError().value_or(QString());
        EXPECT_EQ(applier.applyError().has_value(), !c.failingStep[0]);
        ASSERT_EVENTUALLY(toast_.message() == expected, 5000) << toast_.message().toStdString();
        EXPECT_EQ(toast_.progress(), 0);
        ASSERT_TRUE(waitUntil([&] { return delays_.scheduled().contains(3000); }));
        EXPECT_EQ(delays_.scheduled().last(), 3000);
        EXPECT_EQ(engine_.isShowing(kCatalogueKey), c.applied);
        catalogue_.server().clearFaults();
        QFile::remove(WallpaperDownloadService::folderPath() + u'/' + WallpaperDownloadService::fileName(kCatalogueKey));
    }
}

// An apply that a newer choice (the tray's, a playlist's, another page's) replaced during its
// download is no failure, whether its download then lands or fails: it ends without an error and
// without a toast, and the newer wallpaper stays. A newer choice for one display leaves the apply
// the other, so its failure is told there.
TEST_F(FullScreenApplierTest, AnApplyReplacedByANewerChoiceEndsQuietly)
{
    QFile clip(clipPath());
    ASSERT_TRUE(clip.open(QIODevice::ReadOnly));
    const QByteArray video = clip.readAll();
    enum class Newer { tray, page, oneDisplay };
    struct Case {
        const char* name;
        Newer newer;
        int downloadStatus;
        bool told;
        std::set<quint32> newerShows;
    };
    for (const Case& c : {Case{"tray, the download lands", Newer::tray, 200, false, {1, 2}},
             Case{"tray, the download fails", Newer::tray, 500, false, {1, 2}},
             Case{"another page, the download fails", Newer::page, 500, false, {1, 2}},
             Case{"one display, the download fails", Newer::oneDisplay, 500, true, {2}}}) {
        SCOPED_TRACE(c.name);
        engine_.stopAll();
        log_.clear();
        // A download an earlier case landed would spare this one its download.
        QFile::remove(WallpaperDownloadService::folderPath() + u'/' + WallpaperDownloadService::fileName(kCatalogueKey));
        HeldMasterServer held(video, 0);
        WallpaperModel slow = catalogueRecord();
        slow.masterUrl = held.masterUrl(kCatalogueKey);
        FullScreenApplier applier(slow, {});
        applier.applyToTarget(std::nullopt, Target::desktop);
        ASSERT_TRUE(waitUntil([&] { return held.held() == 1 && toast_.isPresented(); }));
        QStringList messages;
        QObject guard;
        QObject::connect(&toast_, &NotificationManager::messageChanged, &guard, [&] { messages.append(toast_.message()); });
        if (c.newer == Newer::tray) {
            engine_.start(QUrl::fromLocalFile(clipPath()), kOtherCatalogueKey);
        } else {
            WallpaperApplyRequest newer = cachedRequest(kOtherCatalogueKey);
            if (c.newer == Newer::oneDisplay)
                newer.screenIndices = QSet<int>{1};
            waitForTask(service_.applyWallpaper(newer));
        }

        held.release(c.downloadStatus);
        finish(applier);
        for (int round = 0; round < 8; ++round) {
            QCoreApplication::processEvents();
            delays_.runScheduled();
        }
        EXPECT_EQ(displaysShowing(kOtherCatalogueKey), c.newerShows);
        const bool failureTold = std::any_of(messages.begin(), messages.end(),
            [](const QString& message) { return message.startsWith(QStringLiteral("Failed to apply wallpaper")); });
        EXPECT_EQ(failureTold, c.told) << messages.join(u'|').toStdString();
        EXPECT_EQ(applier.applyError().has_value(), c.told);
        if (c.told)
            continue;
        EXPECT_FALSE(toast_.isPresented()) << toast_.message().toStdString();
        EXPECT_TRUE(log_.contains(QStringLiteral("Wallpaper %1 not applied - a newer choice replaced it").arg(kCatalogueKey)));
    }
}

TEST_F(FullScreenApplierTest, ALockScreenOnlyApplySavesTheWallpaperAndSignalsItsOrigin)
{
    setLockScreenFeature(true);
    for (const bool exclusive : {false, true}) {
        SCOPED_TRACE(exclusive ? "from the exclusives" : "a lock-screen record");
        signals_.clear();
        cachedRequest();
        WallpaperModel record = catalogueRecord();
        record.forLockscreen = true;
        FullScreenApplier applier(record, {.lockScreenExclusiveApply = exclusive});
        applier.applyToLockScreenOnly();
        finish(applier);

        EXPECT_FALSE(applier.applyError());
        EXPECT_EQ(liked_.likedOrder().value(0), kCatalogueKey);
        QStringList names;
        for (const SentSignal& sent : signals_)
            names.append(sent.name);
        QStringList expected{QStringLiteral("Wallpaper.appliedFromFullScreen")};
        if (exclusive)
            expected.append(QStringLiteral("LockscreenExclusive.wallpaperApplied"));
        EXPECT_EQ(names, expected);
        EXPECT_EQ(signals_[0].parameters.value(QStringLiteral("lockScreenOnly")), QStringLiteral("true"));
        EXPECT_EQ(signals_[0].parameters.size(), 3);
    }
}

TEST_F(FullScreenApplierTest, RemovingStopsOnlyTheDisplayThatShowsTheWallpaper)
{
    waitForTask(service_.applyWallpaper(cachedRequest(kOtherCatalogueKey)));
    WallpaperApplyRequest second = cachedRequest(kCatalogueKey);
    second.screenIndices = QSet<int>{1};
    waitForTask(service_.applyWallpaper(second));
    const auto savedBefore = persistence_.loadSavedWallpaper();

    FullScreenApplier applier(catalogueRecord(), {});
    applier.refreshAppliedState();
    ASSERT_TRUE(applier.isWallpaperApplied());
    applier.applyFromFullScreen(std::nullopt, std::nullopt);

    EXPECT_FALSE(applier.isWallpaperApplied());
    EXPECT_EQ(displaysShowing(kOtherCatalogueKey), (std::set<quint32>{1}));
    EXPECT_TRUE(displaysShowing(kCatalogueKey).empty());
    ASSERT_TRUE(savedBefore);
    EXPECT_EQ(persistence_.loadSavedWallpaper()->key, savedBefore->key);
}

TEST_F(FullScreenApplierTest, WithOneDisplayRemovingClearsEverySavedWallpaper)
{
    screens_.setScreens({display(QStringLiteral("Display A"), 0, 1)});
    waitForTask(service_.applyWallpaper(cachedRequest()));
    FullScreenApplier applier(catalogueRecord(), {});
    applier.refreshAppliedState();
    applier.applyFromFullScreen(std::nullopt, std::nullopt);

    EXPECT_TRUE(engine_.entries().empty());
    EXPECT_FALSE(persistence_.loadSavedWallpaper());
    EXPECT_TRUE(persistence_.loadPerMonitorWallpapers().isEmpty());
    // Not applied and no display given: nothing.
    applier.applyFromFullScreen(std::nullopt, std::nullopt);
    QCoreApplication::processEvents();
    EXPECT_FALSE(applier.isApplyingWallpaper());
}

// An apply runs to its end after its page closed: it reaches the desktop, or its failure is
// still told (it was dropped with the page, after "Downloading…" had gone), and an apply a newer
// choice replaced says nothing over that choice.
TEST_F(FullScreenApplierTest, AnApplyOutlivesItsViewAndReachesTheDesktop)
{
    QFile clip(clipPath());
    ASSERT_TRUE(clip.open(QIODevice::ReadOnly));
    const QByteArray video = clip.readAll();
    const struct {
        const char* name;
        int downloadStatus;
        bool replaced;
        std::set<quint32> showing; // the displays that show the page's wallpaper at the end
        bool told;
    } cases[] = {
        {"lands", 200, false, {1, 2}, false},
        {"download fails", 500, false, {}, true},
        {"replaced, then its download fails", 500, true, {}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        engine_.stopAll();
        QFile::remove(WallpaperDownloadService::folderPath() + u'/' + WallpaperDownloadService::fileName(kCatalogueKey));
        HeldMasterServer held(video, 0);
        WallpaperModel slow = catalogueRecord();
        slow.masterUrl = held.masterUrl(kCatalogueKey);
        auto applier = std::make_unique<FullScreenApplier>(slow, FullScreenApplier::Options{});
        applier->applyToTarget(std::nullopt, Target::desktop);
        ASSERT_TRUE(waitUntil([&] { return held.held() == 1 && toast_.isPresented(); }));
        applier.reset();
        QStringList told;
        QObject guard;
        QObject::connect(&toast_, &NotificationManager::messageChanged, &guard, [&] { told.append(toast_.message()); });
        if (c.replaced)
            waitForTask(service_.applyWallpaper(cachedRequest(kOtherCatalogueKey)));
        const qsizetype earlierHides = delays_.scheduled().size();
        held.release(c.downloadStatus);
        // The last step: the toast is told to go, 2 s after its end or 3 s after a failure; a
        // replaced apply says so instead. Nothing of the apply is left running for the next case.
        ASSERT_TRUE(waitUntil([&] {
            return c.replaced ? log_.contains("was replaced before it failed")
                              : delays_.scheduled().mid(earlierHides).contains(c.told ? 3000 : 2000);
        }));
        QCoreApplication::processEvents();
        EXPECT_EQ(displaysShowing(kCatalogueKey), c.showing);
        const bool failureTold = !told.filter(QStringLiteral("Failed to apply wallpaper: ")).isEmpty();
        EXPECT_EQ(failureTold, c.told) << told.join(u'|').toStdString();
        if (c.told) {
            EXPECT_TRUE(waitUntil([&] { return toast_.isPresented(); }));
        }
        for (int round = 0; round < 8; ++round) {
            QCoreApplication::processEvents();
            delays_.runScheduled();
        }
    }
    // The outcome had no view left to tell.
    EXPECT_TRUE(signals_.isEmpty());
}

} // namespace
