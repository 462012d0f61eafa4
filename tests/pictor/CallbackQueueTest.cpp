#include "pictor/core/CallbackQueue.h"
#include "pictor/core/Delegate.h"

#include "support/TaskWait.h"

#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace pictor;

namespace {

// Where and when a job ran, asked from the GUI thread or from another thread.
struct JobRun {
    bool beforeReturn = false;
    bool onMainThread = false;
    bool ran = false;
};

JobRun runOn(const CallbackQueue& queue, bool fromOtherThread)
{
    auto run = std::make_shared<JobRun>();
    auto returned = std::make_shared<std::atomic<bool>>(false);
    auto done = std::make_shared<std::atomic<bool>>(false);
    const auto submit = [=] {
        queue.execute([=] {
            run->beforeReturn = !*returned;
            run->onMainThread = QThread::currentThread() == qApp->thread();
            run->ran = true;
            *done = true;
        });
        *returned = true;
    };
    if (fromOtherThread)
        std::thread(submit).join();
    else
        submit();
    EXPECT_TRUE(QTest::qWaitFor([&] { return done->load(); }));
    return *run;
}

TEST(CallbackQueueTest, EachKindRunsWhereItSays)
{
    const CallbackQueue dispatch = CallbackQueue::dispatch(DispatchQueue::create(QStringLiteral("com.quillmoth.Pictor.Test")));
    struct Case {
        const char* name;
        CallbackQueue queue;
        bool fromOtherThread;
        bool beforeReturn, onMainThread;
    };
    const Case cases[] = {
        {"main async from main", CallbackQueue::mainAsync(), false, false, true},
        {"main current from main", CallbackQueue::mainCurrentOrAsync(), false, true, true},
        {"main current from other", CallbackQueue::mainCurrentOrAsync(), true, false, true},
        {"untouch from other", CallbackQueue::untouch(), true, true, false},
        {"dispatch from main", dispatch, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const JobRun run = runOn(c.queue, c.fromOtherThread);
        ASSERT_TRUE(run.ran);
        EXPECT_EQ(run.onMainThread, c.onMainThread);
        if (c.queue.kind() != CallbackQueue::Kind::dispatch) {
            EXPECT_EQ(run.beforeReturn, c.beforeReturn);
        }
    }
}

TEST(CallbackQueueTest, DispatchQueueRunsJobsInOrderOneAtATime)
{
    auto queue = DispatchQueue::create(QStringLiteral("serial"));
    std::vector<int> order;
    std::atomic<int> running = 0, overlap = 0;
    for (int i = 0; i < 50; ++i) {
        queue->async([&, i] {
            if (++running > 1)
                ++overlap;
            order.push_back(i);
            --running;
        });
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return order.size() == 50; }));
    EXPECT_EQ(overlap, 0);
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
}

struct Owner {
    int base = 10;
};

TEST(DelegateTest, AnswersNothingUnboundOrWhenTheTargetIsGone)
{
    Delegate<int(int)> delegate;
    EXPECT_FALSE(delegate.isSet());
    EXPECT_FALSE(delegate(1));
    EXPECT_FALSE(waitForTask(delegate.callAsync(1)));

    auto owner = std::make_shared<Owner>();
    delegate.delegate<Owner>(owner, [](Owner& self, int input) { return self.base + input; });
    EXPECT_EQ(delegate(1), 11);
    EXPECT_FALSE(waitForTask(delegate.callAsync(1))) << "the asynchronous call never falls back";
    owner.reset();
    EXPECT_FALSE(delegate(1));
    EXPECT_TRUE(delegate.isSet());

    Delegate<int(int)> emptyBlock;
    auto other = std::make_shared<Owner>();
    emptyBlock.delegate<Owner>(other, {});
    EXPECT_FALSE(emptyBlock(3));
}

TEST(DelegateTest, AsyncBlockAndOptionalOutputs)
{
    auto owner = std::make_shared<Owner>();
    Delegate<int(int)> async;
    async.delegateAsync<Owner>(owner, [](Owner& self, int input) -> QCoro::Task<int> { co_return self.base * input; });
    EXPECT_TRUE(async.isSet());
    EXPECT_FALSE(async(2));
    EXPECT_EQ(waitForTask(async.callAsync(2)), 20);

    // An optional output is answered flat: a block's nil and an unbound delegate read the same.
    Delegate<std::optional<QString>()> optional;
    static_assert(std::is_same_v<decltype(optional()), std::optional<QString>>);
    EXPECT_EQ(optional(), std::nullopt);
    optional.delegate<Owner>(owner, [](Owner&) { return std::optional<QString>(); });
    EXPECT_EQ(optional(), std::nullopt);
    optional.delegate<Owner>(owner, [](Owner&) { return std::optional<QString>(QStringLiteral("x")); });
    EXPECT_EQ(optional(), QStringLiteral("x"));
}

} // namespace
