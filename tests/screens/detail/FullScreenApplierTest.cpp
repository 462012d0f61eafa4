#include "DetailFixture.h"

#include "foundation/Paths.h"
#include "platform/Http.h"
#include "screens/detail/FullScreenApplier.h"
#include "support/FullFileSystem.h"

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
// install: the applier's stage (the foot bar's words) follows the apply to that end, not only
// its download.
TEST_F(FullScreenApplierTest, TheApplyStageFollowsTheApplyToItsEnd)
{
    setLockScreenFeature(true);
    cachedRequest();
    FullScreenApplier applier(catalogueRecord(), {});
    QList<ApplyToast::Stage> stages;
    QObject::connect(&applier, &FullScreenApplier::stateChanged, &applier, [&] {
        if (applier.isApplyingWallpaper() && (stages.isEmpty() || stages.constLast() != applier.applyStage()))
            stages.append(applier.applyStage());
    });
    applier.applyToTarget(std::nullopt, Target::both);
    finish(applier);
    EXPECT_TRUE(trace_.steps().contains(QStringLiteral("movie installed")));
    ASSERT_FALSE(stages.isEmpty());
    EXPECT_EQ(stages.constLast(), ApplyToast::Stage::lockScreen);
    EXPECT_TRUE(stages.contains(ApplyToast::Stage::applied));
}

TEST_F(FullScreenApplierTest, ARecordItCannotApplyIsRefusedWithoutATask)
{
    WallpaperModel keyless = catalogueRecord();
    keyless.key.reset();
    WallpaperModel masterless = catalogueRecord();
    masterless.masterUrl.reset(); // and no asset host is known yet
    for (const auto& [record, line] : {std::pair{keyless, "Cannot apply wallpaper: missing key"},
             std::pair{masterless, "Cannot apply wallpaper: missing masterUrl"}}) {
        FullScreenApplier applier(record, {});
        applier.applyToTarget(0, Target::desktop);
        EXPECT_FALSE(applier.isApplyingWallpaper());
        EXPECT_EQ(applier.applyError(), QString::fromUtf8(FullScreenApplier::kIncompleteError));
        EXPECT_TRUE(log_.contains(QString::fromLatin1(line)));
        applier.applyToLockScreenOnly();
        EXPECT_FALSE(applier.isApplyingWallpaper());
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
        ASSERT_EVENTUALLY(toast_.message() == QStringLiteral("Failed to apply wallpaper"), 5000);
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
    const QString expected = disk.isTmpfs() ? QStringLiteral("Failed to apply wallpaper: the disk is full")
                                            : QStringLiteral("Failed to apply wallpaper");
    ASSERT_EVENTUALLY(toast_.message() == expected, 5000) << toast_.message().toStdString();
    ASSERT_TRUE(applier.applyError());
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
    ASSERT_EVENTUALLY(toast_.message() == QStringLiteral("Failed to apply wallpaper"), 5000);
    EXPECT_EQ(toast_.title(), catalogueRecord().title);
    toast_.updateMessage(import, QStringLiteral("Video added"));
    toast_.updateProgress(import, 1.0);
    QTest::qWait(50);
    EXPECT_EQ(toast_.message(), QStringLiteral("Failed to apply wallpaper"));
    EXPECT_EQ(toast_.progress(), 0);
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

TEST_F(FullScreenApplierTest, AnApplyOutlivesItsViewAndReachesTheDesktop)
{
    cachedRequest();
    auto applier = std::make_unique<FullScreenApplier>(catalogueRecord(), FullScreenApplier::Options{});
    applier->applyToTarget(std::nullopt, Target::desktop);
    applier.reset();
    EXPECT_TRUE(waitUntil([&] { return displaysShowing(kCatalogueKey).size() == 2; }));
    // The last step: the toast is told to go.
    EXPECT_TRUE(waitUntil([&] { return delays_.scheduled().contains(2000); }));
    // The outcome had no view left to tell.
    EXPECT_TRUE(signals_.isEmpty());
}

} // namespace
