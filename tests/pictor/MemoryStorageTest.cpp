#include "CacheTestSupport.h"

#include "pictor/core/Image.h"
#include "pictor/cache/ImageCost.h"
#include "pictor/cache/MemoryStorage.h"

#include <QCoreApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <thread>

using namespace pictor;

namespace {

struct Weighted {
    int id = 0;
    int64_t cost = 1;
};
int64_t cacheCost(const Weighted& value) { return value.cost; }

class MemoryStorageTest : public ::testing::Test {
protected:
    std::shared_ptr<MemoryStorage<Weighted>> make(int64_t costLimit = 0, int64_t countLimit = 0, double interval = 3600)
    {
        MemoryStorageConfig config(costLimit, interval);
        config.countLimit = countLimit;
        config.clock = clock.clock();
        return MemoryStorage<Weighted>::create(config);
    }
    ManualClock clock;
};

TEST_F(MemoryStorageTest, DefaultExpirationServesFor300SecondsAfterLastRead)
{
    auto storage = make();
    storage->store({1}, "k");
    clock.advance(299);
    ASSERT_TRUE(storage->value("k", ExpirationExtending::cacheTime()));
    clock.advance(299);
    EXPECT_TRUE(storage->isCached("k"));
    clock.advance(1);
    EXPECT_FALSE(storage->value("k", ExpirationExtending::cacheTime()));
    EXPECT_EQ(storage->count(), 1) << "an expired entry stays until the sweep";
    storage->removeExpired();
    EXPECT_EQ(storage->count(), 0);
}

TEST_F(MemoryStorageTest, RefusedStoresKeepTheOlderEntry)
{
    auto storage = make(100);
    storage->store({1, 10}, "k");
    for (const StorageExpiration& policy : {StorageExpiration::expired(), StorageExpiration::seconds(0), StorageExpiration::date(clock.now().addSecs(-1))}) {
        storage->store({2}, "k", policy);
        ASSERT_EQ(storage->value("k", ExpirationExtending::none())->id, 1);
    }
    // A value above the whole cost limit is not kept, and takes nothing away either.
    storage->store({3, 500}, "k");
    ASSERT_TRUE(storage->value("k", ExpirationExtending::none()));
    EXPECT_EQ(storage->value("k", ExpirationExtending::none())->id, 1);
    EXPECT_EQ(storage->totalCost(), 10);
}

struct EvictionCase {
    const char* name;
    int64_t costLimit;
    int64_t countLimit;
    std::vector<int64_t> costs;
    // Entry read between the stores of entries 2 and 3 (-1: none): it becomes the most recent,
    // unless it was only checked for.
    int readBeforeLast;
    std::vector<int> survivors;
    bool onlyChecked = false;
};

class MemoryStorageEviction : public MemoryStorageTest, public ::testing::WithParamInterface<EvictionCase> {};

TEST_P(MemoryStorageEviction, LeastRecentlyUsedGoesFirst)
{
    const EvictionCase& c = GetParam();
    auto storage = make(c.costLimit, c.countLimit);
    for (int i = 0; i < int(c.costs.size()); ++i) {
        if (i == int(c.costs.size()) - 1 && c.readBeforeLast >= 0) {
            if (c.onlyChecked)
                ASSERT_TRUE(storage->isCached(QString::number(c.readBeforeLast)));
            else
                storage->value(QString::number(c.readBeforeLast), ExpirationExtending::none());
        }
        storage->store({i, c.costs[i]}, QString::number(i));
    }
    std::vector<int> survivors;
    for (int i = 0; i < int(c.costs.size()); ++i) {
        if (storage->isCached(QString::number(i)))
            survivors.push_back(i);
    }
    EXPECT_EQ(survivors, c.survivors);
    int64_t expectedCost = 0;
    for (const int i : survivors)
        expectedCost += c.costs[i];
    EXPECT_EQ(storage->totalCost(), expectedCost);
}

INSTANTIATE_TEST_SUITE_P(
    Limits, MemoryStorageEviction,
    ::testing::Values(EvictionCase {"costLimit", 100, 0, {40, 40, 40}, -1, {1, 2}},
                      EvictionCase {"readEntryIsKept", 100, 0, {40, 40, 40}, 0, {0, 2}},
                      EvictionCase {"checkedEntryKeepsItsPlace", 100, 0, {40, 40, 40}, 0, {1, 2}, true},
                      EvictionCase {"countLimit", 0, 2, {1, 1, 1}, -1, {1, 2}},
                      EvictionCase {"aloneAboveTheLimitIsNotKept", 100, 0, {10, 10, 500}, -1, {0, 1}},
                      EvictionCase {"noLimits", 0, 0, {1000, 1000, 1000}, -1, {0, 1, 2}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(MemoryStorageTest, NewLimitsApplyAtOnce)
{
    auto storage = make();
    for (int i = 0; i < 5; ++i)
        storage->store({i, 10}, QString::number(i));
    MemoryStorageConfig config = storage->config();
    config.totalCostLimit = 25;
    storage->setConfig(config);
    EXPECT_EQ(storage->count(), 2);
    EXPECT_TRUE(storage->isCached("4"));
}

TEST_F(MemoryStorageTest, BackgroundKeepingEntriesDropTheirContentOnEvictionOnlyWhenNotAccessed)
{
    MemoryStorageConfig config(10, 3600);
    config.keepWhenEnteringBackground = true;
    config.clock = clock.clock();
    auto storage = MemoryStorage<Weighted>::create(config);
    storage->store({1, 10}, "a");
    storage->store({2, 10}, "b");
    auto kept = std::dynamic_pointer_cast<BackgroundKeepingStorageObject<Weighted>>(storage->object("b"));
    ASSERT_TRUE(kept);
    kept->endContentAccess();
    storage->store({3, 10}, "c");
    EXPECT_TRUE(kept->isContentDiscarded());
    EXPECT_FALSE(kept->beginContentAccess());
    auto accessed = std::dynamic_pointer_cast<BackgroundKeepingStorageObject<Weighted>>(storage->object("c"));
    ASSERT_TRUE(accessed->beginContentAccess());
    storage->store({4, 10}, "d");
    EXPECT_FALSE(accessed->isContentDiscarded()) << "a reader still holds it";
}

TEST_F(MemoryStorageTest, TimerSweepsExpiredEntriesAndDoesNotKeepTheStorageAlive)
{
    auto storage = make(0, 0, 0.01);
    storage->store({1}, "k", StorageExpiration::seconds(1));
    clock.advance(2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return storage->count() == 0; }, 2000));

    std::weak_ptr<MemoryStorage<Weighted>> weak = storage;
    storage.reset();
    EXPECT_TRUE(weak.expired());
    QTest::qWait(30); // ticks after the storage went must do nothing
}

TEST_F(MemoryStorageTest, ConcurrentStoresReadsAndSweepsKeepTheTotalsRight)
{
    auto storage = make(5000);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 2000; ++i) {
                const QString key = QString::number((i * 7 + t) % 300);
                storage->store({i, 10}, key);
                storage->value(key, ExpirationExtending::cacheTime());
                if (i % 100 == 0)
                    storage->removeExpired();
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_LE(storage->totalCost(), 5000);
    EXPECT_EQ(storage->totalCost(), storage->count() * 10);
}

TEST(ImageCost, PixelsTimesBytesPerPixelTimesFrames)
{
    EXPECT_EQ(cacheCost(Image(QImage(100, 50, QImage::Format_ARGB32))), 20000);
    EXPECT_EQ(cacheCost(Image(QImage(100, 50, QImage::Format_Grayscale8))), 5000);
    EXPECT_EQ(cacheCost(Image(QImage(), QSizeF(100, 50))), 20000) << "no bitmap counts 4 bytes a pixel";
    EXPECT_EQ(cacheCost(Image(QImage(), QSizeF(1e300, 1e300))), std::numeric_limits<int64_t>::max());
    EXPECT_EQ(cacheCost(Image(QImage(), QSizeF(-5, 10))), 0);
    Image animated(QImage(10, 10, QImage::Format_ARGB32));
    const Image frame(QImage(10, 10, QImage::Format_ARGB32));
    animated.setAnimationFrames(QList<Image> {frame, frame, frame});
    EXPECT_EQ(cacheCost(animated), 1200);
}

} // namespace
