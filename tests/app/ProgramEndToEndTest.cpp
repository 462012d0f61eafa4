#include "ProgramFixture.h"
#include "support/TestPaths.h"
#include "support/XvfbServer.h"

#include "app/ShellDefaults.h"
#include "engine/AerialsFolders.h"
#include "engine/CacheService.h"
#include "engine/VideoCacheService.h"
#include "engine/LockScreenService.h"
#include "engine/WallpaperPersistenceService.h"
#include "foundation/Paths.h"
#include "foundation/UserDefaults.h"
#include "model/WallpaperModel.h"
#include "platform/DesktopEntry.h"
#include "platform/XdgAutostartLoginItem.h"
#include "support/FileBytes.h"
#include "support/SampleCatalogueFixture.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QTest>
#include <QUuid>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

constexpr qint64 kKey = 1718000000137;
const QString kQuit = QStringLiteral("👋 [Quorvelle] Quit");

// Master videos put where the program keeps its downloads.
class ProgramEndToEndTest : public ProgramFixture {
protected:
    static QUrl cacheMasterVideo(qint64 key)
    {
        const QString wallpapers = Paths::appCaches() + QStringLiteral("/Wallpapers");
        QDir().mkpath(wallpapers);
        const QString path = wallpapers + u'/' + QString::number(key) + QStringLiteral(".mp4");
        QFile::copy(TestPaths::dataFile(QStringLiteral("loop-320x180.mp4")), path);
        return QUrl::fromLocalFile(path);
    }
};

TEST_F(ProgramEndToEndTest, ARestartPutsThePerDisplayWallpapersBack)
{
    {
        auto defaults = savedDefaults();
        defaults->setBool(QStringLiteral("hasLaunchedBefore"), true);
        WallpaperPersistenceService(*defaults).saveWallpaper(kKey, cacheMasterVideo(kKey));
    }
    ProgramRun first(environment());
    ASSERT_TRUE(first.waitForLine(QStringLiteral("Auto-applied wallpaper to home screen"))) << first.output().toStdString();
    waitForLaunch(first);
    EXPECT_LT(first.indexOf(QStringLiteral("Application launched (login launch: false)")),
        first.indexOf(QStringLiteral("Application launched with menu bar")));
    EXPECT_EQ(first.terminate(), 0) << first.output().toStdString();
    EXPECT_TRUE(first.hasLine(kQuit));
    EXPECT_TRUE(first.hasLine(QStringLiteral("✅ [MonitorChangeService] Monitor change detection stopped")));
    {
        auto defaults = savedDefaults();
        EXPECT_FALSE(defaults->boolean(QStringLiteral("hasShownWindowThisSession")));
        EXPECT_FALSE(WallpaperPersistenceService(*defaults).loadPerMonitorWallpapers().isEmpty());
    }

    ProgramRun second(environment());
    ASSERT_TRUE(second.waitForLine(QStringLiteral("✅ Applied per-monitor wallpapers"))) << second.output().toStdString();
    waitForLaunch(second);
    EXPECT_TRUE(second.hasLine(QStringLiteral("🎬 AUTO-APPLYING PER-MONITOR WALLPAPERS (priority #1)")));
    EXPECT_EQ(second.terminate(), 0) << second.output().toStdString();
}

// The first start after an upgrade takes the earlier version's liked list straight into rows, in
// its order, with the rest of its settings, and keeps the earlier file renamed.
TEST_F(ProgramEndToEndTest, AnUpgradeTakesTheEarlierLikedListInAsRows)
{
    const QString likedKey = QStringLiteral("likedWallpapersModels");
    const QList<qint64> keys = {kKey + 2, kKey, kKey + 1};
    QJsonArray liked;
    for (const qint64 key : keys) {
        WallpaperModel model;
        model.id = QUuid::createUuid();
        model.key = key;
        model.title = QStringLiteral("Liked %1").arg(key);
        liked.append(model.toJson());
    }
    const QString legacy = UserDefaults::legacyPathOf(UserDefaults::kStandardDomain);
    QDir().mkpath(QFileInfo(legacy).absolutePath());
    QFile file(legacy);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QJsonDocument(QJsonObject{
                                 {likedKey, QJsonObject{{QStringLiteral("type"), QStringLiteral("data")},
                                                {QStringLiteral("value"), QString::fromLatin1(QJsonDocument(liked).toJson(QJsonDocument::Compact).toBase64())}}},
                                 {QStringLiteral("appearance"), QJsonObject{{QStringLiteral("type"), QStringLiteral("string")}, {QStringLiteral("value"), QStringLiteral("dusk")}}},
                             })
                   .toJson());
    file.close();

    ProgramRun run(environment());
    ASSERT_TRUE(run.waitForLine(QStringLiteral("Moved 3 records of the earlier likedWallpapersModels into rows"))) << run.output().toStdString();
    ASSERT_TRUE(run.waitForLine(QStringLiteral("Loaded  3 liked wallpapers"))) << run.output().toStdString();
    waitForLaunch(run);
    EXPECT_FALSE(run.hasLine(QStringLiteral("[LikedWallpapersService] Moved")));
    EXPECT_EQ(run.terminate(), 0) << run.output().toStdString();

    auto defaults = savedDefaults();
    EXPECT_FALSE(defaults->contains(likedKey));
    EXPECT_EQ(defaults->string(QStringLiteral("appearance")), QStringLiteral("dusk"));
    QList<qint64> stored;
    for (const StoredRow& row : defaults->rows(likedKey))
        stored.append(row.key.toLongLong());
    EXPECT_EQ(stored, keys);
    EXPECT_TRUE(QFileInfo::exists(legacy + QStringLiteral(".imported")));
}

TEST_F(ProgramEndToEndTest, StartAtLoginWritesTheEntryThatALoginLaunchIsKnownBy)
{
    ProgramRun first(environment());
    waitForLaunch(first);
    EXPECT_TRUE(first.hasLine(QStringLiteral("Auto-start set to: true")));
    EXPECT_EQ(first.terminate(), 0) << first.output().toStdString();

    QFile entry(XdgAutostartLoginItem::defaultEntryPath());
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    const DesktopEntry autostart(QString::fromUtf8(entry.readAll()));
    EXPECT_EQ(autostart.value(QStringLiteral("Exec")),
        DesktopEntry::quotedArgument(ProgramRun::programPath()) + QStringLiteral(" --login-launch"));

    ProgramRun atLogin(environment(), {QStringLiteral("--login-launch")});
    waitForLaunch(atLogin);
    EXPECT_TRUE(atLogin.hasLine(QStringLiteral("Application launched (login launch: true)")));
    EXPECT_TRUE(atLogin.hasLine(QStringLiteral("Login launch detected - hiding windows and starting wallpaper in background")));
    EXPECT_EQ(atLogin.terminate(), 0) << atLogin.output().toStdString();
    EXPECT_TRUE(savedDefaults()->boolean(QStringLiteral("startOnLoginEnabled")));
}

// Started at login the program shows nothing; a second launch brings the main window, made
// then, whose Home page loads what the launch did not (the categories).
TEST_F(ProgramEndToEndTest, ALoginLaunchMakesItsWindowWhenASecondLaunchAsksForIt)
{
    {
        auto defaults = savedDefaults();
        defaults->setBool(QStringLiteral("hasLaunchedBefore"), true);
        defaults->setBool(QStringLiteral("startOnLoginEnabled"), true);
    }
    ProgramRun atLogin(environment(), {QStringLiteral("--login-launch")});
    waitForLaunch(atLogin);
    ASSERT_TRUE(atLogin.hasLine(QStringLiteral("Application launched (login launch: true)"))) << atLogin.output().toStdString();
    EXPECT_FALSE(atLogin.hasLine(QStringLiteral("Categories loaded")));

    ProgramRun second(environment());
    EXPECT_EQ(second.waitForExit(), 0);
    ASSERT_TRUE(atLogin.waitForLine(QStringLiteral("🔄 Dock icon clicked - hasVisibleWindows: false"))) << atLogin.output().toStdString();
    ASSERT_TRUE(atLogin.waitForLine(QStringLiteral("Categories loaded: "))) << atLogin.output().toStdString();
    EXPECT_EQ(atLogin.terminate(), 0) << atLogin.output().toStdString();
}

TEST_F(ProgramEndToEndTest, AnUnlockOnTheSessionBusRestartsTheLockScreenExtension)
{
    {
        auto defaults = savedDefaults();
        defaults->setBool(QStringLiteral("hasLaunchedBefore"), true);
        defaults->setBool(LockScreenService::kUserDefaultsKey, true);
    }
    // A movie install, a conversion and a preview cut by a kill of the previous run: the launch
    // sweeps them away.
    const QStringList unfinished{AerialsFolders().installedMoviePath() + QStringLiteral(".part"),
        CacheService::conversionsFolder() + QStringLiteral("/1718000000137.mov.part"),
        VideoCacheService::previewFolder() + QStringLiteral("/1718000000137.mp4.part")};
    for (const QString& file : unfinished) {
        QDir().mkpath(QFileInfo(file).path());
        ASSERT_TRUE(QFile(file).open(QIODevice::WriteOnly));
    }
    ProgramRun program(environment());
    waitForLaunch(program);
    for (const QString& file : unfinished)
        EXPECT_FALSE(QFileInfo::exists(file)) << qPrintable(file);
    ASSERT_TRUE(program.waitForLine(QStringLiteral("WallpaperAerialsExtension restarted successfully on app launch")))
        << program.output().toStdString();

    QProcess extension;
    extension.start(QStringLiteral("bash"), {QStringLiteral("-c"), QStringLiteral("exec -a WallpaperAerialsExtension sleep 120")});
    ASSERT_TRUE(extension.waitForStarted());
    bus.emitSignal(QStringLiteral("/org/freedesktop/ScreenSaver"), QStringLiteral("org.freedesktop.ScreenSaver"),
        QStringLiteral("ActiveChanged"), {false});

    ASSERT_TRUE(program.waitForLine(QStringLiteral("✅ [AppDelegate] WallpaperAerialsExtension restarted successfully after unlock")))
        << program.output().toStdString();
    EXPECT_TRUE(program.hasLine(QStringLiteral("🔓 [AppDelegate] ========== SYSTEM UNLOCK EVENT ==========")));
    EXPECT_TRUE(extension.waitForFinished(10'000));
    EXPECT_EQ(program.terminate(), 0) << program.output().toStdString();
}

// Whatever runtime folder its session gives (a terminal, su or ssh gives none), a launch of the
// same profile finds the running copy.
TEST_F(ProgramEndToEndTest, ASecondLaunchHandsItsLinkToTheRunningCopy)
{
    ProgramRun running(environment());
    waitForLaunch(running);

    const QString otherRuntime = folder.file(QStringLiteral("other-runtime"));
    QDir().mkpath(otherRuntime);
    QFile::setPermissions(otherRuntime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const std::pair<const char*, std::optional<QString>> sessions[] = {
        {"the same session", folder.file(QStringLiteral("runtime"))},
        {"another runtime folder", otherRuntime},
        {"no runtime folder", std::nullopt},
    };
    const QString opened = QStringLiteral("✅ [WallpaperDeepLinkHandler] Opened wallpaper 1718000000137 from link");
    int launches = 0;
    for (const auto& [name, runtime] : sessions) {
        SCOPED_TRACE(name);
        QProcessEnvironment session = environment();
        if (runtime)
            session.insert(QStringLiteral("XDG_RUNTIME_DIR"), *runtime);
        else
            session.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        ProgramRun second(session, {QStringLiteral("quorvelle://wallpaper/1718000000137")});
        EXPECT_EQ(second.waitForExit(), 0);
        EXPECT_TRUE(second.hasLine(QStringLiteral("Already running"))) << second.output().toStdString();
        EXPECT_FALSE(second.hasLine(QStringLiteral("Application launched")));
        ASSERT_TRUE(running.waitForLines(opened, ++launches)) << running.output().toStdString();
    }
    EXPECT_TRUE(running.hasLine(QStringLiteral("🔄 Dock icon clicked - hasVisibleWindows: true")));
    EXPECT_EQ(running.terminate(), 0) << running.output().toStdString();
}

// Every file of a folder below `root`, by its path there, with its bytes; the log and index of
// a database the running copy holds open by their names only (that copy may write them).
QMap<QString, QByteArray> filesBelow(const QString& root)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        // The profile's lock holds nothing of the user's: any launch takes it to learn whether it
        // may run.
        if (path.endsWith(QStringLiteral("/quorvelle.lock")))
            continue;
        const bool heldOpen = path.endsWith(QStringLiteral("-wal")) || path.endsWith(QStringLiteral("-shm"));
        files.insert(path.mid(root.size()), heldOpen ? QByteArray() : readFile(path));
    }
    return files;
}

// The running copy's analytics defaults, empty while it has written none.
QByteArray analyticsDefaults(const QString& settings)
{
    const QStringList names = QDir(settings).entryList({QStringLiteral("com.signalry.*.json")});
    return names.isEmpty() ? QByteArray() : readFile(settings + u'/' + names.first());
}

// Puts `bytes` at `path` under a new name first: a copy that holds the old file open keeps it.
void plant(const QString& path, const QByteArray& bytes)
{
    QFile staged(path + QStringLiteral(".planting"));
    ASSERT_TRUE(staged.open(QIODevice::WriteOnly));
    ASSERT_EQ(staged.write(bytes), bytes.size());
    staged.close();
    ASSERT_EQ(::rename(QFile::encodeName(staged.fileName()).constData(), QFile::encodeName(path).constData()), 0);
}

// A launch that ends because a copy runs reads and writes nothing of the profile: the recovery
// database the running copy keeps, and a damaged database in the settings' place, stay as they
// are, names and bytes. The same for a copy of the earlier version that holds its own lock.
TEST_F(ProgramEndToEndTest, ALaunchThatEndsLeavesEveryFileOfTheProfileAsItWas)
{
    const QString settings = Paths::configuration() + QStringLiteral("/Quorvelle");
    for (const bool earlierVersion : {false, true}) {
        SCOPED_TRACE(earlierVersion ? "an earlier version runs" : "this version runs");
        std::unique_ptr<ProgramRun> running;
        int earlierLock = -1;
        if (earlierVersion) {
            const QString runtime = environment().value(QStringLiteral("XDG_RUNTIME_DIR"));
            ASSERT_TRUE(QDir().mkpath(runtime));
            earlierLock = ::open(QFile::encodeName(runtime + QStringLiteral("/quorvelle.lock")).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
            ASSERT_EQ(::flock(earlierLock, LOCK_EX | LOCK_NB), 0);
        } else {
            running = std::make_unique<ProgramRun>(environment());
            waitForLaunch(*running);
            // The running copy writes its analytics defaults beside the settings on a thread of
            // their own after its launch, the user's identifier last, with its first signal: they
            // are its files, and not to change under the check.
            ASSERT_TRUE(QTest::qWaitFor([&] { return analyticsDefaults(settings).contains("defaultUserIdentifier"); }, 30'000))
                << running->output().toStdString();
        }
        QDir().mkpath(settings);
        plant(settings + QStringLiteral("/standard.recovery.sqlite3"), QByteArray("changes kept by the running copy"));
        plant(settings + QStringLiteral("/standard.sqlite3"), QByteArray("not a database; ").repeated(300));
        const QMap<QString, QByteArray> before = filesBelow(settings);

        // On a display the refused launch waits for its reason to be read (the case of a lock that
        // cannot be opened shows that window); without one it ends at once.
        ProgramRun second(earlierVersion ? offscreenEnvironment() : environment());
        EXPECT_EQ(second.waitForExit(), earlierVersion ? 1 : 0) << second.output().toStdString();
        EXPECT_FALSE(second.hasLine(QStringLiteral("Application launched")));
        EXPECT_EQ(filesBelow(settings), before);
        if (running) {
            EXPECT_EQ(running->terminate(), 0) << running->output().toStdString();
        }
        if (earlierLock >= 0)
            ::close(earlierLock);
        QDir(settings).removeRecursively();
    }
}

// A profile whose lock cannot be opened: the launch cannot tell whether a copy runs, so it
// never starts a second one. Nobody reads the log of a launcher: on a display the reason and
// what to do show in a window, and the launch ends once the user closes it; without a display it
// ends at once, the log saying why.
TEST_F(ProgramEndToEndTest, ALaunchWhoseProfileLockCannotBeOpenedEndsWithItsReason)
{
    if (!display.isRunning() || QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
        GTEST_FAIL() << "needs Xvfb and xdotool (scripts/setup installs both)";
    ASSERT_TRUE(QDir().mkpath(Paths::configuration() + QStringLiteral("/Quorvelle/quorvelle.lock")));
    const QString link = QStringLiteral("quorvelle://wallpaper/1718000000137");
    const QString told = QStringLiteral("ℹ️ [Quorvelle] Told the user why this launch ends");
    {
        ProgramRun launch(offscreenEnvironment(), {link});
        EXPECT_EQ(launch.waitForExit(), 1);
        EXPECT_TRUE(launch.hasLine(QStringLiteral("quorvelle.lock is a folder"))) << launch.output().toStdString();
        EXPECT_TRUE(launch.hasLine(QStringLiteral("Cannot tell whether another copy runs with this profile"))) << launch.output().toStdString();
        EXPECT_FALSE(launch.hasLine(told));
        EXPECT_FALSE(launch.hasLine(QStringLiteral("Application launched")));
    }
    ProgramRun launch(environment(), {link});
    ASSERT_TRUE(launch.waitForLine(told)) << launch.output().toStdString();
    EXPECT_FALSE(launch.hasLine(QStringLiteral("Application launched")));
    // The user reads it and presses Return on its OK.
    pointer({QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--name"), QStringLiteral("Quorvelle Did Not Start"),
        QStringLiteral("windowfocus"), QStringLiteral("--sync")});
    screen(QStringLiteral("e2e-launch-refused"));
    pointer({QStringLiteral("key"), QStringLiteral("Return")});
    EXPECT_EQ(launch.waitForExit(), 1) << launch.output().toStdString();
}

// A closed terminal or a logout's hang-up, and an interrupt, end the program as SIGTERM does:
// the quit's own steps run, its settings are written and it says so.
TEST_F(ProgramEndToEndTest, AHangUpOrAnInterruptEndsThroughTheQuitsSteps)
{
    for (const int signalNumber : {SIGHUP, SIGINT}) {
        SCOPED_TRACE(signalNumber);
        ProgramRun program(environment());
        waitForLaunch(program);
        EXPECT_EQ(program.terminate(signalNumber), 0) << program.output().toStdString();
        EXPECT_TRUE(program.hasLine(kQuit)) << program.output().toStdString();
        // The quit's own setting, written by its first step.
        EXPECT_FALSE(savedDefaults()->boolean(ShellDefaults::hasShownWindowThisSession));
    }
}

// The X server going away under the program (an X11 logout) ends it through the quit's steps
// that need no display: the quit's own setting is written and it says Quit, as at a SIGTERM.
TEST_F(ProgramEndToEndTest, TheXServerGoneEndsThroughTheQuitsSteps)
{
    if (!display.isRunning())
        GTEST_FAIL() << "needs Xvfb (scripts/setup installs it)";
    ProgramRun program(environment());
    waitForLaunch(program);
    display.kill();
    EXPECT_EQ(program.waitForExit(), 1) << program.output().toStdString();
    EXPECT_TRUE(program.hasLine(QStringLiteral("❌ [X11] Lost the connection to the X server; quitting"))) << program.output().toStdString();
    EXPECT_TRUE(program.hasLine(kQuit)) << program.output().toStdString();
    EXPECT_FALSE(savedDefaults()->boolean(ShellDefaults::hasShownWindowThisSession));
}

// Asking for the usage or the version starts nothing and needs no display; an option the
// program does not know is refused the same way, with its name, rather than taken for a launch.
TEST_F(ProgramEndToEndTest, TheUsageAndAnUnknownOptionStartNothing)
{
    QProcessEnvironment noDisplay = environment();
    noDisplay.remove(QStringLiteral("DISPLAY"));
    noDisplay.remove(QStringLiteral("WAYLAND_DISPLAY"));
    noDisplay.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    struct Case {
        QStringList arguments;
        int code;
        const char* output;
        const char* error;
    };
    const Case cases[] = {
        {{"--help"}, 0, "Usage:\n  quorvelle [link...]\n", ""},
        {{"quorvelle://wallpaper/1718000000137", "--help"}, 0, "\n  --login-launch\n", ""},
        {{"--version"}, 0, "Quorvelle ", ""},
        {{"--bogus", "quorvelle://wallpaper/1718000000137"}, 2, "", "quorvelle: unknown option '--bogus'\nTry 'quorvelle --help'"},
        {{"-x"}, 2, "", "quorvelle: unknown option '-x'"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.arguments.join(u' ').toStdString());
        QProcess program;
        program.setProcessEnvironment(noDisplay);
        program.start(ProgramRun::programPath(), test.arguments);
        ASSERT_TRUE(program.waitForFinished(ProgramRun::kWaitMs));
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), test.code);
        const QString output = QString::fromUtf8(program.readAllStandardOutput());
        const QString error = QString::fromUtf8(program.readAllStandardError());
        EXPECT_TRUE(output.contains(QString::fromUtf8(test.output))) << output.toStdString();
        EXPECT_TRUE(error.contains(QString::fromUtf8(test.error))) << error.toStdString();
        EXPECT_FALSE(output.contains(QStringLiteral("Started version"))) << output.toStdString();
    }
    // Nothing of the profile was made, nor the entry a first run writes.
    EXPECT_FALSE(QFileInfo::exists(Paths::configuration() + QStringLiteral("/Quorvelle")));
    EXPECT_FALSE(QFileInfo::exists(XdgAutostartLoginItem::defaultEntryPath()));
}

// A flood of one link costs the catalogue one request, and the run still quits cleanly after it.
TEST_F(ProgramEndToEndTest, ManyLinksOfOneWallpaperShareOneRequestAndTheRunQuitsCleanly)
{
    ProgramRun running(environment());
    waitForLaunch(running);
    const QString byId = QStringLiteral("/functions/v1/get-wallpapers-by-id");
    const int before = catalogue.server().requestCount(byId);

    constexpr int kLinks = 40;
    const QString opened = QStringLiteral("✅ [WallpaperDeepLinkHandler] Opened wallpaper 1718000000137 from link");
    ProgramRun second(environment(), QStringList(kLinks, QStringLiteral("quorvelle://wallpaper/1718000000137")));
    EXPECT_EQ(second.waitForExit(), 0);
    // The quit comes after the flood: a GUI thread busy with links for longer than the signal's
    // grace is one the deadline rightly ends.
    ASSERT_TRUE(running.waitForLines(opened, kLinks)) << running.output().toStdString();
    EXPECT_EQ(running.terminate(), 0) << running.output().toStdString();
    EXPECT_EQ(running.countOf(opened), kLinks);
    EXPECT_EQ(catalogue.server().requestCount(byId) - before, 1);
}

// The analytics queue of a killed run is on disk within a tick of the sender, and the next run
// delivers it, each signal once.
TEST_F(ProgramEndToEndTest, AKilledRunsQueuedSignalsAreDeliveredOnceByTheNextRun)
{
    catalogue.server().setFault(QStringLiteral("/v2/"), samplecatalogue::Fault{.status = 503});
    const auto queued = [] {
        QFile file(Paths::caches() + QStringLiteral("/signalrysignalcache"));
        return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).array() : QJsonArray();
    };
    {
        ProgramRun killed(environment());
        waitForLaunch(killed);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !queued().isEmpty(); }, 30'000)) << killed.output().toStdString();
        killed.kill();
    }
    const QJsonArray lost = queued();
    QSet<QString> killedSessions;
    for (const QJsonValue& signal : lost)
        killedSessions.insert(signal[QStringLiteral("sessionID")].toString());
    const auto delivered = [&] {
        const QJsonArray ingested = catalogue.server().ingest().signalList();
        return std::count_if(ingested.begin(), ingested.end(),
            [&](const QJsonValue& signal) { return killedSessions.contains(signal[QStringLiteral("sessionID")].toString()); });
    };

    catalogue.server().clearFaults();
    ProgramRun next(environment());
    waitForLaunch(next);
    ASSERT_TRUE(QTest::qWaitFor([&] { return delivered() >= lost.size(); }, 30'000)) << next.output().toStdString();
    EXPECT_EQ(next.terminate(), 0) << next.output().toStdString();
    EXPECT_EQ(delivered(), lost.size());
}

// A CA file adds its authorities to the system's for the analytics too: with the catalogue's
// authority among the system's (OpenSSL's bundle pointed at it) and the CA file holding another,
// the launch reaches the catalogue and its signals reach the ingest store.
TEST_F(ProgramEndToEndTest, SignalsStillTrustTheSystemsAuthoritiesBesideACaFile)
{
    QProcessEnvironment env = environment();
    env.insert(QStringLiteral("SSL_CERT_FILE"), catalogue.certificateFile());
    env.insert(QStringLiteral("QUORVELLE_CA_CERT"), TestPaths::dataFile(QStringLiteral("other-host-cert.pem")));
    ProgramRun program(env);
    waitForLaunch(program);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !catalogue.server().ingest().signalList().isEmpty(); }, 30'000))
        << program.output().toStdString();
    EXPECT_EQ(program.terminate(), 0) << program.output().toStdString();
}

} // namespace
