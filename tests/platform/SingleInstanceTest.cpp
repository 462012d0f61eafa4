#include "foundation/Log.h"
#include "foundation/Paths.h"
#include "platform/SingleInstance.h"
#include "support/Eventually.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
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

class SingleInstanceTest : public ::testing::Test {
protected:
    QString socketPath() const { return folder_.filePath(QStringLiteral("quorvelle.socket")); }

    QTemporaryDir folder_;
};

TEST_F(SingleInstanceTest, SecondLaunchHandsItsLinksToTheRunningOne)
{
    SingleInstance running(socketPath());
    ASSERT_TRUE(running.listen());
    QSignalSpy activations(&running, &SingleInstance::activationRequested);
    QSignalSpy links(&running, &SingleInstance::linkReceived);

    SingleInstance second(socketPath());
    EXPECT_FALSE(second.listen()) << "another copy answers";
    EXPECT_TRUE(second.handOver({QStringLiteral("quorvelle://wallpaper/1"), QStringLiteral("quorvelle://gravelnook/a\nb")}));

    ASSERT_EVENTUALLY(links.count() == 2, kWaitMs) << links.count() << " links";
    EXPECT_EQ(activations.count(), 1);
    EXPECT_EQ(links.at(0).at(0).toString(), QStringLiteral("quorvelle://wallpaper/1"));
    EXPECT_EQ(links.at(1).at(0).toString(), QStringLiteral("quorvelle://gravelnook/a\nb")) << "links arrive whole";
}

TEST_F(SingleInstanceTest, LaunchWithoutLinksStillAsksForTheWindow)
{
    SingleInstance running(socketPath());
    ASSERT_TRUE(running.listen());
    QSignalSpy activations(&running, &SingleInstance::activationRequested);
    QSignalSpy links(&running, &SingleInstance::linkReceived);

    EXPECT_TRUE(SingleInstance(socketPath()).handOver({}));
    ASSERT_EVENTUALLY(activations.count() == 1, kWaitMs);
    EXPECT_EQ(links.count(), 0);
}

TEST_F(SingleInstanceTest, ProbesAndStrayBytesAreNotHandOvers)
{
    SingleInstance running(socketPath());
    ASSERT_TRUE(running.listen());
    QSignalSpy activations(&running, &SingleInstance::activationRequested);
    LogCapture log;

    EXPECT_FALSE(SingleInstance(socketPath()).listen());
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
    ASSERT_TRUE(running.listen());
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
    EXPECT_TRUE(running.listen());
    EXPECT_TRUE(running.isListening());
}

TEST_F(SingleInstanceTest, NothingToHandOverToWhenNoCopyRuns)
{
    EXPECT_FALSE(SingleInstance(socketPath()).handOver({QStringLiteral("quorvelle://wallpaper/1")}, 200));
    {
        SingleInstance first(socketPath());
        ASSERT_TRUE(first.listen());
    }
    SingleInstance next(socketPath());
    EXPECT_TRUE(next.listen()) << "the next launch runs once the first has quit";
}

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

    LogCapture log;
    EXPECT_FALSE(SingleInstance(socketPath()).handOver({QStringLiteral("quorvelle://gravelnook/private")}));
    EXPECT_TRUE(log.contains(QStringLiteral("Did not hand the launch to another user's socket")));

    SingleInstance mine(socketPath());
    EXPECT_TRUE(mine.listen()) << "this user's launch runs instead of quitting";
    QSignalSpy links(&mine, &SingleInstance::linkReceived);
    EXPECT_TRUE(SingleInstance(socketPath()).handOver({QStringLiteral("quorvelle://wallpaper/1")}));
    ASSERT_EVENTUALLY(links.count() == 1, kWaitMs);
}

TEST_F(SingleInstanceTest, ALaunchOfAnotherUserIsRefused)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "a process of another user needs root";
    SingleInstance running(socketPath());
    ASSERT_TRUE(running.listen());
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
