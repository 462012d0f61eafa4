#include "FakePowerDaemons.h"
#include "PrivateSessionBus.h"

#include "platform/LinuxPowerSource.h"
#include "support/TempFolder.h"

#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

constexpr int kWaitMs = 10'000;

// The Linux power source against fake daemons on a private bus standing in for the system bus.
class LinuxPowerSourceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(bus.isRunning());
        ASSERT_TRUE(daemons.registerOn(bus.connect(kDaemonConnection)));
    }

    // From the daemons' own connection: listeners match signals by the daemon's name.
    void announce(const QString& path, const QString& interface)
    {
        bus.emitSignal(path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"),
            {interface, QVariantMap(), QStringList()}, kDaemonConnection);
    }

    const QString kDaemonConnection = QStringLiteral("quorvelle-test-daemons");

    TempFolder folder;
    PrivateSessionBus bus;
    FakePowerDaemons daemons;
};

TEST_F(LinuxPowerSourceTest, ReadsTheBatteryAndProfileFromTheDaemons)
{
    LinuxPowerSource power(bus.connect(QStringLiteral("quorvelle-test-client")), folder.file(QStringLiteral("no-sysfs")));
    QSignalSpy sources(&power, &PowerSource::sourcesChanged);
    ASSERT_TRUE(sources.wait(kWaitMs));
    ASSERT_EQ(power.sources().size(), 1);
    EXPECT_EQ(power.sources()[0].currentCapacity, 80);
    EXPECT_EQ(power.sources()[0].powerSourceState, PowerSourceDescription::kACPowerState);
    EXPECT_FALSE(power.isLowPowerModeEnabled());

    daemons.battery.percentage = 19.6;
    daemons.battery.state = 2; // discharging
    announce(FakePowerDaemons::kBatteryPath, QStringLiteral("org.freedesktop.UPower.Device"));
    ASSERT_TRUE(sources.wait(kWaitMs));
    EXPECT_EQ(power.sources()[0].currentCapacity, 20);
    EXPECT_EQ(power.sources()[0].powerSourceState, PowerSourceDescription::kBatteryPowerState);

    QSignalSpy lowPower(&power, &PowerSource::lowPowerModeChanged);
    daemons.profiles.activeProfile = QStringLiteral("power-saver");
    announce(QStringLiteral("/net/hadess/PowerProfiles"), QStringLiteral("net.hadess.PowerProfiles"));
    ASSERT_TRUE(lowPower.wait(kWaitMs));
    EXPECT_TRUE(power.isLowPowerModeEnabled());
}

TEST_F(LinuxPowerSourceTest, ADeviceThatIsNotTheMachinesBatteryIsLeftOut)
{
    daemons.battery.powerSupply = false; // a mouse
    LinuxPowerSource power(bus.connect(QStringLiteral("quorvelle-test-client")), folder.file(QStringLiteral("no-sysfs")));
    QSignalSpy sources(&power, &PowerSource::sourcesChanged);
    ASSERT_TRUE(sources.wait(kWaitMs));
    EXPECT_TRUE(power.sources().isEmpty());
}

TEST(LinuxPowerSourceFallbackTest, WithoutABusTheKernelsFilesAnswer)
{
    TempFolder folder;
    const QString battery = folder.file(QStringLiteral("power_supply/BAT0"));
    QDir().mkpath(battery);
    for (const auto& [name, value] : {std::pair{"type", "Battery"}, {"capacity", "64"}, {"status", "Discharging"}}) {
        QFile file(battery + u'/' + QLatin1String(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(value);
    }
    LinuxPowerSource power(QDBusConnection(QStringLiteral("none")), folder.file(QStringLiteral("power_supply")));
    ASSERT_EQ(power.sources().size(), 1);
    EXPECT_EQ(power.sources()[0].currentCapacity, 64);
    EXPECT_FALSE(power.isLowPowerModeEnabled());
}

} // namespace
