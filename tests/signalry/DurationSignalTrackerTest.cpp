#include "ManualClock.h"

#include "signalry/DurationSignalTracker.h"

#include <gtest/gtest.h>

using namespace signalry;

namespace {

class DurationSignalTrackerTest : public ::testing::Test {
protected:
    DurationSignalTrackerTest() : useClock(clock) {}

    double stop(const QString& name) { return tracker.stopTracking(name).value_or(DurationSignalTracker::Measurement{-1.0, {}}).seconds; }

    ManualClock clock;
    Clock::Override useClock;
    DurationSignalTracker tracker;
};

TEST_F(DurationSignalTrackerTest, InactiveTimeCountsOnlyWhenAsked)
{
    tracker.startTracking(QStringLiteral("Load"), {}, false);
    tracker.startTracking(QStringLiteral("Sync"), {}, true);
    clock.advance(2);
    tracker.handleDidEnterBackgroundNotification();
    clock.advance(60);
    tracker.handleWillEnterForegroundNotification();
    clock.advance(5);
    EXPECT_DOUBLE_EQ(stop(QStringLiteral("Load")), 7.0);
    EXPECT_DOUBLE_EQ(stop(QStringLiteral("Sync")), 67.0);
}

TEST_F(DurationSignalTrackerTest, StartedWhileInactiveLosesOnlyItsOwnInactiveTime)
{
    tracker.handleDidEnterBackgroundNotification();
    clock.advance(30);
    tracker.startTracking(QStringLiteral("Load"), {}, false);
    clock.advance(30);
    tracker.handleWillEnterForegroundNotification();
    clock.advance(5);
    EXPECT_DOUBLE_EQ(stop(QStringLiteral("Load")), 5.0);
}

TEST_F(DurationSignalTrackerTest, RestartCancelAndUnknownNames)
{
    tracker.startTracking(QStringLiteral("Load"), {{QStringLiteral("try"), QStringLiteral("1")}}, false);
    clock.advance(10);
    tracker.startTracking(QStringLiteral("Load"), {{QStringLiteral("try"), QStringLiteral("2")}}, false);
    clock.advance(3);
    const auto measured = tracker.stopTracking(QStringLiteral("Load"));
    ASSERT_TRUE(measured);
    EXPECT_DOUBLE_EQ(measured->seconds, 3.0);
    EXPECT_EQ(measured->parameters.value(QStringLiteral("try")), QStringLiteral("2"));
    EXPECT_FALSE(tracker.stopTracking(QStringLiteral("Load")));
    EXPECT_FALSE(tracker.stopTracking(QStringLiteral("load")));
}

TEST_F(DurationSignalTrackerTest, DurationIsCutToMillisecondsAndCanBeOverridden)
{
    const auto durationOf = [](double seconds, const Parameters& start = {}, const Parameters& stop = {}) {
        return DurationSignalTracker::signalParameters({seconds, start}, stop).value(QStringLiteral("Signalry.Signal.durationInSeconds"));
    };
    EXPECT_EQ(durationOf(1.23456), QStringLiteral("1.234"));
    EXPECT_EQ(durationOf(2.0), QStringLiteral("2.0"));
    const Parameters own{{QStringLiteral("Signalry.Signal.durationInSeconds"), QStringLiteral("start")}};
    EXPECT_EQ(durationOf(2.0, own), QStringLiteral("start"));
    EXPECT_EQ(durationOf(2.0, own, {{QStringLiteral("Signalry.Signal.durationInSeconds"), QStringLiteral("stop")}}),
              QStringLiteral("stop"));
}

} // namespace
