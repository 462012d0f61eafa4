#include "foundation/Log.h"
#include "foundation/Paths.h"
#include "platform/SingleInstance.h"
#include "support/Eventually.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QScopeGuard>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <cstring>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
// Hand-overs cross a local socket: they arrive within a few turns of the event loop.
constexpr int kWaitMs = 2'000;
// A busy machine's running copy takes a while to read a burst of hand-overs the kernel holds.
constexpr int kBurstReadMs = 60'000;

using Claim = SingleInstance::Claim;

// The lock a running copy holds, taken by the test itself.
class HeldLock {
public:
    explicit HeldLock(const QString& path)
        : descriptor_(::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600))
    {
        held_ = descriptor_ >= 0 && ::flock(descriptor_, LOCK_EX | LOCK_NB) == 0;
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
    int descriptor_;
    bool held_ = false;
};

class SingleInstanceTest : public ::testing::Test {
protected:
    QString socketPath() const { return folder_.filePath(QStringLiteral("quorvelle.socket")); }
    QString lockPath() const { return folder_.filePath(QStringLiteral("quorvelle.lock")); }

    QTemporaryDir folder_;
};

TEST_F(SingleInstanceTest, SecondLaunchHandsItsLinksToTheRunningOne)
{
    SingleInstance running(socketPath());
    ASSERT_EQ(running.claim(QStringList()), Claim::running);
    QSignalSpy activations(&running, &SingleInstance::activationRequested);
    QSignalSpy links(&running, &SingleInstance::linkReceived);

    SingleInstance second(socketPath());
    EXPECT_EQ(second.claim(QStringList{QStringLiteral("quorvelle://wallpaper/1"), QStringLiteral("quorvelle://gravelnook/a\nb")}),
        Claim::handedOver);
    EXPECT_FALSE(second.isListening());

    ASSERT_EVENTUALLY(links.count() == 2, kWaitMs) << links.count() << " links";
    EXPECT_EQ(activations.count(), 1);
    EXPECT_EQ(links.at(0).at(0).toString(), QStringLiteral("quorvelle://wallpaper/1"));
    EXPECT_EQ(links.at(1).at(0).toString(), QStringLiteral("quorvelle://gravelnook/a\nb")) << "links arrive whole";
}

TEST_F(SingleInstanceTest, LaunchWithoutLinksStillAsksForTheWindow)
{
    SingleInstance running(socketPath());
    ASSERT_EQ(running.claim(QStringList()), Claim::running);
    QSignalSpy activations(&running, &SingleInstance::activationRequested);
    QSignalSpy links(&running, &SingleInstance::linkReceived);

    EXPECT_EQ(SingleInstance(socketPath()).claim(QStringList()), Claim::handedOver);
    ASSERT_EVENTUALLY(activations.count() == 1, kWaitMs);
    EXPECT_EQ(links.count(), 0);

    // A launch at login asks nothing of the running copy.
    EXPECT_EQ(SingleInstance(socketPath()).claim(std::nullopt), Claim::alreadyRunning);
    QCoreApplication::processEvents();
    EXPECT_EQ(activations.count(), 1);
}

TEST_F(SingleInstanceTest, ProbesAndStrayBytesAreNotHandOvers)
{
    SingleInstance running(socketPath());
    ASSERT_EQ(running.claim(QStringList()), Claim::running);
    QSignalSpy activations(&running, &SingleInstance::activationRequested);
    LogCapture log;

    QLocalSocket probe;
    probe.connectToServer(socketPath());
    ASSERT_TRUE(probe.waitForConnected(kWaitMs));
    probe.disconnectFromServer();
    QLocalSocket stray;
    stray.connectToServer(socketPath());
    ASSERT_TRUE(stray.waitForConnected(kWaitMs));
    stray.write("hello");
    stray.waitForBytesWritten(kWaitMs);
    stray.disconnectFromServer();

    ASSERT_EVENTUALLY(log.contains(QStringLiteral("Ignored a message that is not a hand-over")), kWaitMs);
    EXPECT_EQ(activations.count(), 0);
}

// Messages that claim more than they hold, or are far too long to be a hand-over.
TEST_F(SingleInstanceTest, AbsurdMessagesAreRefusedWithoutReservingTheirClaims)
{
    const auto message = [](quint32 count, const QString& link) {
        QByteArray bytes;
        QDataStream out(&bytes, QIODevice::WriteOnly);
        out.setVersion(QDataStream::Qt_6_4);
        out << quint32(0x51564c31) << count << link;
        return bytes;
    };
    const QByteArray cases[] = {
        message(0x7fff'ffff, QStringLiteral("quorvelle://wallpaper/1")), // two billion links claimed
        message(3, QStringLiteral("quorvelle://wallpaper/1")),           // more counted than sent
        message(1, QString(3 << 20, u'a')),                                // several megabytes
    };
    SingleInstance running(socketPath());
    ASSERT_EQ(running.claim(QStringList()), Claim::running);
    QSignalSpy activations(&running, &SingleInstance::activationRequested);
    for (const QByteArray& bytes : cases) {
        LogCapture log;
        QLocalSocket sender;
        sender.connectToServer(socketPath());
        ASSERT_TRUE(sender.waitForConnected(kWaitMs));
        sender.write(bytes);
        ASSERT_TRUE(QTest::qWaitFor([&] { return sender.bytesToWrite() == 0 || sender.state() != QLocalSocket::ConnectedState; }, kWaitMs));
        sender.disconnectFromServer();
        ASSERT_TRUE(QTest::qWaitFor([&] { return log.contains(QStringLiteral("Ignored a message that is not a hand-over")); }, kWaitMs));
        EXPECT_EQ(activations.count(), 0);
    }
}

TEST_F(SingleInstanceTest, SocketLeftByACrashedCopyIsTakenOver)
{
    QFile leftover(socketPath());
    ASSERT_TRUE(leftover.open(QIODevice::WriteOnly));
    leftover.close();

    SingleInstance running(socketPath());
    EXPECT_EQ(running.claim(QStringList()), Claim::running);
    EXPECT_TRUE(running.isListening());
}

TEST_F(SingleInstanceTest, TheNextLaunchRunsOnceTheRunningCopyHasQuit)
{
    {
        SingleInstance first(socketPath());
        ASSERT_EQ(first.claim(QStringList{QStringLiteral("quorvelle://wallpaper/1")}), Claim::running);
    }
    SingleInstance next(socketPath());
    EXPECT_EQ(next.claim(QStringList{QStringLiteral("quorvelle://wallpaper/2")}), Claim::running);
    EXPECT_TRUE(next.isListening());
}

// The lock's holder that does not answer yet: a copy still starting. A launch waits a bounded
// time, says why it gave up, and neither runs beside the holder nor takes its socket's name.
TEST_F(SingleInstanceTest, ALaunchWhileTheHolderIsStartingNeverRunsBesideIt)
{
    const HeldLock held(lockPath());
    ASSERT_TRUE(held.isHeld());
    LogCapture log;
    SingleInstance launch(socketPath());
    EXPECT_EQ(launch.claim(QStringList{QStringLiteral("quorvelle://wallpaper/1")}, 300), Claim::notHandedOver);
    EXPECT_FALSE(launch.isListening());
    EXPECT_FALSE(QFileInfo::exists(socketPath()));
    EXPECT_TRUE(log.contains(QStringLiteral("The running copy did not answer within 0.3 s"))) << log.lines().join(u'\n').toStdString();
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

TEST_P(SingleInstanceBurstTest, OneCopyRunsAndEveryOtherLaunchHandsItsLinkToIt)
{
    const Burst& burst = GetParam();
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/single-instance-launch");
    ASSERT_TRUE(QFileInfo(program).isExecutable()) << program.toStdString();
    const QString record = folder_.filePath(QStringLiteral("record"));
    ASSERT_TRUE(QDir().mkpath(record));
    const auto link = [](int index) { return QStringLiteral("quorvelle://wallpaper/%1").arg(index); };

    std::optional<SingleInstance> running;
    QStringList received;
    if (burst.aCopyRuns) {
        running.emplace(socketPath());
        ASSERT_EQ(running->claim(QStringList()), Claim::running);
        QObject::connect(&*running, &SingleInstance::linkReceived, [&](const QString& got) { received.append(got); });
    }
    QList<int> codes;
    std::vector<std::unique_ptr<QProcess>> launches;
    // Launches still running when the test ends are ended without telling anyone.
    const auto unheard = qScopeGuard([&] {
        for (const auto& launch : launches)
            launch->disconnect();
    });
    std::function<void()> startMore = [&] {
        while (int(launches.size()) < burst.launches && int(launches.size()) - int(codes.size()) < burst.atOnce) {
            auto& launch = launches.emplace_back(std::make_unique<QProcess>());
            launch->setProcessChannelMode(QProcess::ForwardedErrorChannel);
            QObject::connect(launch.get(), &QProcess::finished, [&](int code, QProcess::ExitStatus status) {
                codes.append(status == QProcess::NormalExit ? code : -1);
                startMore();
            });
            launch->start(program, {socketPath(), record, QString::number(burst.launches - 1), link(int(launches.size()))});
        }
    };
    startMore();
    // A second copy would wait for links that never come: the copies are counted either way.
    EXPECT_TRUE(QTest::qWaitFor([&] { return codes.size() == burst.launches; }, 100'000)) << codes.size() << " launches ended";

    EXPECT_EQ(codes.count(0), burst.launches) << "exit codes: " << QDebug::toString(codes).toStdString();
    const QStringList copies = QDir(record).entryList({QStringLiteral("running-*")}, QDir::Files);
    ASSERT_EQ(copies.size(), burst.aCopyRuns ? 0 : 1) << copies.join(u' ').toStdString();
    // Only the running copy wrote anything.
    EXPECT_EQ(QDir(record).entryList(QDir::Files | QDir::NoDotAndDotDot).size(), burst.aCopyRuns ? 0 : 2);
    if (!burst.aCopyRuns) {
        QFile file(record + QStringLiteral("/links-") + copies[0].mid(8));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        received = QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }
    // A launch is done once its link is with the kernel; the running copy reads it in its turn.
    const int handedOver = burst.launches - (burst.aCopyRuns ? 0 : 1);
    ASSERT_EVENTUALLY(received.size() == handedOver, kBurstReadMs) << received.size() << " links";
    EXPECT_EQ(QSet<QString>(received.cbegin(), received.cend()).size(), handedOver) << "each link once";
    if (running) {
        EXPECT_TRUE(running->isListening());
        QSignalSpy later(&*running, &SingleInstance::linkReceived);
        EXPECT_EQ(SingleInstance(socketPath()).claim(QStringList{link(-1)}), Claim::handedOver) << "the running copy kept its socket";
        ASSERT_EVENTUALLY(later.count() == 1, kWaitMs);
    }
}

INSTANTIATE_TEST_SUITE_P(Launches, SingleInstanceBurstTest,
    ::testing::Values(Burst{"TwoHundredFortyAtATimeToARunningCopy", 200, 40, true},
        Burst{"TwoHundredFortyAtATimeWithNoCopyYet", 200, 40, false}),
    [](const auto& row) { return std::string(row.param.name); });

// Another user of the machine: planted folders and sockets belong to nobody (needs root to make).
constexpr uid_t kOtherUser = 65534;

bool isThisUsersPrivateFolder(const QString& path)
{
    struct stat info = {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode)
        && info.st_uid == ::geteuid() && (info.st_mode & 077) == 0;
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

struct PlantedRuntime {
    const char* name;
    bool foreignRuntimeFolder; // another user made "runtime-<user>" in the temporary folder first
    // What stands at "quorvelle-<uid>" in the temporary folder: nothing, a link, another user's folder.
    enum { Nothing, Link, ForeignFolder } ownFolder;
};

class SingleInstanceDefaultNameTest : public ::testing::TestWithParam<PlantedRuntime> {};

TEST_P(SingleInstanceDefaultNameTest, TheSocketSitsInAFolderOnlyThisUserEnters)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "planting another user's folders needs root";
    const PlantedRuntime& planted = GetParam();
    QTemporaryDir shared;
    ::chmod(QFile::encodeName(shared.path()).constData(), 01777);
    const QByteArray previousTmp = qgetenv("TMPDIR");
    const QByteArray previousRuntime = qgetenv("XDG_RUNTIME_DIR");
    qputenv("TMPDIR", QFile::encodeName(shared.path()));
    qunsetenv("XDG_RUNTIME_DIR");
    Paths::Override paths(shared.filePath(QStringLiteral("home")));

    const QString runtime = shared.filePath(QStringLiteral("runtime-") + QString::fromLocal8Bit(::getpwuid(::geteuid())->pw_name));
    if (planted.foreignRuntimeFolder) {
        ASSERT_TRUE(QDir().mkdir(runtime));
        ASSERT_EQ(::chown(QFile::encodeName(runtime).constData(), kOtherUser, kOtherUser), 0);
    }
    const QString own = shared.filePath(QStringLiteral("quorvelle-") + QString::number(::geteuid()));
    const QString elsewhere = shared.filePath(QStringLiteral("elsewhere"));
    ASSERT_TRUE(QDir().mkdir(elsewhere));
    ::chmod(QFile::encodeName(elsewhere).constData(), 0700);
    if (planted.ownFolder == PlantedRuntime::Link) {
        ASSERT_TRUE(QFile::link(elsewhere, own));
    }
    if (planted.ownFolder == PlantedRuntime::ForeignFolder) {
        ASSERT_TRUE(QDir().mkdir(own));
        ASSERT_EQ(::chown(QFile::encodeName(own).constData(), kOtherUser, kOtherUser), 0);
    }

    const QString name = SingleInstance::defaultServerName();
    qputenv("TMPDIR", previousTmp);
    if (!previousRuntime.isEmpty())
        qputenv("XDG_RUNTIME_DIR", previousRuntime);

    ASSERT_FALSE(name.isEmpty());
    EXPECT_NE(name, QStringLiteral("quorvelle")) << "a bare name lands in the shared temporary folder";
    EXPECT_TRUE(isThisUsersPrivateFolder(QFileInfo(name).path())) << name.toStdString();
    if (planted.ownFolder != PlantedRuntime::Nothing) {
        EXPECT_NE(QFileInfo(name).path(), own) << "the planted folder is not used";
    }
}

INSTANTIATE_TEST_SUITE_P(Planted, SingleInstanceDefaultNameTest,
    ::testing::Values(PlantedRuntime{"NothingPlanted", false, PlantedRuntime::Nothing},
        PlantedRuntime{"AnotherUsersRuntimeFolder", true, PlantedRuntime::Nothing},
        PlantedRuntime{"AndALinkAtTheFallback", true, PlantedRuntime::Link},
        PlantedRuntime{"AndAnotherUsersFallback", true, PlantedRuntime::ForeignFolder}),
    [](const auto& row) { return std::string(row.param.name); });

// A listener of another user at the socket's name: a folder whose rights were loosened.
TEST_F(SingleInstanceTest, AnotherUsersListenerIsNeverHandedALaunch)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "a process of another user needs root";
    ::chmod(QFile::encodeName(folder_.path()).constData(), 0777);
    const sockaddr_un address = socketAddress(QFile::encodeName(socketPath()));
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const OtherUserProcess listener([&] {
        const int server = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (::bind(server, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 || ::listen(server, 8) != 0)
            ::_exit(3);
        ::fchmod(server, 0777);
        [[maybe_unused]] const ssize_t told = ::write(ready[1], "r", 1);
        for (;;) {
            const int client = ::accept(server, nullptr, nullptr);
            char buffer[4096];
            while (::read(client, buffer, sizeof buffer) > 0) {
            }
            ::close(client);
        }
    });
    ::close(ready[1]); // a child that could not listen ends the read below
    char byte = 0;
    const ssize_t told = ::read(ready[0], &byte, 1);
    ::close(ready[0]);
    ASSERT_EQ(told, 1) << "the other user could not listen";
    ::chmod(QFile::encodeName(socketPath()).constData(), 0777);

    {
        // While a copy of ours holds the lock, the listener is taken for it, and told nothing.
        const HeldLock held(lockPath());
        ASSERT_TRUE(held.isHeld());
        LogCapture log;
        EXPECT_EQ(SingleInstance(socketPath()).claim(QStringList{QStringLiteral("quorvelle://gravelnook/private")}), Claim::notHandedOver);
        EXPECT_TRUE(log.contains(QStringLiteral("Did not hand the launch to another user's socket")));
    }
    SingleInstance mine(socketPath());
    EXPECT_EQ(mine.claim(QStringList()), Claim::running) << "this user's launch runs instead of quitting";
    QSignalSpy links(&mine, &SingleInstance::linkReceived);
    EXPECT_EQ(SingleInstance(socketPath()).claim(QStringList{QStringLiteral("quorvelle://wallpaper/1")}), Claim::handedOver);
    ASSERT_EVENTUALLY(links.count() == 1, kWaitMs);
}

TEST_F(SingleInstanceTest, ALaunchOfAnotherUserIsRefused)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "a process of another user needs root";
    SingleInstance running(socketPath());
    ASSERT_EQ(running.claim(QStringList()), Claim::running);
    QSignalSpy activations(&running, &SingleInstance::activationRequested);
    // Rights loosened by hand: only the check of the peer keeps the launch out.
    ::chmod(QFile::encodeName(folder_.path()).constData(), 0777);
    ::chmod(QFile::encodeName(socketPath()).constData(), 0777);
    QByteArray message;
    QDataStream out(&message, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_4);
    out << quint32(0x51564c31) << QStringList{QStringLiteral("quorvelle://wallpaper/1")};
    const sockaddr_un address = socketAddress(QFile::encodeName(socketPath()));

    LogCapture log;
    OtherUserProcess sender([&] {
        const int client = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (::connect(client, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
            ::_exit(3);
        [[maybe_unused]] const ssize_t sent = ::write(client, message.constData(), size_t(message.size()));
        ::close(client);
    });
    const int status = sender.wait();
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the other user could not connect: " << status;

    ASSERT_EVENTUALLY(log.contains(QStringLiteral("Refused a launch of another user")), kWaitMs);
    QTest::qWait(100);
    EXPECT_EQ(activations.count(), 0);
}
} // namespace
