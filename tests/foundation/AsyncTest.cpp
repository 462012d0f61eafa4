#include "foundation/Async.h"
#include "foundation/Log.h"
#include "foundation/SerialQueue.h"
#include "foundation/Shared.h"

#include <QCoreApplication>
#include <QCoro/QCoroFuture>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

namespace {

QCoro::Task<bool> sleepThenReport(int ms, std::stop_token token) { co_return co_await sleepFor(ms, token); }

TEST(AsyncTest, PostToMainRunsLaterInOrder)
{
    QStringList order;
    postToMain([&] { order << QStringLiteral("first"); });
    postToMain([&] { order << QStringLiteral("second"); });
    order << QStringLiteral("caller");
    QCoreApplication::processEvents();
    EXPECT_EQ(order, (QStringList{QStringLiteral("caller"), QStringLiteral("first"), QStringLiteral("second")}));
}

TEST(AsyncTest, SleepEndsEarlyWhenStopped)
{
    std::stop_source source;
    QElapsedTimer elapsed;
    elapsed.start();
    auto task = sleepThenReport(10'000, source.get_token());
    // A stop from another thread must end the wait on the GUI thread.
    std::thread([&source] { source.request_stop(); }).join();
    EXPECT_FALSE(QCoro::waitFor(task));
    EXPECT_LT(elapsed.elapsed(), 5'000);

    EXPECT_TRUE(QCoro::waitFor(sleepThenReport(5, {})));
}

TEST(AsyncTest, FireAndForgetLogsInsteadOfThrowing)
{
    LogCapture capture;
    fireAndForget([]() -> QCoro::Task<> {
        co_await sleepFor(1);
        throw std::runtime_error("disk on fire");
    }(), QStringLiteral("Worker"));
    QCoro::waitFor(sleepFor(20));
    EXPECT_TRUE(capture.contains(QStringLiteral("❌ [Worker] Unhandled error: disk on fire")));
}

TEST(AsyncTest, LaunchStartsOnTheNextTurn)
{
    bool started = false;
    launch([&]() -> QCoro::Task<> {
        started = true;
        co_return;
    });
    EXPECT_FALSE(started);
    QCoreApplication::processEvents();
    EXPECT_TRUE(started);
}

TEST(AsyncTest, SerialQueueKeepsSubmissionOrder)
{
    SerialQueue queue(QStringLiteral("test"));
    std::vector<int> seen;
    for (int i = 0; i < 50; ++i)
        queue.run([&seen, i] { seen.push_back(i); });
    queue.drain();
    ASSERT_EQ(seen.size(), 50u);
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(seen[static_cast<size_t>(i)], i);
}

struct Counter {
    int value = 0;
};

TEST(AsyncTest, SharedOverrideRestoresThePreviousInstance)
{
    Shared<Counter>::instance().value = 7;
    {
        Counter replacement;
        Shared<Counter>::Override guard(replacement);
        EXPECT_EQ(Shared<Counter>::instance().value, 0);
        Shared<Counter>::instance().value = 3;
        EXPECT_EQ(replacement.value, 3);
    }
    EXPECT_EQ(Shared<Counter>::instance().value, 7);
}

} // namespace
