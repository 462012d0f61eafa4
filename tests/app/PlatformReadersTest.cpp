#include "platform/DesktopEntry.h"
#include "platform/FileError.h"
#include "platform/ProcSystemLoad.h"
#include "platform/SysfsPowerSupplies.h"
#include "platform/XdgAutostartLoginItem.h"
#include "support/FileBytes.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

void writeFile(const QString& path, const QByteArray& text)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
}

// --- /proc ------------------------------------------------------------------------------------

struct CpuLineCase {
    const char* stat;
    std::optional<CpuTicks> expected;
};

class CpuLineTest : public ::testing::TestWithParam<CpuLineCase> {};

TEST_P(CpuLineTest, ReadsTheMachineLine)
{
    EXPECT_EQ(ProcSystemLoad::parseCpuLine(GetParam().stat), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Lines, CpuLineTest,
    ::testing::Values(
        // user nice system idle iowait irq softirq steal: interrupts and steal count as system
        // time, waiting for input and output as idle time.
        CpuLineCase{"cpu  100 5 40 800 20 3 2 1 0 0\ncpu0 50 2 20 400 10 1 1 0 0 0\n", CpuTicks{100, 46, 820, 5}},
        CpuLineCase{"cpu 1 2 3 4\n", CpuTicks{1, 3, 4, 2}},
        CpuLineCase{"cpu0 1 2 3 4 5\n", std::nullopt},
        CpuLineCase{"cpu 1 2 x 4 5\n", std::nullopt},
        CpuLineCase{"", std::nullopt}));

TEST(ProcSystemLoadTest, ReadsMemoryLinesInBytes)
{
    const QByteArray status = "Name:\tquorvelle\nVmPeak:\t  9000 kB\nVmRSS:\t  2048 kB\n";
    EXPECT_EQ(ProcSystemLoad::parseKilobytes(status, "VmRSS"), 2048u * 1024u);
    EXPECT_EQ(ProcSystemLoad::parseKilobytes(status, "VmSwap"), std::nullopt);
    EXPECT_EQ(ProcSystemLoad::parseKilobytes("VmRSS: many kB\n", "VmRSS"), std::nullopt);
}

TEST(ProcSystemLoadTest, ReadsTheRunningSystemAndToleratesAMissingOne)
{
    const ProcSystemLoad real;
    EXPECT_TRUE(real.cpuTicks().has_value());
    ASSERT_TRUE(real.memoryFootprintBytes().has_value());
    ASSERT_TRUE(real.physicalMemoryBytes().has_value());
    EXPECT_LT(*real.memoryFootprintBytes(), *real.physicalMemoryBytes());

    TempFolder folder;
    const ProcSystemLoad unreadable(folder.file(QStringLiteral("no-proc")));
    EXPECT_FALSE(unreadable.cpuTicks());
    EXPECT_FALSE(unreadable.memoryFootprintBytes());
    EXPECT_FALSE(unreadable.physicalMemoryBytes());
}

// --- sysfs ------------------------------------------------------------------------------------

TEST(SysfsPowerSuppliesTest, ListsTheMachinesOwnBatteriesOnly)
{
    TempFolder folder;
    const QString root = folder.file(QStringLiteral("power_supply"));
    writeFile(root + QStringLiteral("/AC/type"), "Mains\n");
    writeFile(root + QStringLiteral("/AC/online"), "0\n");
    writeFile(root + QStringLiteral("/BAT0/type"), "Battery\n");
    writeFile(root + QStringLiteral("/BAT0/capacity"), "17\n");
    writeFile(root + QStringLiteral("/BAT0/status"), "Discharging\n");
    writeFile(root + QStringLiteral("/BAT1/type"), "Battery\n");
    writeFile(root + QStringLiteral("/BAT1/present"), "0\n");
    writeFile(root + QStringLiteral("/hidpp_battery_0/type"), "Battery\n");
    writeFile(root + QStringLiteral("/hidpp_battery_0/scope"), "Device\n");
    writeFile(root + QStringLiteral("/hidpp_battery_0/capacity"), "5\n");

    const QList<PowerSourceDescription> sources = SysfsPowerSupplies::read(root);
    ASSERT_EQ(sources.size(), 1);
    EXPECT_EQ(sources[0].transportType, PowerSourceDescription::kInternalTransport);
    EXPECT_EQ(sources[0].currentCapacity, 17);
    EXPECT_EQ(sources[0].maxCapacity, 100);
    EXPECT_EQ(sources[0].powerSourceState, PowerSourceDescription::kBatteryPowerState);

    writeFile(root + QStringLiteral("/BAT0/status"), "Charging\n");
    EXPECT_EQ(SysfsPowerSupplies::read(root).value(0).powerSourceState, PowerSourceDescription::kACPowerState);
    EXPECT_TRUE(SysfsPowerSupplies::read(folder.file(QStringLiteral("none"))).isEmpty());
}

// --- the XDG autostart entry ------------------------------------------------------------------

class XdgAutostartLoginItemTest : public ::testing::Test {
protected:
    TempFolder folder;
    const QString program = QStringLiteral("/opt/Quorvelle app/bin/quorvelle");
    XdgAutostartLoginItem item{program, XdgAutostartLoginItem::defaultEntryPath()};
};

TEST_F(XdgAutostartLoginItemTest, RegistersAnEntryThatStartsTheProgramAtLogin)
{
    EXPECT_EQ(XdgAutostartLoginItem::defaultEntryPath(), Paths::configuration() + QStringLiteral("/autostart/quorvelle.desktop"));
    EXPECT_EQ(item.status(), LoginItem::Status::NotRegistered);

    item.registerItem();
    EXPECT_EQ(item.status(), LoginItem::Status::Enabled);
    const DesktopEntry entry(QString::fromUtf8(readFile(item.entryPath())));
    EXPECT_EQ(entry.value(QStringLiteral("Exec")), QStringLiteral("\"/opt/Quorvelle app/bin/quorvelle\" --login-launch"));
    EXPECT_EQ(entry.value(QStringLiteral("Type")), QStringLiteral("Application"));

    item.unregisterItem();
    EXPECT_EQ(item.status(), LoginItem::Status::NotRegistered);
    EXPECT_FALSE(QFileInfo::exists(item.entryPath()));
    EXPECT_THROW(item.unregisterItem(), FileError);
}

TEST_F(XdgAutostartLoginItemTest, AnEntryTurnedOffOrForAnotherProgramIsNotRegisteredAndAnotherCopysIsKnown)
{
    item.registerItem();
    const QByteArray registered = readFile(item.entryPath());
    const QByteArray turnedOff[] = {registered + "Hidden=true\n",
        QByteArray(registered).replace("X-GNOME-Autostart-enabled=true", "X-GNOME-Autostart-enabled=false")};
    for (const QByteArray& text : turnedOff) {
        writeFile(item.entryPath(), text);
        EXPECT_EQ(item.status(), LoginItem::Status::NotRegistered) << text.constData();
    }
    // The command alone tells another copy's entry from another program's.
    XdgAutostartLoginItem moved(QStringLiteral("/usr/bin/quorvelle"), item.entryPath());
    const std::pair<QByteArray, LoginItem::Status> commands[] = {
        {"\"/opt/Quorvelle app/bin/quorvelle\" --login-launch", LoginItem::Status::OtherCopy},
        {"/home/ann/Applications/Quorvelle.app/bin/quorvelle --login-launch", LoginItem::Status::OtherCopy},
        {"\"/opt/100%% Quorvelle/quorvelle\" --login-launch", LoginItem::Status::OtherCopy},
        {"/usr/bin/other-player --fullscreen", LoginItem::Status::NotRegistered},
        {"/opt/quorvelle/bin/quorvelle", LoginItem::Status::NotRegistered},
        {"/opt/quorvelle/bin/quorvelle --login-launch --verbose", LoginItem::Status::NotRegistered},
    };
    const QByteArray ownCommand = "\"/opt/Quorvelle app/bin/quorvelle\" --login-launch";
    for (const auto& [command, status] : commands) {
        writeFile(item.entryPath(), QByteArray(registered).replace(ownCommand, command));
        EXPECT_EQ(moved.status(), status) << command.constData();
    }
    moved.registerItem();
    EXPECT_EQ(moved.status(), LoginItem::Status::Enabled);
    EXPECT_EQ(item.status(), LoginItem::Status::OtherCopy);
}

TEST_F(XdgAutostartLoginItemTest, AnUnwritableFolderIsAnError)
{
    // A file where the autostart folder should be.
    writeFile(Paths::configuration() + QStringLiteral("/autostart"), "not a folder");
    EXPECT_THROW(item.registerItem(), FileError);
    EXPECT_EQ(item.status(), LoginItem::Status::NotRegistered);
}

TEST(DesktopEntryTest, ReadsKeysOfTheMainGroupOnly)
{
    const DesktopEntry entry(QStringLiteral("# comment\n[Desktop Entry]\nName = Quorvelle\nHidden=true\nName[de]=Q\n"
                                            "[Desktop Action New]\nExec=other\n"));
    EXPECT_EQ(entry.value(QStringLiteral("Name")), QStringLiteral("Quorvelle"));
    EXPECT_EQ(entry.boolean(QStringLiteral("Hidden")), true);
    EXPECT_EQ(entry.value(QStringLiteral("Exec")), std::nullopt);
    EXPECT_EQ(entry.boolean(QStringLiteral("Name")), std::nullopt);
    EXPECT_EQ(DesktopEntry::quotedArgument(QStringLiteral("/a \"b\"/$c%")), QStringLiteral("\"/a \\\"b\\\"/\\$c%%\""));
}

} // namespace
