#include "ManualClock.h"
#include "SignalryFixture.h"

#include "signalry/DefaultsSuite.h"
#include "signalry/SessionManager.h"

#include <QTimer>

using namespace signalry;

namespace {

class SessionManagerTest : public SignalryFixture {
protected:
    SessionManagerTest() : recorder(installRecording()), useClock(clock) {}

    std::unique_ptr<SessionManager> launch()
    {
        return std::make_unique<SessionManager>([] { return SignalryManager::analyticsDefaultsSuite(); });
    }
    DefaultsSuite& suite() { return *SignalryManager::analyticsDefaultsSuite(); }
    QList<StoredSession> storedSessions()
    {
        const QByteArray data = suite().data(QStringLiteral("recentSessions")).value_or(QByteArray());
        return StoredSession::decodeList(data).value_or(QList<StoredSession>());
    }
    QStringList newInstalls()
    {
        settle();
        QStringList days;
        for (const auto& signal : recorder.recorded) {
            if (signal.type == QStringLiteral("Signalry.Acquisition.newInstallDetected"))
                days << signal.parameters.value(QStringLiteral("Signalry.Acquisition.firstSessionDate"));
        }
        return days;
    }
    static int activeTimers(const SessionManager& sessions)
    {
        const auto timers = sessions.findChildren<QTimer*>();
        return static_cast<int>(std::count_if(timers.cbegin(), timers.cend(), [](const QTimer* timer) { return timer->isActive(); }));
    }

    RecordingSignalManager& recorder;
    ManualClock clock;
    Clock::Override useClock;
};

TEST_F(SessionManagerTest, FirstSessionReportsANewInstallOnce)
{
    auto sessions = launch();
    sessions->startNewSession();
    EXPECT_EQ(newInstalls(), QStringList{QStringLiteral("2025-03-02")});
    EXPECT_EQ(suite().string(QStringLiteral("firstSessionDate")), QStringLiteral("2025-03-02"));
    EXPECT_EQ(sessions->averageSessionSeconds(), -1);

    clock.advance(5);
    sessions->updateSessionDuration();
    sessions->startNewSession();
    EXPECT_EQ(newInstalls().size(), 1);
}

TEST_F(SessionManagerTest, OnlyWholeActiveSecondsAreStored)
{
    const QDateTime started = clock.now();
    auto sessions = launch();
    sessions->startNewSession();
    clock.advance(0.9);
    sessions->updateSessionDuration();
    EXPECT_TRUE(storedSessions().isEmpty());
    clock.advance(1.0);
    sessions->updateSessionDuration();
    ASSERT_EQ(storedSessions().size(), 1);
    EXPECT_EQ(storedSessions().first(), (StoredSession{started, 1}));
}

TEST_F(SessionManagerTest, InactiveTimeIsNeverCounted)
{
    auto sessions = launch();
    sessions->startNewSession();
    clock.advance(10);
    sessions->handleDidEnterBackgroundNotification();
    EXPECT_EQ(activeTimers(*sessions), 0);
    clock.advance(60);
    sessions->updateSessionDuration(); // a stray call while inactive
    sessions->handleWillEnterForegroundNotification();
    clock.advance(5);
    sessions->updateSessionDuration();
    EXPECT_DOUBLE_EQ(sessions->currentSessionDuration(), 15.0);
}

TEST_F(SessionManagerTest, ReactivationWhileCountingLeavesNoSecondTimer)
{
    auto sessions = launch();
    // Before the first session there is nothing to count.
    sessions->handleWillEnterForegroundNotification();
    EXPECT_EQ(activeTimers(*sessions), 0);
    sessions->startNewSession();
    sessions->handleWillEnterForegroundNotification();
    sessions->handleWillEnterForegroundNotification();
    EXPECT_EQ(activeTimers(*sessions), 1);
    sessions->handleDidEnterBackgroundNotification();
    EXPECT_EQ(activeTimers(*sessions), 0);
}

TEST_F(SessionManagerTest, WallClockSetBackwardsDoesNotShortenTheSession)
{
    auto sessions = launch();
    sessions->startNewSession();
    clock.advance(3);
    clock.setWallClock(clock.now().addDays(-2));
    clock.advance(4);
    sessions->updateSessionDuration();
    EXPECT_DOUBLE_EQ(sessions->currentSessionDuration(), 7.0);
}

TEST_F(SessionManagerTest, SessionsOlderThanNinetyDaysAgeOut)
{
    const QDateTime now = clock.now();
    suite().setData(QStringLiteral("recentSessions"),
                    StoredSession::encodeList({{now.addDays(-100), 30}, {now.addDays(-91), 40}}));
    suite().setInteger(QStringLiteral("deletedSessionsCount"), 3);
    auto sessions = launch();
    EXPECT_TRUE(sessions->recentSessions().isEmpty());
    EXPECT_EQ(suite().integer(QStringLiteral("deletedSessionsCount")), 5);
    sessions->startNewSession();
    EXPECT_EQ(newInstalls().size(), 1);
}

TEST_F(SessionManagerTest, EachDayOfUseIsRecordedOnce)
{
    launch();
    launch();
    clock.advance(24 * 3600);
    launch();
    EXPECT_EQ(suite().stringList(QStringLiteral("distinctDaysUsed")),
              (QStringList{QStringLiteral("2025-03-02"), QStringLiteral("2025-03-03")}));
}

TEST_F(SessionManagerTest, AverageLeavesOutTheRunningSession)
{
    const QDateTime now = clock.now();
    suite().setData(QStringLiteral("recentSessions"),
                    StoredSession::encodeList({{now.addSecs(-900), 10}, {now.addSecs(-600), 20}, {now.addSecs(-300), 5}}));
    EXPECT_EQ(launch()->averageSessionSeconds(), 15);
    suite().setData(QStringLiteral("recentSessions"), QByteArray("not json"));
    EXPECT_TRUE(launch()->recentSessions().isEmpty());
}

} // namespace
