#include "foundation/Log.h"
#include "platform/SingleInstance.h"
#include "support/Eventually.h"

#include <QDataStream>
#include <QFile>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

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
} // namespace
