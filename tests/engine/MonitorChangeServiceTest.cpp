#include "EngineFixture.h"

#include "engine/MonitorChangeService.h"
#include "foundation/Log.h"

#include <QSignalSpy>
#include <QTest>

namespace {

const QString kChangeLine = QStringLiteral("🖥️ [MonitorChangeService] ========== MONITOR CHANGE DETECTED ==========");
const QString kClosingLine = QStringLiteral("🖥️ [MonitorChangeService] ==========================================");
const QString kSkipLine = QStringLiteral("ℹ️ [MonitorChangeService] No wallpaper is currently active, skipping");

class MonitorChangeServiceTest : public EngineFixture {
protected:
    MonitorChangeServiceTest() { service.startObserving(); }

    // Waits until `count` changes have been handled to their end, delayed passes included.
    bool waitForClosingLines(qsizetype count)
    {
        return QTest::qWaitFor([&] { return log.lines().count(kClosingLine) >= count; }, kWaitMs);
    }

    LogCapture log;
    MonitorChangeService service{screens, engine};
};

TEST_F(MonitorChangeServiceTest, StartsAndStopsOnce)
{
    EXPECT_EQ(log.lines(),
              (QStringList{QStringLiteral("🔧 [MonitorChangeService] Setting up monitor change detection observers..."),
                           QStringLiteral("✅ [MonitorChangeService] Monitor change detection observers set up successfully")}));
    service.startObserving();
    EXPECT_EQ(log.lines().last(), "ℹ️ [MonitorChangeService] Already observing monitor changes");

    // Started twice, still one pass per change.
    screens.announceChange();
    EXPECT_EQ(log.lines().count(kChangeLine), 1);

    service.stopObserving();
    EXPECT_EQ(log.lines().last(), "✅ [MonitorChangeService] Monitor change detection stopped");
    log.clear();
    service.stopObserving();
    screens.announceChange();
    EXPECT_TRUE(log.lines().isEmpty());
    EXPECT_FALSE(service.isObserving());
}

TEST_F(MonitorChangeServiceTest, WithoutAWallpaperOnlyTheImmediatePassRuns)
{
    screens.announceChange();
    const QStringList lines = log.lines().mid(2);
    const QString count = QStringLiteral("🖥️ [MonitorChangeService] Current screen count: 2");
    EXPECT_EQ(lines, (QStringList{kChangeLine, count, kSkipLine, kClosingLine}));
}

TEST_F(MonitorChangeServiceTest, ANewDisplayGetsTheWallpaperAfterTheDelay)
{
    screens.setScreens({displayA()});
    engine.start(clip(), 7);
    QSignalSpy reapplied(&service, &MonitorChangeService::wallpaperReapplied);

    screens.setScreens({displayA(), displayB()});
    screens.announceChange();
    // At once only displays with their own record are covered; B has none yet.
    EXPECT_FALSE(entry(2));

    ASSERT_TRUE(reapplied.wait(kWaitMs));
    ASSERT_TRUE(entry(2));
    EXPECT_EQ(entry(2)->wallpaperKey, 7);
    EXPECT_TRUE(log.contains(QStringLiteral("✅ [MonitorChangeService] Wallpaper reapplied to 2 screen(s)")));
    EXPECT_TRUE(waitForClosingLines(1));
}

TEST_F(MonitorChangeServiceTest, SavedWallpapersComeBackWithTheirDisplays)
{
    engine.start(clip(), 42);
    screens.setScreens({});
    screens.announceChange();
    EXPECT_TRUE(engine.entries().empty());
    EXPECT_FALSE(engine.currentWallpaperKey());
    EXPECT_TRUE(log.contains(kSkipLine));

    // The displays return: their records bring the wallpaper back at once, and the delayed pass follows.
    QSignalSpy reapplied(&service, &MonitorChangeService::wallpaperReapplied);
    screens.setScreens({displayA(), displayB()});
    screens.announceChange();
    EXPECT_EQ(entryIds(), (std::vector<quint32>{1, 2}));
    EXPECT_EQ(engine.currentWallpaperKey(), 42);
    EXPECT_TRUE(reapplied.wait(kWaitMs));
}

TEST_F(MonitorChangeServiceTest, EveryChangeGetsItsOwnDelayedPass)
{
    engine.start(clip(), 42);
    for (int i = 0; i < 3; ++i)
        screens.announceChange();
    EXPECT_EQ(log.lines().count(kChangeLine), 3);
    ASSERT_TRUE(waitForClosingLines(3));
    EXPECT_EQ(log.lines().count(QStringLiteral("✅ [MonitorChangeService] Wallpaper reapplied to 2 screen(s)")), 3);
}

TEST_F(MonitorChangeServiceTest, DisplaysGoneByTheDelayedPassAreLogged)
{
    engine.start(clip(), 42);
    screens.announceChange();
    screens.setScreens({});
    ASSERT_TRUE(waitForClosingLines(1));
    EXPECT_TRUE(log.contains(QStringLiteral("⚠️ [MonitorChangeService] No screens detected after delay")));
}

} // namespace
