#include "session/SystemMonitorService.h"
#include "foundation/Clock.h"
#include "support/FakeSystemLoad.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <atomic>

namespace {

constexpr quint64 kMB = 1024 * 1024;

class SystemMonitorServiceTest : public ::testing::Test {
protected:
    SystemMonitorServiceTest()
    {
        load.setMemory(100 * kMB, 16'000 * kMB);
        load.setCpuTicks(CpuTicks{1000, 500, 8000, 0});
    }

    // Runs one pass and waits until it has published everything.
    void pass(bool forceCache = false)
    {
        QSignalSpy finished(&monitor, &SystemMonitorService::passFinished);
        monitor.refreshInBackground(forceCache);
        ASSERT_TRUE(finished.wait(5'000));
    }

    FakeSystemLoad load;
    ManualClock clock;
    std::atomic<int> cacheReads{0};
    std::atomic<double> cacheSize{12.34};
    SystemMonitorService monitor{load, [this] { ++cacheReads; return cacheSize.load(); }, clock};
};

TEST_F(SystemMonitorServiceTest, TheFirstPassPublishesMemoryAndCacheButNoCpu)
{
    pass();
    EXPECT_EQ(monitor.cpuUsage(), 0);
    EXPECT_DOUBLE_EQ(monitor.ramUsedMB(), 100);
    EXPECT_DOUBLE_EQ(monitor.ramTotalMB(), 16'000);
    EXPECT_DOUBLE_EQ(monitor.cacheSizeMB(), 12.34);
    EXPECT_EQ(monitor.formattedCacheSize(), QStringLiteral("12.3 MB"));
}

TEST_F(SystemMonitorServiceTest, CpuIsTheWholeMachinesBusyShare)
{
    pass();
    // 300 busy ticks (user, system, nice) of 1000: 30 %, however many cores share them.
    load.setCpuTicks(CpuTicks{1200, 550, 8700, 50});
    pass();
    EXPECT_DOUBLE_EQ(monitor.cpuUsage(), 30.0);

    QSignalSpy changes(&monitor, &SystemMonitorService::cpuUsageChanged);
    pass(); // identical counters: nothing to divide by
    load.setCpuTicks(CpuTicks{1100, 550, 8800, 50}); // user went backwards
    pass();
    EXPECT_EQ(changes.count(), 0);
    EXPECT_DOUBLE_EQ(monitor.cpuUsage(), 30.0);

    load.setCpuTicks(std::nullopt); // unreadable: the figures stay
    pass();
    EXPECT_DOUBLE_EQ(monitor.cpuUsage(), 30.0);
}

TEST_F(SystemMonitorServiceTest, SmallMemoryChangesAreNotPublished)
{
    pass();
    QSignalSpy used(&monitor, &SystemMonitorService::ramUsedMBChanged);
    load.setMemory(101 * kMB, 16'000 * kMB); // exactly 1.0 MB more
    pass();
    EXPECT_EQ(used.count(), 0);
    load.setMemory(101 * kMB + kMB / 100 + 1, 16'000 * kMB); // 1.01 MB
    pass();
    EXPECT_EQ(used.count(), 1);
    EXPECT_GT(monitor.ramUsedMB(), 101.0);
}

TEST_F(SystemMonitorServiceTest, TheCacheIsWalkedAtMostEveryThirtySecondsUnlessForced)
{
    pass();
    ASSERT_EQ(cacheReads, 1);
    cacheSize = 50;
    clock.advance(29);
    pass();
    EXPECT_EQ(cacheReads, 1);
    EXPECT_DOUBLE_EQ(monitor.cacheSizeMB(), 12.34);
    pass(true);
    EXPECT_EQ(cacheReads, 2);
    EXPECT_DOUBLE_EQ(monitor.cacheSizeMB(), 50);
    clock.advance(30);
    pass();
    EXPECT_EQ(cacheReads, 3);

    cacheSize = 0;
    pass(true);
    EXPECT_EQ(monitor.formattedCacheSize(), QStringLiteral("0.0 MB"));
}

TEST_F(SystemMonitorServiceTest, OverlappingPassesRunOneAfterAnother)
{
    QSignalSpy finished(&monitor, &SystemMonitorService::passFinished);
    for (int i = 0; i < 20; ++i)
        monitor.refreshInBackground(true);
    while (finished.count() < 20)
        ASSERT_TRUE(finished.wait(5'000));
    EXPECT_EQ(cacheReads, 20);
}

} // namespace
