#include "PrivateSessionBus.h"

#include "app/SystemEventObservers.h"
#include "engine/LockScreenService.h"
#include "engine/WallpaperAerialsExtensionService.h"
#include "foundation/Log.h"
#include "foundation/Shared.h"
#include "foundation/UserDefaults.h"
#include "platform/DBusSessionEvents.h"
#include "support/Eventually.h"
#include "support/FileBytes.h"
#include "support/FakeSessionEvents.h"

#include <QCoreApplication>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>


namespace {

constexpr int kWaitMs = 10'000;
// A restart runs the process search tool, then lets the ended extension settle for half a second.
constexpr int kRestartWaitMs = 5'000;
const QString kRestarted = QStringLiteral("✅ [AppDelegate] WallpaperAerialsExtension restarted successfully after unlock");
const QString kBanner = QStringLiteral("🔓 [AppDelegate] ========== SYSTEM UNLOCK EVENT ==========");

// The observers over fake session events, with a process of the test standing in for the
// lock-screen extension (under a name no other process has).
class SystemEventObserversTest : public ::testing::Test {
protected:
    SystemEventObserversTest() { observers.registerSystemObservers(); }
    ~SystemEventObserversTest() override
    {
        if (standIn.state() != QProcess::NotRunning) {
            standIn.kill();
            standIn.waitForFinished();
        }
    }

    // What the observers and the extension logged: a line of another part, still finishing
    // work an earlier test began, may arrive meanwhile.
    QStringList ownLines() const
    {
        QStringList own = log.lines();
        own.removeIf([](const QString& line) {
            return !line.contains(QStringLiteral("[AppDelegate]")) && !line.contains(QStringLiteral("[WallpaperAerialsExtensionService]"));
        });
        return own;
    }
    UserDefaults& featureDefaults(bool enabled)
    {
        defaults.setBool(LockScreenService::kUserDefaultsKey, enabled);
        return defaults;
    }
    void startStandIn()
    {
        standIn.start(QStringLiteral("bash"), {QStringLiteral("-c"), QStringLiteral("exec -a ") + extensionName + QStringLiteral(" sleep 60")});
        ASSERT_TRUE(standIn.waitForStarted());
        // The shell takes the extension's name only once it runs `exec`: a restart before that
        // finds no extension to end.
        const QString commandLine = QStringLiteral("/proc/%1/cmdline").arg(standIn.processId());
        ASSERT_EVENTUALLY(readFile(commandLine).startsWith(QByteArray(extensionName.toUtf8()).append('\0')), kRestartWaitMs);
    }

    const QString extensionName = QStringLiteral("QuorvelleTestExtension%1").arg(QCoreApplication::applicationPid());
    UserDefaults defaults{UserDefaults::kStandardDomain, UserDefaults::Storage::InMemory};
    LockScreenService lockScreen{featureDefaults(true)};
    Shared<LockScreenService>::Override lockScreenGuard{lockScreen};
    WallpaperAerialsExtensionService extension{extensionName};
    Shared<WallpaperAerialsExtensionService>::Override extensionGuard{extension};
    FakeSessionEvents events;
    SystemEventObservers observers{events};
    QProcess standIn;
    LogCapture log;
};

TEST_F(SystemEventObserversTest, AnUnlockRestartsTheExtensionWhileTheFeatureIsOn)
{
    ASSERT_NO_FATAL_FAILURE(startStandIn());
    events.unlock();
    ASSERT_EVENTUALLY(log.contains(kRestarted), kRestartWaitMs);
    ASSERT_EVENTUALLY(standIn.state() == QProcess::NotRunning, kRestartWaitMs);
    EXPECT_EQ(ownLines().first(), kBanner);
}

TEST_F(SystemEventObserversTest, AWakeCountsAsAnUnlockAndALockDoesNothing)
{
    events.lock();
    EXPECT_TRUE(ownLines().isEmpty());
    events.wake();
    ASSERT_EVENTUALLY(log.contains(kRestarted), kRestartWaitMs);
}

TEST_F(SystemEventObserversTest, WithTheFeatureOffOnlyTheBannerIsLogged)
{
    LockScreenService disabled(featureDefaults(false));
    Shared<LockScreenService>::Override guard(disabled);
    ASSERT_NO_FATAL_FAILURE(startStandIn());
    events.unlock();
    QTest::qWait(200);
    EXPECT_EQ(ownLines(), QStringList{kBanner});
    EXPECT_EQ(standIn.state(), QProcess::Running);
}

TEST_F(SystemEventObserversTest, RemovedObserversHearNothing)
{
    observers.removeSystemObservers();
    events.unlock();
    events.wake();
    EXPECT_TRUE(ownLines().isEmpty());
}

// --- the D-Bus sources ------------------------------------------------------------------------

TEST(DBusSessionEventsTest, ScreenSaversReportEachLockAndUnlockOnce)
{
    PrivateSessionBus bus;
    ASSERT_TRUE(bus.isRunning());
    DBusSessionEvents events(bus.connect(QStringLiteral("quorvelle-test-listener")), QDBusConnection(QStringLiteral("no-system-bus")));
    QSignalSpy unlocked(&events, &SessionEvents::unlocked);
    QSignalSpy locked(&events, &SessionEvents::locked);

    bus.emitSignal(QStringLiteral("/org/freedesktop/ScreenSaver"), QStringLiteral("org.freedesktop.ScreenSaver"),
        QStringLiteral("ActiveChanged"), {false});
    ASSERT_TRUE(unlocked.wait(kWaitMs));

    bus.emitSignal(QStringLiteral("/org/gnome/ScreenSaver"), QStringLiteral("org.gnome.ScreenSaver"), QStringLiteral("ActiveChanged"), {true});
    ASSERT_TRUE(locked.wait(kWaitMs));
    // Both screen savers report the same unlock: one announcement.
    bus.emitSignal(QStringLiteral("/org/gnome/ScreenSaver"), QStringLiteral("org.gnome.ScreenSaver"), QStringLiteral("ActiveChanged"), {false});
    bus.emitSignal(QStringLiteral("/org/freedesktop/ScreenSaver"), QStringLiteral("org.freedesktop.ScreenSaver"),
        QStringLiteral("ActiveChanged"), {false});
    ASSERT_TRUE(unlocked.wait(kWaitMs));
    QTest::qWait(200);
    EXPECT_EQ(unlocked.count(), 2);
    EXPECT_EQ(locked.count(), 1);
}

TEST(DBusSessionEventsTest, WithoutABusItStaysSilent)
{
    DBusSessionEvents events(QDBusConnection(QStringLiteral("none")), QDBusConnection(QStringLiteral("none")));
    QSignalSpy unlocked(&events, &SessionEvents::unlocked);
    QTest::qWait(50);
    EXPECT_EQ(unlocked.count(), 0);
}

} // namespace
