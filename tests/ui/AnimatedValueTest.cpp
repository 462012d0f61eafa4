#include "ui/AnimatedValue.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using Curve = AnimatedValue::Curve;

namespace {

struct CurveCase {
    const char* name;
    Curve curve;
    double elapsedMs;
    double expected;
};

class CurveProgress : public ::testing::TestWithParam<CurveCase> {};

TEST_P(CurveProgress, FollowsTheCurve)
{
    EXPECT_NEAR(GetParam().curve.progress(GetParam().elapsedMs), GetParam().expected, 0.002) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(Curves, CurveProgress,
    ::testing::Values(CurveCase{"linear halfway", Curve::linear(1500), 750, 0.5},
        CurveCase{"ease-in-out is symmetric", Curve::easeInOut(150), 75, 0.5},
        CurveCase{"ease-in-out starts slowly", Curve::easeInOut(1000), 100, 0.02},
        CurveCase{"ease-out is ahead of linear", Curve::easeOut(200), 50, 0.378},
        CurveCase{"ends exactly", Curve::easeOut(200), 200, 1.0},
        CurveCase{"past the end", Curve::linear(100), 500, 1.0},
        CurveCase{"before the start", Curve::linear(100), -5, 0.0},
        CurveCase{"zero duration jumps", Curve::linear(0), 0, 1.0},
        // A critically damped spring of response 1 s: 1 - e^(-2π)(1 + 2π) after one second.
        CurveCase{"critical spring", Curve::spring(1.0, 1.0), 1000, 0.9865},
        CurveCase{"overdamped spring lags the critical one", Curve::spring(1.0, 2.0), 1000, 0.7986},
        CurveCase{"spring without response jumps", Curve::spring(0, 0.8), 0, 1.0}),
    [](const ::testing::TestParamInfo<CurveCase>& row) {
        std::string name = row.param.name;
        std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
        return name;
    });

TEST(AnimatedValueCurve, UnderdampedSpringOvershootsAndSettles)
{
    const Curve bouncy = Curve::spring(0.5, 0.3);
    double highest = 0;
    for (int ms = 0; ms < bouncy.cycleMs(); ms += 5)
        highest = std::max(highest, bouncy.progress(ms));
    EXPECT_GT(highest, 1.2);
    EXPECT_NEAR(bouncy.progress(bouncy.cycleMs() - 1), 1.0, 0.002);

    const Curve critical = Curve::spring(0.5, 1.0);
    for (int ms = 0; ms < critical.cycleMs(); ms += 5)
        ASSERT_LE(critical.progress(ms), 1.0) << ms;
}

TEST(AnimatedValueCurve, UndampedSpringStillEnds)
{
    EXPECT_GT(Curve::spring(0.5, 0).cycleMs(), 0);
    EXPECT_LE(Curve::spring(0.5, -1).cycleMs(), 10'000);
}

// Runs are stepped by hand through the animation's clock.
TEST(AnimatedValue, InterruptedRunRestartsFromWhereTheValueIs)
{
    AnimatedValue value(0.0);
    value.animateTo(1.0, Curve::linear(100));
    value.setCurrentTime(40);
    ASSERT_DOUBLE_EQ(value.value(), 0.4);

    value.animateTo(0.0, Curve::linear(100));
    EXPECT_DOUBLE_EQ(value.value(), 0.4);
    value.setCurrentTime(50);
    EXPECT_DOUBLE_EQ(value.value(), 0.2);
    value.setCurrentTime(100);
    EXPECT_DOUBLE_EQ(value.value(), 0.0);
    EXPECT_EQ(value.state(), QAbstractAnimation::Stopped);
}

TEST(AnimatedValue, RepeatingRunJumpsBackOrReverses)
{
    AnimatedValue shimmer(-200);
    shimmer.animateTo(400, Curve::linear(1500).repeatingForever(false));
    shimmer.setCurrentTime(1500 + 750);
    EXPECT_DOUBLE_EQ(shimmer.value(), 100);
    EXPECT_EQ(shimmer.state(), QAbstractAnimation::Running);

    AnimatedValue pulse(0);
    pulse.animateTo(1, Curve::linear(100).repeatingForever(true));
    pulse.setCurrentTime(125);
    EXPECT_DOUBLE_EQ(pulse.value(), 0.75);
}

TEST(AnimatedValue, SettingOrReachingTheSameValueAnnouncesNothing)
{
    AnimatedValue value(0.5);
    QSignalSpy changes(&value, &AnimatedValue::valueChanged);
    value.animateTo(0.5, Curve::easeOut(200));
    value.setValue(0.5);
    EXPECT_EQ(changes.count(), 0);
    EXPECT_EQ(value.state(), QAbstractAnimation::Stopped);

    value.setValue(1.0);
    EXPECT_EQ(changes.count(), 1);
}

TEST(AnimatedValue, RunsOnTheEventLoopAndStops)
{
    AnimatedValue value(0.0);
    value.animateTo(1.0, Curve::spring(0.05, 1.0));
    ASSERT_TRUE(QTest::qWaitFor([&] { return value.state() == QAbstractAnimation::Stopped; }, 5000));
    EXPECT_DOUBLE_EQ(value.value(), 1.0);
}

} // namespace
