#include "pictor/retrieval/DelayRetryStrategy.h"
#include "pictor/networking/NetworkMonitor.h"
#include "pictor/networking/NetworkMetrics.h"
#include "pictor/retrieval/NetworkRetryStrategy.h"

#include <QTest>

#include <gtest/gtest.h>

using namespace pictor;

namespace {

using Kind = RetryDecision::Kind;

PictorError responseFailure() { return PictorError::invalidHTTPStatusCode(500, QStringLiteral("500")); }

std::shared_ptr<RetryContext> contextAt(int retried, PictorError error = responseFailure())
{
    auto context = std::make_shared<RetryContext>(nullptr, std::move(error));
    context->setRetriedCount(retried);
    return context;
}

// Every decision a strategy handed back.
struct Decisions {
    QList<RetryDecision> made;
    std::function<void(RetryDecision)> handler()
    {
        return [this](RetryDecision decision) { made.append(std::move(decision)); };
    }
};

struct DelayCase {
    const char* name;
    int maxRetryCount;
    DelayRetryStrategy::Interval interval;
    int retried;
    bool responseError;
    Kind kind;
    bool answeredAtOnce;
};

class DelayRetryStrategyTest : public ::testing::TestWithParam<DelayCase> {};

TEST_P(DelayRetryStrategyTest, DecidesOnce)
{
    const DelayCase& c = GetParam();
    Decisions decisions;
    DelayRetryStrategy(c.maxRetryCount, c.interval)
        .retry(contextAt(c.retried, c.responseError ? responseFailure() : PictorError::taskCancelled(QStringLiteral("t"), 0)),
               decisions.handler());
    EXPECT_EQ(decisions.made.size(), c.answeredAtOnce ? 1 : 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return decisions.made.size() == 1; }, 5000));
    QTest::qWait(50);
    ASSERT_EQ(decisions.made.size(), 1);
    EXPECT_EQ(decisions.made[0].kind, c.kind);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DelayRetryStrategyTest,
    ::testing::Values(DelayCase{"FirstFailure", 3, DelayRetryStrategy::Seconds{0.05}, 0, true, Kind::retry, false},
                      DelayCase{"LastRetry", 3, DelayRetryStrategy::Seconds{0.05}, 2, true, Kind::retry, false},
                      DelayCase{"Exhausted", 3, DelayRetryStrategy::Seconds{0.05}, 3, true, Kind::stop, true},
                      DelayCase{"NeverRetries", 0, DelayRetryStrategy::Seconds{0}, 0, true, Kind::stop, true},
                      DelayCase{"ZeroDelayAtOnce", 3, DelayRetryStrategy::Accumulated{0}, 1, true, Kind::retry, true},
                      DelayCase{"NegativeDelay", 3, DelayRetryStrategy::Seconds{-1}, 0, true, Kind::retry, false},
                      DelayCase{"Cancelled", 3, DelayRetryStrategy::Seconds{0}, 0, false, Kind::stop, true}),
    [](const auto& param) { return std::string(param.param.name); });

struct DelayLengthCase {
    const char* name;
    DelayRetryStrategy::Interval interval;
    QList<double> delays;  // before the first, second and third retry
};

class DelayRetryLengthTest : public ::testing::TestWithParam<DelayLengthCase> {};

TEST_P(DelayRetryLengthTest, WaitsTheIntervalOfEachRetry)
{
    const DelayRetryStrategy strategy(5, GetParam().interval);
    for (int retried = 0; retried < GetParam().delays.size(); ++retried)
        EXPECT_DOUBLE_EQ(strategy.delayBefore(retried), GetParam().delays[retried]) << "after " << retried << " retries";
}

INSTANTIATE_TEST_SUITE_P(
    Intervals, DelayRetryLengthTest,
    ::testing::Values(DelayLengthCase{"Fixed", DelayRetryStrategy::Seconds{1.5}, {1.5, 1.5, 1.5}},
                      DelayLengthCase{"Accumulated", DelayRetryStrategy::Accumulated{0.25}, {0.25, 0.5, 0.75}},
                      DelayLengthCase{"Custom", DelayRetryStrategy::Custom([](int retried) { return retried * 10.0 + 1; }), {1, 11, 21}}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(DelayRetryStrategy, CustomIntervalIsAskedWithTheRetriedCount)
{
    QList<int> asked;
    DelayRetryStrategy strategy(5, DelayRetryStrategy::Custom([&](int retried) {
                                    asked.append(retried);
                                    return 0.0;
                                }));
    Decisions decisions;
    for (int retried = 0; retried < 3; ++retried)
        strategy.retry(contextAt(retried), decisions.handler());
    EXPECT_EQ(asked, QList<int>({0, 1, 2}));
    EXPECT_EQ(decisions.made.size(), 3);
}

// A network whose reachability the test sets.
struct FakeNetwork {
    bool connected = false;
    std::shared_ptr<NetworkMonitor> monitor = NetworkMonitor::create([this] { return connected; }, [](auto) {});
};

TEST(NetworkRetryStrategy, RetriesWhileConnectedAndStopsAfterTheMaximum)
{
    FakeNetwork network;
    network.connected = true;
    NetworkRetryStrategy strategy(std::nullopt, 2, network.monitor);
    Decisions decisions;
    for (int retried = 0; retried < 3; ++retried)
        strategy.retry(contextAt(retried), decisions.handler());
    strategy.retry(contextAt(0, PictorError::emptyRequest()), decisions.handler());
    ASSERT_EQ(decisions.made.size(), 4);
    EXPECT_EQ(decisions.made[0].kind, Kind::retry);
    EXPECT_EQ(decisions.made[1].kind, Kind::retry);
    EXPECT_EQ(decisions.made[2].kind, Kind::stop);
    EXPECT_EQ(decisions.made[3].kind, Kind::stop);
}

struct WaitCase {
    const char* name;
    std::optional<double> timeout;
    bool networkBack;
    Kind kind;
};

class NetworkRetryWaitTest : public ::testing::TestWithParam<WaitCase> {};

TEST_P(NetworkRetryWaitTest, WaitsForTheNetworkAndDecidesOnce)
{
    FakeNetwork network;
    NetworkRetryStrategy strategy(GetParam().timeout, 5, network.monitor);
    auto context = contextAt(0);
    Decisions decisions;
    strategy.retry(context, decisions.handler());
    EXPECT_TRUE(decisions.made.isEmpty());
    EXPECT_EQ(network.monitor->waitingCount(), 1);
    if (GetParam().networkBack) {
        network.connected = true;
        network.monitor->pathDidUpdate(false);
        QTest::qWait(20);
        EXPECT_TRUE(decisions.made.isEmpty());
        network.monitor->pathDidUpdate(true);
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return !decisions.made.isEmpty(); }, 5000));
    // A time-out that fires after the network came back reports nothing more.
    QTest::qWait(GetParam().timeout ? int(*GetParam().timeout * 1000) + 100 : 50);
    ASSERT_EQ(decisions.made.size(), 1);
    EXPECT_EQ(decisions.made[0].kind, GetParam().kind);
    EXPECT_EQ(network.monitor->waitingCount(), 0);
    if (GetParam().kind == Kind::retry) {
        EXPECT_TRUE(std::any_cast<std::shared_ptr<NetworkObserver>>(&decisions.made[0].userInfo));
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, NetworkRetryWaitTest,
                         ::testing::Values(WaitCase{"NetworkBack", 0.3, true, Kind::retry},
                                           WaitCase{"NetworkBackWithoutTimeout", std::nullopt, true, Kind::retry},
                                           WaitCase{"TimedOut", 0.1, false, Kind::stop}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(NetworkRetryStrategy, ANewConsultationCancelsTheEarlierWait)
{
    FakeNetwork network;
    NetworkRetryStrategy strategy(0.2, 5, network.monitor);
    auto context = contextAt(0);
    Decisions first;
    strategy.retry(context, first.handler());
    network.connected = true;
    Decisions second;
    strategy.retry(context, second.handler());
    QTest::qWait(400);
    EXPECT_TRUE(first.made.isEmpty());
    EXPECT_EQ(second.made.size(), 1);
    EXPECT_EQ(network.monitor->waitingCount(), 0);
}

TEST(NetworkMetrics, SpeedNeedsBytesAndADuration)
{
    struct Case {
        qint64 bytes;
        std::optional<qint64> endNs;
        std::optional<double> mbps;
    };
    for (const Case& c : {Case{2097152, 2'000'000'000, 1.0}, Case{0, 2'000'000'000, std::nullopt}, Case{100, std::nullopt, std::nullopt},
                          Case{100, 0, std::nullopt}}) {
        NetworkMetrics::RequestTimes request;
        request.responseBodyBytesReceived = c.bytes;
        request.responseEndNs = c.endNs;
        request.statusCode = 200;
        EXPECT_EQ(NetworkMetrics::build({0, 0, {request}, 0})->downloadSpeedMBps(), c.mbps);
    }
    NetworkMetrics::RequestTimes notFound;
    notFound.statusCode = 404;
    EXPECT_FALSE(NetworkMetrics::build({0, 0, {notFound}, 0}));
}

} // namespace
