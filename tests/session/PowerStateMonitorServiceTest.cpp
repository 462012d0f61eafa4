#include "app/WallpaperShellFixture.h"

#include "session/PowerStateMonitorService.h"
#include "support/FakePowerSource.h"

namespace {

using Battery = PowerStateMonitorService::BatteryInfo;

// --- reading the power sources ----------------------------------------------------------------

PowerSourceDescription source(std::optional<QString> transport, std::optional<qint64> current, std::optional<qint64> max,
    std::optional<QString> state)
{
    return PowerSourceDescription{std::move(transport), current, max, std::move(state)};
}

const QString kInternal = PowerSourceDescription::kInternalTransport;
const QString kOnBattery = PowerSourceDescription::kBatteryPowerState;
const QString kOnMains = PowerSourceDescription::kACPowerState;

struct BatteryCase {
    const char* name;
    QList<PowerSourceDescription> sources;
    std::optional<int> percent;
    std::optional<bool> onBattery;
};

class ReadBatteryInfoTest : public ::testing::TestWithParam<BatteryCase> {};

TEST_P(ReadBatteryInfoTest, TakesTheFirstInternalSource)
{
    const Battery battery = PowerStateMonitorService::readBatteryInfo(GetParam().sources);
    EXPECT_EQ(battery.percent, GetParam().percent);
    EXPECT_EQ(battery.onBattery, GetParam().onBattery);
}

INSTANTIATE_TEST_SUITE_P(Sources, ReadBatteryInfoTest,
    ::testing::Values(BatteryCase{"none", {}, std::nullopt, std::nullopt},
        BatteryCase{"onlyAPeripheral", {source(QStringLiteral("USB"), 50, 100, kOnBattery)}, std::nullopt, std::nullopt},
        BatteryCase{"capacityOfMaximum", {source(kInternal, 45, 50, kOnBattery)}, 90, true},
        BatteryCase{"exactPercent", {source(kInternal, 29, 100, kOnMains)}, 29, false},
        BatteryCase{"zeroMaximumUsesCurrent", {source(kInternal, 150, 0, kOnMains)}, 100, false},
        BatteryCase{"noTransportCounts", {source(std::nullopt, 7, std::nullopt, std::nullopt)}, 7, std::nullopt},
        BatteryCase{"skipsTheMouse",
            {source(QStringLiteral("Bluetooth"), 3, 100, kOnBattery), source(kInternal, 80, 100, kOnMains)}, 80, false}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

// --- pausing and resuming ---------------------------------------------------------------------

class PowerStateMonitorServiceTest : public WallpaperShellFixture {
protected:
    void startWallpaper() { engine.start(clip(), kKey); }

    FakePowerSource power;
    PowerStateMonitorService monitor{power, engine, *playback};
};

TEST_F(PowerStateMonitorServiceTest, PausesAtTwentyPercentOnBatteryAndResumesOnTheCharger)
{
    startWallpaper();
    startPlaylist({1, 2});
    power.setBattery(21, true);
    monitor.start();
    EXPECT_FALSE(engine.isPaused());
    EXPECT_FALSE(monitor.isAutoPaused());

    power.setBattery(20, true);
    EXPECT_TRUE(engine.isPaused());
    EXPECT_TRUE(playback->isPaused());
    EXPECT_TRUE(monitor.isAutoPaused());
    EXPECT_TRUE(monitor.isBatteryLow());

    power.setBattery(15, false);
    EXPECT_FALSE(engine.isPaused());
    EXPECT_FALSE(playback->isPaused());
    EXPECT_FALSE(monitor.isAutoPaused());
}

TEST_F(PowerStateMonitorServiceTest, TheLowPowerModePausesOnMains)
{
    startWallpaper();
    power.setBattery(100, false);
    monitor.start();
    power.setLowPowerMode(true);
    EXPECT_TRUE(monitor.isLowPowerModeEnabled());
    EXPECT_TRUE(engine.isPaused());
    power.setLowPowerMode(false);
    EXPECT_FALSE(engine.isPaused());
}

TEST_F(PowerStateMonitorServiceTest, APauseMadeByHandBeforehandIsLeftAlone)
{
    startWallpaper();
    startPlaylist({1, 2});
    engine.pause();
    monitor.start();
    power.setBattery(10, true);
    EXPECT_FALSE(monitor.isAutoPaused());
    EXPECT_FALSE(playback->isPaused());
    power.setBattery(60, false);
    EXPECT_TRUE(engine.isPaused());
}

// The tray's pause stops both; a re-apply then plays the video again with the rotation still
// paused. The end of a low battery resumes the video it paused, not that rotation.
TEST_F(PowerStateMonitorServiceTest, ARotationPausedByHandStaysPausedWhenTheConditionEnds)
{
    startWallpaper();
    startPlaylist({1, 2});
    playback->togglePause();
    monitor.start();

    power.setBattery(10, true);
    ASSERT_TRUE(monitor.isAutoPaused());
    EXPECT_TRUE(engine.isPaused());

    power.setBattery(60, false);
    EXPECT_FALSE(engine.isPaused());
    EXPECT_TRUE(playback->isPaused());
}

TEST_F(PowerStateMonitorServiceTest, PlayingByHandDuringTheConditionIsNotUndone)
{
    startWallpaper();
    monitor.start();
    power.setLowPowerMode(true);
    ASSERT_TRUE(monitor.isAutoPaused());

    engine.resume();
    EXPECT_FALSE(monitor.isAutoPaused());
    power.setBattery(50, true); // another power event while the mode still holds
    EXPECT_FALSE(engine.isPaused());

    // The user pauses again; the end of the condition must not resume it.
    engine.pause();
    power.setLowPowerMode(false);
    EXPECT_TRUE(engine.isPaused());

    // The next condition is the service's again.
    engine.resume();
    power.setLowPowerMode(true);
    EXPECT_TRUE(engine.isPaused());
    EXPECT_TRUE(monitor.isAutoPaused());
}

TEST_F(PowerStateMonitorServiceTest, WithoutAWallpaperOnlyTheFlagIsCleared)
{
    monitor.start();
    power.setLowPowerMode(true);
    EXPECT_FALSE(monitor.isAutoPaused());

    startWallpaper();
    power.setBattery(5, true);
    ASSERT_TRUE(monitor.isAutoPaused());
    engine.stopAll();
    power.setLowPowerMode(false);
    power.setBattery(90, false);
    EXPECT_FALSE(monitor.isAutoPaused());
}

TEST_F(PowerStateMonitorServiceTest, AMachineWithoutBatteryNeverPausesForIt)
{
    startWallpaper();
    power.setSources({source(QStringLiteral("USB"), 1, 100, kOnBattery)});
    monitor.start();
    EXPECT_FALSE(monitor.batteryPercent());
    EXPECT_FALSE(monitor.isBatteryLow());
    EXPECT_FALSE(engine.isPaused());
}

} // namespace
