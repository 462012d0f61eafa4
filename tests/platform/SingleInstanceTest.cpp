#include "foundation/Log.h"
#include "platform/ProfileLock.h"
#include "platform/SingleInstance.h"
#include "support/Eventually.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QProcess>
#include <QScopeGuard>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QtConcurrent>

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
// Hand-overs cross a local socket: they arrive within a few turns of the event loop.
constexpr int kWaitMs = 5'000;
// A launch started as a process of its own, on a loaded machine, from start to exit.
constexpr int kProcessMs = 60'000;
constexpr quint32 kMagic = 0x51564c32;

using Claim = SingleInstance::Claim;

// Another user of the machine: planted folders and sockets belong to nobody (needs root to make).
constexpr uid_t kOtherUser = 65534;

mode_t modeOf(const QString& path)
{
    struct stat info = {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
}

// A hand-over as a launch sends it: the magic, then the links' stream as one byte array.
QByteArray message(quint32 magic, const QByteArray& links)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << magic << links;
    return bytes;
}

// A list's stream that claims `count` links and holds `link` alone.
QByteArray linksClaiming(quint32 count, const QString& link)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_4);
    out << count << link;
    return bytes;
}

// A profile's lock held by the test itself, as a copy holds it, with what that copy recorded.
class HeldLock {
public:
    HeldLock(const QString& profile, const QByteArray& record)
    {
        QDir().mkpath(profile);
        descriptor_ = ::open(QFile::encodeName(ProfileLock(profile).path()).constData(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        held_ = descriptor_ >= 0 && ::flock(descriptor_, LOCK_EX | LOCK_NB) == 0
            && ::write(descriptor_, record.constData(), size_t(record.size())) == record.size();
    }
    ~HeldLock()
    {
        if (descriptor_ >= 0)
            ::close(descriptor_);
    }
    HeldLock(const HeldLock&) = delete;
    HeldLock& operator=(const HeldLock&) = delete;

    bool isHeld() const { return held_; }

private:
    int descriptor_ = -1;
    bool held_ = false;
};

class SingleInstanceTest : public ::testing::Test {
protected:
    // The profile as the program finds it under the configuration folder of launchEnvironment().
    QString profile() const { return folder_.filePath(QStringLiteral("config/Quorvelle")); }
    QString runtime(const QString& name = QStringLiteral("runtime")) const { return folder_.filePath(name); }

    // A launch on a thread of its own: the running copy answers on this one, which turns its
    // event loop meanwhile.
    Claim launched(const std::optional<QStringList>& links, int timeoutMs = SingleInstance::kHandOverTimeoutMs,
        const QString& profileFolder = {})
    {
        const QString profile = profileFolder.isEmpty() ? this->profile() : profileFolder;
        QFuture<Claim> claim = QtConcurrent::run([profile, links, timeoutMs] { return SingleInstance(profile, {}).claim(links, timeoutMs); });
        EXPECT_TRUE(QTest::qWaitFor([&] { return claim.isFinished(); }, timeoutMs + kWaitMs));
        return claim.result();
    }

    // The session of a launch started as a process: its runtime folder (none when empty), and
    // every other folder in this test's folder.
    QProcessEnvironment launchEnvironment(const QString& runtimeFolder) const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), folder_.filePath(QStringLiteral("config")));
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), folder_.filePath(QStringLiteral("cache")));
        environment.insert(QStringLiteral("TMPDIR"), folder_.filePath(QStringLiteral("tmp")));
        QDir().mkpath(folder_.filePath(QStringLiteral("tmp")));
        if (runtimeFolder.isEmpty())
            environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        else
            environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeFolder);
        return environment;
    }

    // Starts single-instance-launch (see the helper for its arguments).
    std::unique_ptr<QProcess> startLaunch(const QString& runtimeFolder, const QStringList& arguments) const
    {
        auto launch = std::make_unique<QProcess>();
        launch->setProcessEnvironment(launchEnvironment(runtimeFolder));
        launch->setProcessChannelMode(QProcess::MergedChannels);
        launch->start(QCoreApplication::applicationDirPath() + QStringLiteral("/single-instance-launch"), QStringList{record()} + arguments);
        return launch;
    }

    // Where the launches started as processes record what they did.
    QString record() const
    {
        QDir().mkpath(folder_.filePath(QStringLiteral("record")));
        return folder_.filePath(QStringLiteral("record"));
    }
    QStringList runningCopies() const { return QDir(record()).entryList({QStringLiteral("running-*")}, QDir::Files); }
    // The links a copy started as a process received, once it has quit.
    QStringList linksOf(const QString& copy) const
    {
        QFile file(record() + QStringLiteral("/links-") + copy.mid(8));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts) : QStringList();
    }

    QTemporaryDir folder_;
};

// Waits, turning the event loop, until a launch started as a process ends; its exit code, or -1.
int exitCodeOf(QProcess& launch)
{
    EXPECT_TRUE(QTest::qWaitFor([&] { return launch.state() == QProcess::NotRunning; }, kProcessMs));
    return launch.exitStatus() == QProcess::NormalExit && launch.state() == QProcess::NotRunning ? launch.exitCode() : -1;
}

TEST_F(SingleInstanceTest, ALaunchCountsItsLinksHandedOverOnlyOnceTheRunningCopyHasThem)
{
    SingleInstance running(profile(), {runtime()});
    ASSERT_EQ(running.claim(QStringList()), Claim::running);
    QSignalSpy activations(&running, &SingleInstance::activationRequested);
    QSignalSpy links(&running, &SingleInstance::linkReceived);

    const QStringList cases[] = {
        {QStringLiteral("quorvelle://wallpaper/1"), QStringLiteral("quorvelle://gravelnook/a\nb")},
        {}, // a launch without links still asks for the window
    };
    for (const QStringList& given : cases) {
        activations.clear();
        links.clear();
        // The answer comes after the links were passed on: nothing is left to wait for.
        EXPECT_EQ(launched(given), Claim::handedOver);
        EXPECT_EQ(activations.count(), 1);
        ASSERT_EQ(links.count(), given.size());
        for (int i = 0; i < given.size(); ++i)
            EXPECT_EQ(links.at(i).at(0).toString(), given[i]) << "links arrive whole and in order";
    }

    // A launch at login asks nothing of the running copy.
    activations.clear();
    EXPECT_EQ(launched(std::nullopt), Claim::alreadyRunning);
    QCoreApplication::processEvents();
    EXPECT_EQ(activations.count(), 0);
}

// A launch that stopped waiting has told its user that this copy did not answer: its links, read
// only afterwards, are not opened behind that message, and the next launch is answered as ever.
TEST_F(SingleInstanceTest, TheLinksOfALaunchThatStoppedWaitingAreNotOpened)
{
    SingleInstance running(profile(), {runtime()});
    ASSERT_EQ(running.claim(QStringList()), Claim::running);
    QSignalSpy activations(&running, &SingleInstance::activationRequested);
    LogCapture log;
    {
        // Written whole and closed before the running copy's event loop read a byte.
        QLocalSocket sender;
        sender.connectToServer(running.serverName());
        ASSERT_TRUE(sender.waitForConnected(kWaitMs));
        sender.write(message(kMagic, linksClaiming(1, QStringLiteral("quorvelle://wallpaper/1"))));
        ASSERT_TRUE(sender.waitForBytesWritten(kWaitMs));
        sender.abort();
    }
    ASSERT_EVENTUALLY(log.contains(QStringLiteral("A launch stopped waiting before its links were read")), kWaitMs);
    EXPECT_EQ(activations.count(), 0);
    EXPECT_EQ(launched(QStringList{QStringLiteral("quorvelle://wallpaper/2")}), Claim::handedOver);
    EXPECT_EQ(activations.count(), 1);
}

struct Stray {
    const char* name;
    QByteArray bytes;
};

// Connections that carry no whole hand-over: each is dropped unanswered and asks for nothing;
// all but the probe are told in the log.
TEST_F(SingleInstanceTest, ProbesStrayBytesAndAbsurdMessagesAreNotHandOvers)
{
    const QString link = QStringLiteral("quorvelle://wallpaper/1");
    QByteArray earlierVersion;
    QDataStream(&earlierVersion, QIODevice::WriteOnly) << quint32(0x51564c31) << QStringList{link};
    const QByteArray whole = message(kMagic, linksClaiming(1, link));
    const Stray cases[] = {
        {"a probe", {}},
        {"stray bytes", "hello"},
        {"an earlier version's message", earlierVersion},
        {"two billion links claimed", message(kMagic, linksClaiming(0x7fff'ffff, link))},
        {"more links counted than sent", message(kMagic, linksClaiming(3, link))},
        {"a message cut short", whole.left(whole.size() - 2)},
        {"several megabytes", message(kMagic, linksClaiming(1, QString(3 << 20, u'a')))},
    };
    SingleInstance running(profile(), {runtime()});
    ASSERT_EQ(running.claim(QStringList()), Claim::running);
    QSignalSpy activations(&running, &SingleInstance::activationRequested);
    LogCapture log;
    const auto ignored = [&] { return log.lines().filter(QStringLiteral("Ignored a message that is not a hand-over")).size(); };
    int expected = 0;
    for (const Stray& stray : cases) {
        SCOPED_TRACE(stray.name);
        QLocalSocket sender;
        sender.connectToServer(running.serverName());
        ASSERT_TRUE(sender.waitForConnected(kWaitMs));
        sender.write(stray.bytes);
        ASSERT_TRUE(QTest::qWaitFor([&] { return sender.bytesToWrite() == 0 || sender.state() != QLocalSocket::ConnectedState; }, kWaitMs));
        sender.disconnectFromServer();
        expected += stray.bytes.isEmpty() ? 0 : 1;
        ASSERT_EVENTUALLY(ignored() == expected, kWaitMs) << log.lines().join(u'\n').toStdString();
        EXPECT_EQ(activations.count(), 0);
    }
    // A whole message still gets through afterwards.
    EXPECT_EQ(launched(QStringList{link}), Claim::handedOver);
    EXPECT_EQ(activations.count(), 1);
    EXPECT_EQ(ignored(), expected);
}

// The lock sits in the profile's folder, both this user's alone; what a copy of an earlier
// run left (looser rights, its socket's name) is taken over.
TEST_F(SingleInstanceTest, TheLockAndItsFolderAreThisUsersAloneAndAStaleRecordIsReplaced)
{
    for (const bool leftByAnEarlierCopy : {false, true}) {
        SCOPED_TRACE(leftByAnEarlierCopy ? "left by an earlier copy" : "first launch");
        const QString lock = ProfileLock(profile()).path();
        if (leftByAnEarlierCopy) {
            ::chmod(QFile::encodeName(profile()).constData(), 0755);
            QFile file(lock);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(QFile::encodeName(runtime(QStringLiteral("gone/quorvelle.socket"))) + '\n');
            file.close();
            ::chmod(QFile::encodeName(lock).constData(), 0644);
        }
        SingleInstance running(profile(), {runtime()});
        ASSERT_EQ(running.claim(QStringList()), Claim::running);
        EXPECT_EQ(modeOf(profile()), 0700u);
        EXPECT_EQ(modeOf(lock), 0600u);
        ASSERT_TRUE(running.isListening());
        EXPECT_EQ(QFileInfo(running.serverName()).path(), runtime());
        EXPECT_EQ(ProfileLock(profile()).recordedChannel(), running.serverName());
        EXPECT_EQ(launched(QStringList()), Claim::handedOver);
    }
}

struct Unopenable {
    const char* name;
    std::function<bool(const QString& lock)> plant;
    const char* reason;
};

// A lock that cannot be opened leaves a launch unable to tell whether another copy runs: it
// never runs, however often it is launched, and says why.
TEST_F(SingleInstanceTest, ALockThatCannotBeOpenedNeverLetsALaunchRun)
{
    const bool root = ::geteuid() == 0;
    const Unopenable cases[] = {
        {"a folder at its name", [](const QString& lock) { return QDir().mkpath(lock); }, "is a folder"},
        {"a link at its name",
            [this](const QString& lock) {
                QFile target(folder_.filePath(QStringLiteral("elsewhere")));
                return target.open(QIODevice::WriteOnly) && QFile::link(target.fileName(), lock);
            },
            "is a symbolic link"},
        {"a pipe at its name", [](const QString& lock) { return ::mkfifo(QFile::encodeName(lock).constData(), 0600) == 0; },
            "is not a plain file"},
        // Root opens any file: another owner's is planted for it, a file without rights otherwise.
        {"another owner's file",
            [root](const QString& lock) {
                QFile file(lock);
                if (!file.open(QIODevice::WriteOnly))
                    return false;
                file.close();
                const QByteArray name = QFile::encodeName(lock);
                return root ? ::chown(name.constData(), kOtherUser, kOtherUser) == 0 : ::chmod(name.constData(), 0) == 0;
            },
            root ? "belongs to another user" : "cannot be opened (Permission denied)"},
    };
    for (const Unopenable& unopenable : cases) {
        SCOPED_TRACE(unopenable.name);
        const QString profile = folder_.filePath(QString::fromLatin1(unopenable.name));
        ASSERT_TRUE(QDir().mkpath(profile));
        const QString lock = ProfileLock(profile).path();
        ASSERT_TRUE(unopenable.plant(lock));
        for (int launch = 0; launch < 10; ++launch) {
            LogCapture log;
            SingleInstance instance(profile, {runtime()});
            ASSERT_EQ(instance.claim(QStringList{QStringLiteral("quorvelle://wallpaper/1")}), Claim::lockUnavailable);
            EXPECT_FALSE(instance.isListening());
            EXPECT_TRUE(log.contains(QStringLiteral("Cannot take this profile's lock: ") + lock + u' ' + QString::fromLatin1(unopenable.reason)))
                << log.lines().join(u'\n').toStdString();
        }
    }
}

TEST_F(SingleInstanceTest, AProfileFolderOfAnotherUserIsNeverUsed)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "planting another user's folder needs root";
    ASSERT_TRUE(QDir().mkpath(profile()));
    ASSERT_EQ(::chown(QFile::encodeName(profile()).constData(), kOtherUser, kOtherUser), 0);
    LogCapture log;
    SingleInstance instance(profile(), {runtime()});
    EXPECT_EQ(instance.claim(QStringList()), Claim::lockUnavailable);
    EXPECT_TRUE(log.contains(profile() + QStringLiteral(" belongs to another user"))) << log.lines().join(u'\n').toStdString();
    EXPECT_FALSE(QFileInfo::exists(ProfileLock(profile()).path()));
}

// A copy of the earlier version locked "quorvelle.lock" beside its socket in its runtime folder
// and uses the same settings: while it holds that lock no launch runs beside it, and the launch
// leaves the profile's lock free; a lock left behind by a copy that ended stops nobody.
TEST_F(SingleInstanceTest, ACopyOfTheEarlierVersionStillRunningCountsAsRunning)
{
    const QString earlierLock = runtime() + QStringLiteral("/quorvelle.lock");
    ASSERT_TRUE(QDir().mkpath(runtime()));
    for (const bool held : {true, false}) {
        SCOPED_TRACE(held ? "held" : "left behind");
        const int descriptor = ::open(QFile::encodeName(earlierLock).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        ASSERT_GE(descriptor, 0);
        if (held) {
            ASSERT_EQ(::flock(descriptor, LOCK_EX | LOCK_NB), 0);
        }
        LogCapture log;
        {
            SingleInstance instance(profile(), {runtime()});
            EXPECT_EQ(instance.claim(QStringList()), held ? Claim::earlierVersionRuns : Claim::running);
            EXPECT_EQ(instance.isListening(), !held);
        }
        EXPECT_EQ(log.contains(QStringLiteral("An earlier version of Quorvelle is still running")), held);
        if (held) {
            SingleInstance afterwards(profile(), {});
            EXPECT_EQ(afterwards.claim(QStringList()), Claim::running) << "the profile's lock was let go";
        }
        ::close(descriptor);
    }
}

struct Holder {
    const char* name;
    QByteArray record; // what the holder wrote into the lock
    const char* said;
};

// The lock's holder that does not answer: still starting, listening nowhere, or gone from its
// socket. A launch waits a bounded time at most, says why it gave up, and never runs beside it.
TEST_F(SingleInstanceTest, ALaunchThatIsNotAnsweredNeverRunsBesideTheHolder)
{
    const Holder cases[] = {
        {"still starting", {}, "The running copy did not answer within 0.3 s"},
        {"recording half its line", "/run", "The running copy did not answer within 0.3 s"},
        {"at a socket nobody listens at", QFile::encodeName(runtime(QStringLiteral("nobody.socket"))) + '\n',
            "The running copy did not answer within 0.3 s"},
        {"listening nowhere", "\n", "The running copy takes no hand-overs"},
    };
    for (const Holder& holder : cases) {
        SCOPED_TRACE(holder.name);
        const HeldLock held(profile(), holder.record);
        ASSERT_TRUE(held.isHeld());
        LogCapture log;
        SingleInstance launch(profile(), {runtime()});
        EXPECT_EQ(launch.claim(QStringList{QStringLiteral("quorvelle://wallpaper/1")}, 300), Claim::notHandedOver);
        EXPECT_FALSE(launch.isListening());
        EXPECT_TRUE(log.contains(QString::fromLatin1(holder.said))) << log.lines().join(u'\n').toStdString();
    }
}

struct RefusingFolder {
    const char* name;
    QString folder;
    // Makes the runtime folder refuse a socket; false when it could not.
    std::function<bool(const QString& folder)> plant;
};

// Where the first folder refuses the socket (a read-only runtime folder, a name too long for a
// socket), the running copy listens in the next one, and launches still find it.
TEST_F(SingleInstanceTest, TheRunningCopyListensInTheNextFolderWhenOneRefusesIt)
{
    const RefusingFolder cases[] = {
        {"a file at the folder's name", runtime(QStringLiteral("file")),
            [](const QString& folder) { return QFile(folder).open(QIODevice::WriteOnly); }},
        {"a folder others may enter", runtime(QStringLiteral("loose")),
            [](const QString& folder) { return QDir().mkpath(folder) && ::chmod(QFile::encodeName(folder).constData(), 0755) == 0; }},
        {"a path too long for a socket", runtime(QString(110, u'r')), [](const QString&) { return true; }},
    };
    for (const RefusingFolder& refusing : cases) {
        SCOPED_TRACE(refusing.name);
        ASSERT_TRUE(refusing.plant(refusing.folder));
        SingleInstance running(profile(), {refusing.folder, runtime()});
        ASSERT_EQ(running.claim(QStringList()), Claim::running);
        ASSERT_TRUE(running.isListening());
        EXPECT_EQ(QFileInfo(running.serverName()).path(), runtime());
        QSignalSpy links(&running, &SingleInstance::linkReceived);
        EXPECT_EQ(launched(QStringList{QStringLiteral("quorvelle://wallpaper/1")}), Claim::handedOver);
        EXPECT_EQ(links.count(), 1);
    }
    // With no folder left, the profile's own folder holds the socket.
    SingleInstance running(profile(), {});
    ASSERT_EQ(running.claim(QStringList()), Claim::running);
    EXPECT_EQ(QFileInfo(running.serverName()).path(), profile());
}

// Copies of two profiles may run side by side with one runtime folder; each gets its own links.
TEST_F(SingleInstanceTest, TwoProfilesSharingARuntimeFolderKeepACopyEach)
{
    const QString other = folder_.filePath(QStringLiteral("other/Quorvelle"));
    SingleInstance first(profile(), {runtime()});
    SingleInstance second(other, {runtime()});
    ASSERT_EQ(first.claim(QStringList()), Claim::running);
    ASSERT_EQ(second.claim(QStringList()), Claim::running);
    EXPECT_TRUE(first.isListening());
    EXPECT_TRUE(second.isListening());
    QSignalSpy toFirst(&first, &SingleInstance::linkReceived);
    QSignalSpy toSecond(&second, &SingleInstance::linkReceived);
    EXPECT_EQ(launched(QStringList{QStringLiteral("quorvelle://wallpaper/1")}), Claim::handedOver);
    EXPECT_EQ(launched(QStringList{QStringLiteral("quorvelle://wallpaper/2")}, SingleInstance::kHandOverTimeoutMs, other), Claim::handedOver);
    ASSERT_EQ(toFirst.count(), 1);
    ASSERT_EQ(toSecond.count(), 1);
    EXPECT_EQ(toFirst.at(0).at(0).toString(), QStringLiteral("quorvelle://wallpaper/1"));
    EXPECT_EQ(toSecond.at(0).at(0).toString(), QStringLiteral("quorvelle://wallpaper/2"));
}

TEST_F(SingleInstanceTest, TheNextLaunchRunsOnceTheRunningCopyHasQuitAndTakesOverItsSocketsName)
{
    QString socket;
    {
        SingleInstance first(profile(), {runtime()});
        ASSERT_EQ(first.claim(QStringList{QStringLiteral("quorvelle://wallpaper/1")}), Claim::running);
        socket = first.serverName();
    }
    // A copy that crashed left a file at its socket's name.
    QFile leftover(socket);
    ASSERT_TRUE(leftover.open(QIODevice::WriteOnly));
    leftover.close();

    SingleInstance next(profile(), {runtime()});
    EXPECT_EQ(next.claim(QStringList{QStringLiteral("quorvelle://wallpaper/2")}), Claim::running);
    EXPECT_EQ(next.serverName(), socket);
    EXPECT_EQ(launched(QStringList()), Claim::handedOver);
}

struct Sessions {
    const char* name;
    const char* holderRuntime; // empty: none
    const char* launchRuntime;
};

// A launch finds the running copy through the profile, whatever runtime folder each session
// gave (a terminal, su or ssh has none).
TEST_F(SingleInstanceTest, LaunchesOfOneProfileMeetWhateverTheirRuntimeFolders)
{
    const Sessions cases[] = {
        {"different runtime folders", "runtime-a", "runtime-b"},
        {"a launch without one", "runtime-a", ""},
        {"a running copy without one", "", "runtime-a"},
    };
    for (const Sessions& sessions : cases) {
        SCOPED_TRACE(sessions.name);
        const auto folderFor = [&](const char* name) { return *name ? runtime(QString::fromLatin1(name)) : QString(); };
        QDir(record()).removeRecursively();
        const auto holder = startLaunch(folderFor(sessions.holderRuntime), {});
        ASSERT_EVENTUALLY(runningCopies().size() == 1, kProcessMs);
        const QString link = QStringLiteral("quorvelle://wallpaper/%1").arg(QString::fromLatin1(sessions.name));
        const auto launch = startLaunch(folderFor(sessions.launchRuntime), {link});
        EXPECT_EQ(exitCodeOf(*launch), 0) << launch->readAll().toStdString();

        EXPECT_EQ(launched(QStringList{QStringLiteral("quit")}), Claim::handedOver);
        EXPECT_EQ(exitCodeOf(*holder), 0) << holder->readAll().toStdString();
        ASSERT_EQ(runningCopies().size(), 1) << "one copy ran";
        EXPECT_EQ(linksOf(runningCopies().at(0)), QStringList{link});
    }
}

// A copy that holds the lock and listens but never answers (hung): a launch waits for its
// answer a bounded time, says so and ends with 1 instead of claiming the links reached it.
TEST_F(SingleInstanceTest, ALaunchBesideAHungCopySaysSoAndEnds)
{
    const auto hung = startLaunch(runtime(), {QStringLiteral("--hang")});
    const auto ended = qScopeGuard([&] {
        hung->kill();
        hung->waitForFinished();
    });
    ASSERT_EVENTUALLY(runningCopies().size() == 1, kProcessMs);
    const auto launch = startLaunch(runtime(), {QStringLiteral("--wait-ms=1000"), QStringLiteral("quorvelle://wallpaper/1")});
    EXPECT_EQ(exitCodeOf(*launch), 1);
    const QString output = QString::fromUtf8(launch->readAll());
    EXPECT_TRUE(output.contains(QStringLiteral("The running copy did not answer within 1 s"))) << output.toStdString();
    EXPECT_EQ(runningCopies().size(), 1);
}

// Launches started as processes of their own, many at once (200, 40 at a time, is a user
// clicking links in a hurry on a loaded machine), with a copy running already or none yet.
struct Burst {
    const char* name;
    int launches;
    int atOnce;
    bool aCopyRuns; // the test itself is the running copy
};

class SingleInstanceBurstTest : public SingleInstanceTest, public ::testing::WithParamInterface<Burst> {};

TEST_P(SingleInstanceBurstTest, OneCopyRunsAndEveryOtherLaunchIsAnsweredOrSaysWhyNot)
{
    const Burst& burst = GetParam();
    const auto link = [](int index) { return QStringLiteral("quorvelle://wallpaper/%1").arg(index); };

    std::optional<SingleInstance> running;
    QStringList received;
    if (burst.aCopyRuns) {
        running.emplace(profile(), QStringList{runtime()});
        ASSERT_EQ(running->claim(QStringList()), Claim::running);
        QObject::connect(&*running, &SingleInstance::linkReceived, [&](const QString& got) { received.append(got); });
    }
    struct Ended {
        int code;
        QString output;
    };
    QList<Ended> ended;
    std::vector<std::unique_ptr<QProcess>> launches;
    // Launches still running when the test ends are ended without telling anyone.
    const auto unheard = qScopeGuard([&] {
        for (const auto& launch : launches)
            launch->disconnect();
    });
    std::function<void()> startMore = [&] {
        while (int(launches.size()) < burst.launches && int(launches.size()) - int(ended.size()) < burst.atOnce) {
            const int index = int(launches.size());
            // Half the sessions have a runtime folder of their own, some none at all.
            const QString runtimeFolder = index % 3 == 0 ? QString() : runtime(QStringLiteral("runtime-%1").arg(index % 2));
            QProcess* launch = launches.emplace_back(startLaunch(runtimeFolder, {link(index)})).get();
            QObject::connect(launch, &QProcess::finished, [&, launch](int code, QProcess::ExitStatus status) {
                ended.append({status == QProcess::NormalExit ? code : -1, QString::fromUtf8(launch->readAll())});
                startMore();
            });
        }
    };
    startMore();
    // A copy that runs waits to be told to quit; every other launch ends.
    QStringList copies;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        copies = runningCopies();
        return ended.size() + copies.size() >= burst.launches;
    }, 200'000)) << ended.size() << " launches ended";

    ASSERT_EQ(copies.size(), burst.aCopyRuns ? 0 : 1) << copies.join(u' ').toStdString();
    int handedOver = 0;
    for (const Ended& launch : std::as_const(ended)) {
        if (launch.code == 0) {
            ++handedOver;
            continue;
        }
        EXPECT_EQ(launch.code, 1) << launch.output.toStdString();
        EXPECT_TRUE(launch.output.contains(QStringLiteral("did not answer within"))) << launch.output.toStdString();
    }
    if (!burst.aCopyRuns) {
        // The copy that ran is one of the launches: it has not ended, and it has its links. It is
        // found before it is told to quit, while its process still has an id.
        const auto copy = std::find_if(launches.begin(), launches.end(), [&](const auto& launch) {
            return QStringLiteral("running-%1").arg(launch->processId()) == copies[0];
        });
        ASSERT_NE(copy, launches.end());
        EXPECT_EQ(launched(QStringList{QStringLiteral("quit")}), Claim::handedOver);
        EXPECT_EQ(exitCodeOf(**copy), 0);
        received = linksOf(copies[0]);
    }
    // Every answered launch's link arrived, once.
    EXPECT_EQ(received.size(), handedOver);
    EXPECT_EQ(QSet<QString>(received.cbegin(), received.cend()).size(), handedOver) << "each link once";
    if (running) {
        QSignalSpy later(&*running, &SingleInstance::linkReceived);
        EXPECT_EQ(launched(QStringList{link(-1)}), Claim::handedOver) << "the running copy kept its socket";
        EXPECT_EQ(later.count(), 1);
    }
}

INSTANTIATE_TEST_SUITE_P(Launches, SingleInstanceBurstTest,
    ::testing::Values(Burst{"TwoHundredFortyAtATimeToARunningCopy", 200, 40, true},
        Burst{"TwoHundredFortyAtATimeWithNoCopyYet", 200, 40, false}),
    [](const auto& row) { return std::string(row.param.name); });

struct PlantedFolder {
    const char* name;
    bool needsRoot;
    // Puts something at the folder's name that must not hold the socket.
    std::function<bool(const QString& folder, const QString& elsewhere)> plant;
};

// A folder the socket would go in, planted by someone else or loosened: the socket goes to the
// next folder, which only this user enters.
TEST_F(SingleInstanceTest, TheSocketSitsInAFolderOnlyThisUserEnters)
{
    const PlantedFolder cases[] = {
        {"a link to a private folder", false, [](const QString& folder, const QString& elsewhere) { return QFile::link(elsewhere, folder); }},
        {"another user's folder", true,
            [](const QString& folder, const QString&) {
                return QDir().mkpath(folder) && ::chown(QFile::encodeName(folder).constData(), kOtherUser, kOtherUser) == 0;
            }},
    };
    const QString elsewhere = runtime(QStringLiteral("elsewhere"));
    ASSERT_TRUE(QDir().mkpath(elsewhere));
    ::chmod(QFile::encodeName(elsewhere).constData(), 0700);
    int row = 0;
    for (const PlantedFolder& planted : cases) {
        SCOPED_TRACE(planted.name);
        if (planted.needsRoot && ::geteuid() != 0)
            continue;
        const QString folder = runtime(QStringLiteral("planted-%1").arg(++row));
        ASSERT_TRUE(planted.plant(folder, elsewhere));
        SingleInstance running(profile(), {folder, runtime()});
        ASSERT_EQ(running.claim(QStringList()), Claim::running);
        EXPECT_EQ(QFileInfo(running.serverName()).path(), runtime());
        EXPECT_EQ(modeOf(runtime()), 0700u);
    }
}

// A forked process of another user, ended and reaped when the test ends, however it ends.
class OtherUserProcess {
public:
    // Runs `child` as another user; only system calls in the child, which keeps none of the
    // test's output open (a runner reading the output would wait for it).
    template <typename Fn>
    explicit OtherUserProcess(Fn child) : pid_(::fork())
    {
        if (pid_ != 0)
            return;
        ::close(STDOUT_FILENO);
        ::close(STDERR_FILENO);
        if (::setgid(kOtherUser) != 0 || ::setuid(kOtherUser) != 0)
            ::_exit(2);
        child();
        ::_exit(0);
    }
    ~OtherUserProcess()
    {
        if (pid_ > 0 && ::kill(pid_, SIGKILL) == 0)
            ::waitpid(pid_, nullptr, 0);
    }
    OtherUserProcess(const OtherUserProcess&) = delete;
    OtherUserProcess& operator=(const OtherUserProcess&) = delete;

    // The child's wait status once it ended by itself.
    int wait()
    {
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return status;
    }

private:
    pid_t pid_;
};

sockaddr_un socketAddress(const QByteArray& path)
{
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), std::min<size_t>(path.size(), sizeof address.sun_path - 1));
    return address;
}

// The lock names a socket where another user listens (a record planted in a loosened folder):
// the launch's links never go there.
TEST_F(SingleInstanceTest, AnotherUsersListenerIsNeverHandedALaunch)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "a process of another user needs root";
    const QString shared = runtime(QStringLiteral("shared"));
    ASSERT_TRUE(QDir().mkpath(shared));
    ::chmod(QFile::encodeName(folder_.path()).constData(), 0755);
    ::chmod(QFile::encodeName(shared).constData(), 0777);
    const QString socketPath = shared + QStringLiteral("/quorvelle.socket");
    const sockaddr_un address = socketAddress(QFile::encodeName(socketPath));
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const OtherUserProcess listener([&] {
        const int server = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (::bind(server, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 || ::listen(server, 8) != 0)
            ::_exit(3);
        [[maybe_unused]] const ssize_t told = ::write(ready[1], "r", 1);
        for (;;) {
            const int client = ::accept(server, nullptr, nullptr);
            // Answers as the running copy would, to be taken for it.
            char buffer[4096];
            [[maybe_unused]] const ssize_t read = ::read(client, buffer, sizeof buffer);
            [[maybe_unused]] const ssize_t answered = ::write(client, "k", 1);
            ::close(client);
        }
    });
    ::close(ready[1]); // a child that could not listen ends the read below
    char byte = 0;
    const ssize_t told = ::read(ready[0], &byte, 1);
    ::close(ready[0]);
    ASSERT_EQ(told, 1) << "the other user could not listen";
    ::chmod(QFile::encodeName(socketPath).constData(), 0777);

    const HeldLock held(profile(), QFile::encodeName(socketPath) + '\n');
    ASSERT_TRUE(held.isHeld());
    LogCapture log;
    EXPECT_EQ(SingleInstance(profile(), {runtime()}).claim(QStringList{QStringLiteral("quorvelle://gravelnook/private")}), Claim::notHandedOver);
    EXPECT_TRUE(log.contains(QStringLiteral("Did not hand the launch to another user's socket")));
}

TEST_F(SingleInstanceTest, ALaunchOfAnotherUserIsRefused)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "a process of another user needs root";
    SingleInstance running(profile(), {runtime()});
    ASSERT_EQ(running.claim(QStringList()), Claim::running);
    QSignalSpy activations(&running, &SingleInstance::activationRequested);
    // Rights loosened by hand: only the check of the peer keeps the launch out.
    ::chmod(QFile::encodeName(folder_.path()).constData(), 0777);
    ::chmod(QFile::encodeName(runtime()).constData(), 0777);
    ::chmod(QFile::encodeName(running.serverName()).constData(), 0777);
    const QByteArray bytes = message(kMagic, linksClaiming(1, QStringLiteral("quorvelle://wallpaper/1")));
    const sockaddr_un address = socketAddress(QFile::encodeName(running.serverName()));

    LogCapture log;
    OtherUserProcess sender([&] {
        const int client = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (::connect(client, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
            ::_exit(3);
        [[maybe_unused]] const ssize_t sent = ::write(client, bytes.constData(), size_t(bytes.size()));
        ::close(client);
    });
    const int status = sender.wait();
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the other user could not connect: " << status;

    ASSERT_EVENTUALLY(log.contains(QStringLiteral("Refused a launch of another user")), kWaitMs);
    EXPECT_EQ(activations.count(), 0);
}
} // namespace
