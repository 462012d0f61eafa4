#include "LockScreenFixture.h"
#include "engine/AerialsManifestEdit.h"
#include "engine/EntriesJSONService.h"
#include "engine/LockScreenService.h"
#include "foundation/Log.h"
#include "foundation/UserDefaults.h"

#include "support/Eventually.h"
#include "support/SettingsReadFault.h"

#include <QSignalSpy>
#include <QTest>

#include <cerrno>

namespace {

using samplecatalogue::Fault;

class LockScreenServiceTest : public LockScreenFixture {
protected:
    LockScreenServiceTest() { folders_.seedIfNew(); }

    // Runs the event loop until the switching step has ended.
    void settle(LockScreenService& service) const
    {
        EXPECT_TRUE(QTest::qWaitFor([&service] { return !service.isProcessing(); }, 30'000));
    }
    static QList<bool> announced(const QSignalSpy& spy)
    {
        QList<bool> values;
        for (const QList<QVariant>& arguments : spy)
            values.append(arguments.at(0).toBool());
        return values;
    }
    bool hasApplicationEntries() const { return manifest().contains(AerialsFolders::kAssetId.toUtf8()); }
    // The switch, on, with the manifest installed.
    void switchOn(LockScreenService& service)
    {
        service.setIsEnabled(true);
        settle(service);
        ASSERT_TRUE(hasApplicationEntries());
    }

    UserDefaults defaults_{UserDefaults::kStandardDomain, UserDefaults::Storage::InMemory};
    EntriesJSONService manifests_{folders_};
    Shared<EntriesJSONService>::Override manifestsOverride_{manifests_};
    LockScreenService service_{defaults_};
    QSignalSpy changes_{&service_, &LockScreenService::isEnabledChanged};
};

TEST_F(LockScreenServiceTest, StartsFromTheStoredSwitchAndOnlyATrueBooleanIsOn)
{
    EXPECT_FALSE(service_.isEnabled());
    defaults_.setString(LockScreenService::kUserDefaultsKey, QStringLiteral("yes"));
    EXPECT_FALSE(LockScreenService(defaults_).isEnabled());
    defaults_.setBool(LockScreenService::kUserDefaultsKey, true);
    EXPECT_TRUE(LockScreenService(defaults_).isEnabled());
}

TEST_F(LockScreenServiceTest, SwitchesOnAndOffEndToEndWithoutBlocking)
{
    QProcess& running = extension_.start();
    service_.setIsEnabled(true);
    // Announced at once; the steps run later, on the event loop.
    EXPECT_TRUE(service_.isEnabled());
    EXPECT_TRUE(service_.isProcessing());
    EXPECT_FALSE(defaults_.contains(LockScreenService::kUserDefaultsKey));
    settle(service_);
    EXPECT_TRUE(hasApplicationEntries());
    EXPECT_TRUE(defaults_.boolean(LockScreenService::kUserDefaultsKey));
    EXPECT_TRUE(DummyExtension::ended(running));

    QProcess& restarted = extension_.start();
    service_.setIsEnabled(false);
    settle(service_);
    EXPECT_EQ(manifest(), servedStockManifest());
    EXPECT_FALSE(defaults_.boolean(LockScreenService::kUserDefaultsKey, true));
    EXPECT_TRUE(DummyExtension::ended(restarted));
    EXPECT_EQ(announced(changes_), (QList<bool>{true, false}));
}

TEST_F(LockScreenServiceTest, AssigningTheCurrentValueIsAnnouncedAndRunsNothing)
{
    const QByteArray before = manifest();
    service_.setIsEnabled(false);
    EXPECT_FALSE(service_.isProcessing());
    EXPECT_EQ(announced(changes_), QList<bool>{false});
    EXPECT_FALSE(defaults_.contains(LockScreenService::kUserDefaultsKey));
    EXPECT_EQ(manifest(), before);
}

// A failed switch puts back the published value and runs no step the other way: the manifest
// is neither restored after a failed install nor installed after a failed restore.
TEST_F(LockScreenServiceTest, AFailedSwitchOnlyPutsThePublishedValueBack)
{
    QFile::remove(manifestPath());
    LogCapture log;
    service_.setIsEnabled(true);
    settle(service_);
    EXPECT_EQ(announced(changes_), (QList<bool>{true, false}));
    EXPECT_FALSE(QFile::exists(manifestPath())) << "the revert restored the stock manifest";
    EXPECT_FALSE(defaults_.contains(LockScreenService::kUserDefaultsKey));
    EXPECT_TRUE(log.contains(QStringLiteral("⚠️ [LockScreenService] Could not switch the lock screen on: Original entries.json not "
                                            "found at: entries.json not found in system path")));

    writeManifest(AerialsFolders::stockManifest());
    switchOn(service_);
    changes_.clear();
    QFile::remove(manifests_.backupPath());
    catalogue_.server().setFault(stockPath(), Fault{503, 0, false, false, -1});
    service_.setIsEnabled(false);
    settle(service_);
    EXPECT_EQ(announced(changes_), (QList<bool>{false, true}));
    EXPECT_TRUE(hasApplicationEntries());
    EXPECT_TRUE(defaults_.boolean(LockScreenService::kUserDefaultsKey));
}

TEST_F(LockScreenServiceTest, SwitchingOffWithoutTheStockManifestPutsTheBackupBack)
{
    const QByteArray before = manifest();
    switchOn(service_);
    catalogue_.server().setFault(stockPath(), Fault{0, 0, false, true, -1});
    service_.setIsEnabled(false);
    settle(service_);
    EXPECT_EQ(manifest(), before);
    EXPECT_FALSE(service_.isEnabled());
    EXPECT_FALSE(defaults_.boolean(LockScreenService::kUserDefaultsKey, true));
}

TEST_F(LockScreenServiceTest, AToggleWhileSwitchingIsTurnedDown)
{
    switchOn(service_);
    catalogue_.server().setFault(stockPath(), Fault{0, 300, false, false, 1});
    changes_.clear();
    service_.setIsEnabled(false);
    service_.setIsEnabled(true);
    EXPECT_FALSE(service_.isEnabled());
    settle(service_);
    EXPECT_EQ(announced(changes_), (QList<bool>{false, false}));
    EXPECT_EQ(manifest(), servedStockManifest());
    EXPECT_FALSE(defaults_.boolean(LockScreenService::kUserDefaultsKey, true));
}

TEST_F(LockScreenServiceTest, AFailedRestartDoesNotFailTheSwitch)
{
    extension_.start();
    restarter_.setSignalSender([](qint32, int) { return EPERM; });
    LogCapture log;
    switchOn(service_);
    EXPECT_TRUE(defaults_.boolean(LockScreenService::kUserDefaultsKey));
    EXPECT_TRUE(log.contains(QStringLiteral("⚠️ [LockScreenService] Extension restart failed: Failed to restart extension: ")));
}

// A settings database that could not be opened at launch holds the switch the user left on.
TEST_F(LockScreenServiceTest, TakesTheStoredSwitchFromASettingsDatabaseOpenedLate)
{
    UserDefaults().setBool(LockScreenService::kUserDefaultsKey, true);
    SettingsReadFault fault(EMFILE);
    UserDefaults late;
    LockScreenService service(late);
    QSignalSpy changes(&service, &LockScreenService::isEnabledChanged);
    EXPECT_FALSE(service.isEnabled());

    fault.pass();
    ASSERT_EVENTUALLY(!changes.isEmpty(), 30 * UserDefaults::kFirstRetryMs);
    EXPECT_FALSE(late.awaitsFile());
    EXPECT_TRUE(service.isEnabled());
    EXPECT_EQ(announced(changes), QList<bool>{true});
    EXPECT_FALSE(service.isProcessing());
}

} // namespace
