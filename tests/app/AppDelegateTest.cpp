#include "app/AppDelegate.h"
#include "app/LaunchReapply.h"
#include "app/MainWindow.h"
#include "app/ShellDefaults.h"
#include "engine/HomeScreenWallpaperEngine.h"
#include "engine/MonitorChangeService.h"
#include "foundation/Log.h"
#include "foundation/Shared.h"
#include "foundation/UserDefaults.h"
#include "library/CustomWallpapersService.h"
#include "platform/DesktopEntry.h"
#include "platform/XdgAutostartLoginItem.h"
#include "session/AutoStartService.h"
#include "session/LoginItemService.h"
#include "session/NotificationCenter.h"
#include "support/FakeLoginItem.h"
#include "support/FakeScreens.h"
#include "support/FakeSessionEvents.h"
#include "support/StoredEntries.h"
#include "support/TempFolder.h"
#include "updater/UpdaterFolders.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

using Status = LoginItem::Status;

// The delegate's login, first-launch and termination rules over a fake login item, fake session
// events and the real login-item services, each installed as the shared one.
class AppDelegateTest : public ::testing::Test {
protected:
    AppDelegate& delegate(const QStringList& arguments = {QStringLiteral("quorvelle")})
    {
        made = std::make_unique<AppDelegate>(arguments, [] { return new MainWindow(); }, defaults, events, std::make_unique<LaunchReapply>());
        return *made;
    }
    void makeSwitch()
    {
        autoStartGuard.reset();
        autoStart = std::make_unique<AutoStartService>(loginItems, defaults, center);
        autoStartGuard = std::make_unique<Shared<AutoStartService>::Override>(*autoStart);
    }

    TempFolder folder;
    UserDefaults defaults{UserDefaults::kStandardDomain, UserDefaults::Storage::InMemory};
    FakeLoginItem item;
    NotificationCenter center;
    Shared<NotificationCenter>::Override centerGuard{center};
    LoginItemService loginItems{item, defaults, center};
    Shared<LoginItemService>::Override loginItemsGuard{loginItems};
    std::unique_ptr<AutoStartService> autoStart;
    std::unique_ptr<Shared<AutoStartService>::Override> autoStartGuard;
    FakeScreens screens{{FakeScreens::display(QStringLiteral("Display A"), QRect(0, 0, 320, 180))}};
    HomeScreenWallpaperEngine engine{screens, defaults};
    MonitorChangeService displays{screens, engine};
    Shared<MonitorChangeService>::Override displaysGuard{displays};
    CustomWallpapersService ownVideos{defaults, folder.path()};
    Shared<CustomWallpapersService>::Override ownVideosGuard{ownVideos};
    FakeSessionEvents events;
    std::unique_ptr<AppDelegate> made;
    LogCapture log;
};

struct LoginCase {
    bool startOnLogin;
    bool startedWithFlag;
    bool hasShownWindow;
    bool isLoginLaunch;
};

class LoginLaunchTest : public AppDelegateTest, public ::testing::WithParamInterface<LoginCase> {};

TEST_P(LoginLaunchTest, OnlyTheAutostartEntryOfAnEnabledLoginItemCounts)
{
    const LoginCase& c = GetParam();
    defaults.setBool(LoginItemService::startOnLoginKey, c.startOnLogin);
    defaults.setBool(ShellDefaults::hasShownWindowThisSession, c.hasShownWindow);
    QStringList arguments{QStringLiteral("quorvelle")};
    if (c.startedWithFlag)
        arguments.append(LoginItem::kLoginLaunchArgument);

    EXPECT_EQ(delegate(arguments).detectLoginLaunch(), c.isLoginLaunch);
    // Only an ordinary launch marks the session as having shown a window.
    EXPECT_EQ(defaults.boolean(ShellDefaults::hasShownWindowThisSession), c.hasShownWindow || !c.isLoginLaunch);
}

INSTANTIATE_TEST_SUITE_P(Flags, LoginLaunchTest,
    ::testing::Values(LoginCase{true, true, false, true}, LoginCase{false, true, false, false}, LoginCase{true, false, false, false},
        // A process that ended without its termination steps left the flag set.
        LoginCase{true, true, true, false}));

TEST_F(AppDelegateTest, TheFirstLaunchSwitchesStartAtLoginOnOnce)
{
    makeSwitch();
    delegate().handleFirstLaunch();
    EXPECT_TRUE(autoStart->isEnabled());
    EXPECT_EQ(item.status(), Status::Enabled);
    EXPECT_TRUE(defaults.boolean(ShellDefaults::hasLaunchedBefore));
    EXPECT_EQ(log.lines().last(), QStringLiteral("Auto-start set to: true"));

    autoStart->setEnabled(false);
    delegate().handleFirstLaunch();
    EXPECT_FALSE(autoStart->isEnabled());
    EXPECT_EQ(item.registerCalls, 1);
}

// Settings that were there and could not be read prove an earlier launch: the user may have
// switched start at login off, and the rule must not switch it back on.
TEST_F(AppDelegateTest, DamagedSettingsAreNoFirstLaunch)
{
    const QString settings = Paths::configuration() + QStringLiteral("/Quorvelle");
    const QString database = settings + QStringLiteral("/standard.sqlite3");
    struct Case {
        const char* what;
        std::function<void()> make;
    };
    const Case cases[] = {
        {"a damaged database",
            [&] {
                QFile file(database);
                ASSERT_TRUE(file.open(QIODevice::WriteOnly));
                file.write(QByteArray(8192, 'x'));
            }},
        {"the flag unreadable",
            [&] {
                const QString failure = putStoredEntries(database,
                    {{QStringLiteral("startOnLoginEnabled"), R"({"type":"bool","value":false})"},
                        {QStringLiteral("hasLaunchedBefore"), R"({"type":"bool","value":"yes"})"}});
                ASSERT_TRUE(failure.isEmpty()) << failure.toStdString();
            }},
        {"a database that cannot be opened now", [&] { ASSERT_TRUE(QDir().mkpath(database)); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QDir(settings).removeRecursively();
        QDir().mkpath(settings);
        c.make();
        UserDefaults onDisk;
        makeSwitch();
        AppDelegate({}, [] { return new MainWindow(); }, onDisk, events, std::make_unique<LaunchReapply>()).handleFirstLaunch();
        EXPECT_EQ(item.registerCalls, 0);
    }
}

TEST_F(AppDelegateTest, TheLaunchFollowsTheSystemsLoginItem)
{
    // The user removed the entry while the application was not running.
    defaults.setBool(LoginItemService::startOnLoginKey, true);
    makeSwitch();
    delegate().syncLoginItemState();
    EXPECT_FALSE(defaults.boolean(LoginItemService::startOnLoginKey));
    EXPECT_FALSE(autoStart->isEnabled());
    EXPECT_EQ(item.unregisterCalls, 0);

    // Flag and system agree: a differing switch is left as it is.
    item.setStatus(Status::Enabled);
    defaults.setBool(LoginItemService::startOnLoginKey, true);
    log.clear();
    delegate().syncLoginItemState();
    EXPECT_FALSE(autoStart->isEnabled());
    EXPECT_TRUE(log.lines().isEmpty());
}

// The real autostart entry in a temporary configuration folder, damaged in the ways a crash, a
// full disk or a hand edit leave it: the stored choice holds and mends the entry.
TEST_F(AppDelegateTest, ADamagedAutostartEntryKeepsTheChoiceAndIsWrittenAgain)
{
    XdgAutostartLoginItem entry(QStringLiteral("/opt/quorvelle/bin/quorvelle"), XdgAutostartLoginItem::defaultEntryPath());
    LoginItemService realItems{entry, defaults, center};
    Shared<LoginItemService>::Override realGuard{realItems};
    makeSwitch();
    entry.registerItem();
    QFile written(entry.entryPath());
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QByteArray whole = written.readAll();
    written.close();

    const auto damage = [&](const QByteArray& text) {
        QFile::remove(entry.entryPath());
        QFile file(entry.entryPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    };
    struct Case {
        const char* name;
        std::function<void()> make;
    };
    const Case cases[] = {
        {"garbage", [&] { damage(QByteArray("\x7f\x00\xff garbage \x01", 14)); }},
        {"empty", [&] { damage({}); }},
        {"half", [&] { damage(whole.left(whole.indexOf("Exec=") + 12)); }},
        {"no command", [&] { damage(QByteArray(whole).replace("Exec=", "Exe=")); }},
        {"folder", [&] { QFile::remove(entry.entryPath()); ASSERT_TRUE(QDir().mkdir(entry.entryPath())); }},
    };
    for (const bool wanted : {true, false}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (wanted ? " (on)" : " (off)"));
            defaults.setBool(LoginItemService::startOnLoginKey, wanted);
            c.make();
            ASSERT_EQ(entry.status(), Status::Damaged);
            log.clear();
            delegate().syncLoginItemState();
            EXPECT_EQ(defaults.boolean(LoginItemService::startOnLoginKey), wanted);
            EXPECT_EQ(entry.status(), wanted ? Status::Enabled : Status::NotRegistered);
            EXPECT_TRUE(log.contains(QStringLiteral("The login item was damaged")));
        }
    }

    // Turned off by the user's hand: that is a choice, and the switch follows it.
    entry.registerItem();
    damage(whole + "Hidden=true\n");
    defaults.setBool(LoginItemService::startOnLoginKey, true);
    delegate().syncLoginItemState();
    EXPECT_FALSE(defaults.boolean(LoginItemService::startOnLoginKey));
}

// An entry an earlier copy wrote (run from a download, then installed as a package) starts this
// copy from now on; the user's own word in the entry still wins.
TEST_F(AppDelegateTest, AnAutostartEntryOfAnotherCopyIsPointedAtThisOne)
{
    const QString earlierPath = QStringLiteral("/home/ann/Applications/Quorvelle.app/bin/quorvelle");
    XdgAutostartLoginItem earlier(earlierPath, XdgAutostartLoginItem::defaultEntryPath());
    XdgAutostartLoginItem entry(QStringLiteral("/usr/bin/quorvelle"), XdgAutostartLoginItem::defaultEntryPath());
    LoginItemService realItems{entry, defaults, center};
    Shared<LoginItemService>::Override realGuard{realItems};
    makeSwitch();
    struct Case {
        const char* name;
        bool wish;
        QByteArray added;
        bool startsThisCopy;
    };
    const Case cases[] = {
        {"on", true, {}, true},
        {"on, wish unknown here", false, {}, true},
        {"turned off by hand", true, "Hidden=true\n", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        earlier.registerItem();
        if (!c.added.isEmpty()) {
            QFile file(entry.entryPath());
            ASSERT_TRUE(file.open(QIODevice::Append));
            file.write(c.added);
        }
        defaults.setBool(LoginItemService::startOnLoginKey, c.wish);
        log.clear();
        delegate().syncLoginItemState();
        QFile written(entry.entryPath());
        ASSERT_TRUE(written.open(QIODevice::ReadOnly));
        const std::optional<QString> program = DesktopEntry(QString::fromUtf8(written.readAll())).program();
        EXPECT_EQ(program, c.startsThisCopy ? QStringLiteral("/usr/bin/quorvelle") : earlierPath);
        EXPECT_EQ(entry.status(), c.startsThisCopy ? Status::Enabled : Status::NotRegistered);
        EXPECT_EQ(defaults.boolean(LoginItemService::startOnLoginKey), c.startsThisCopy);
        EXPECT_EQ(log.contains(QStringLiteral("pointing it at this one")), c.startsThisCopy);
    }
}

TEST_F(AppDelegateTest, AnEntryAddedElsewhereTurnsTheSwitchOn)
{
    makeSwitch();
    item.setStatus(Status::Enabled);
    delegate().syncLoginItemState();
    EXPECT_TRUE(defaults.boolean(LoginItemService::startOnLoginKey));
    EXPECT_TRUE(autoStart->isEnabled());
    EXPECT_EQ(item.registerCalls, 0);
    EXPECT_EQ(log.lines(), (QStringList{"App already registered as login item", "Auto-start changed: true", "Auto-start set to: true"}));
}

TEST_F(AppDelegateTest, TerminationClearsTheSessionFlagsStopsObservingAndStopsImports)
{
    AppDelegate& app = delegate();
    defaults.setBool(ShellDefaults::hasShownWindowThisSession, true);
    defaults.setBool(ShellDefaults::hiddenDueToLoginLaunch, true);
    displays.startObserving();

    app.applicationWillTerminate();
    EXPECT_FALSE(defaults.boolean(ShellDefaults::hasShownWindowThisSession));
    EXPECT_FALSE(defaults.boolean(ShellDefaults::hiddenDueToLoginLaunch));
    EXPECT_FALSE(displays.isObserving());
    EXPECT_TRUE(ownVideos.importsStopped()) << "a copy under way would hold the end of the process";
    log.clear();
    events.unlock();
    EXPECT_TRUE(log.lines().isEmpty());
}

TEST_F(AppDelegateTest, OnlyTheUpdateFrameworksOwnCacheFolderIsCleared)
{
    const QString updater = UpdaterFolders::cachesFolder();
    const QString wallpapers = Paths::appCaches() + QStringLiteral("/Wallpapers");
    for (const QString& path : {updater, wallpapers})
        ASSERT_TRUE(QDir().mkpath(path));
    delegate().clearUpdaterCaches();
    EXPECT_FALSE(QDir(updater).exists());
    EXPECT_TRUE(QDir(wallpapers).exists());
}

} // namespace
