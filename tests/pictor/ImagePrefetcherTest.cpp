#include "ManagerFixture.h"

#include "pictor/retrieval/ImagePrefetcher.h"
#include "pictor/retrieval/RawImageDataProvider.h"

#include <atomic>
#include <chrono>
#include <thread>

using namespace pictor;

class ImagePrefetcherTest : public ManagerFixture {
protected:
    struct Report {
        int calls = 0;
        QList<Source> skipped, failed, completed;
    };
    // Sources of /image.png under distinct keys, with /status/404 at the given positions.
    QList<Source> sources(int count, const QList<int>& failing = {}) const
    {
        QList<Source> made;
        for (int i = 0; i < count; ++i)
            made.append(network(server.url(QString::fromUtf8(failing.contains(i) ? "/status/404" : "/image.png")), QStringLiteral("k%1").arg(i)));
        return made;
    }
    std::shared_ptr<ImagePrefetcher> prefetcher(QList<Source> list, Report& report, QList<PictorOptionsInfoItem> items = {})
    {
        items << PictorOptionsInfoItem::targetCache(cache) << PictorOptionsInfoItem::downloader(downloader);
        return ImagePrefetcher::create(std::move(list), items, {}, [&report](QList<Source> skipped, QList<Source> failed, QList<Source> completed) {
            ++report.calls;
            report.skipped = skipped;
            report.failed = failed;
            report.completed = completed;
        });
    }
    void waitForReport(const Report& report)
    {
        ASSERT_TRUE(QTest::qWaitFor([&] { return report.calls > 0; }, 10000));
        QTest::qWait(100);
        EXPECT_EQ(report.calls, 1);
    }
};

TEST_F(ImagePrefetcherTest, LoadsEverySourceAFewAtATime)
{
    Report report;
    const auto running = prefetcher(sources(12, {3, 7}), report);
    running->start();
    waitForReport(report);
    EXPECT_EQ(report.skipped.size(), 0);
    EXPECT_EQ(report.failed.size(), 2);
    EXPECT_EQ(report.completed.size(), 10);
    EXPECT_TRUE(running->finished());
    EXPECT_EQ(cache->imageCachedType(QStringLiteral("k0")), CacheType::memory);
}

TEST_F(ImagePrefetcherTest, NeverRunsMoreThanItsLimitAtOnce)
{
    std::atomic<int> running {0}, most {0};
    server.routes().Get("/held.png", [&](const httplib::Request&, httplib::Response& response) {
        const int now = ++running;
        for (int seen = most.load(); now > seen && !most.compare_exchange_weak(seen, now);) {
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        --running;
        response.set_content(ImageServer::png().toStdString(), "image/png");
    });
    QList<Source> held;
    for (int i = 0; i < 9; ++i)
        held.append(network(server.url(QStringLiteral("/held.png?%1").arg(i)), QStringLiteral("h%1").arg(i)));
    Report report;
    const auto prefetching = prefetcher(held, report);
    prefetching->setMaxConcurrentDownloads(3);
    prefetching->start();
    waitForReport(report);
    EXPECT_EQ(report.completed.size(), 9);
    EXPECT_EQ(most.load(), 3);
}

TEST_F(ImagePrefetcherTest, NullProcessorIsTheDefaultOne)
{
    Report report;
    const auto running = prefetcher(sources(2), report, {PictorOptionsInfoItem::processor(nullptr)});
    running->start();
    waitForReport(report);
    EXPECT_EQ(report.completed.size(), 2);

    PictorParsedOptionsInfo bare;
    bare.processor = nullptr;
    std::optional<ImageDownloader::ImageResult> downloaded;
    downloader->downloadImage(server.url("/image.png"), bare, [&](ImageDownloader::ImageResult result) { downloaded = std::move(result); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return downloaded.has_value(); }, 10000));
    EXPECT_TRUE(downloaded->isSuccess());
}

TEST_F(ImagePrefetcherTest, CachedSourcesAreSkippedUnlessRefreshIsForced)
{
    struct Case {
        QList<PictorOptionsInfoItem> items;
        int skipped;
        bool diskOnlyLoadedToMemory;
    };
    for (const Case& c : {Case{{}, 2, false}, Case{{PictorOptionsInfoItem::alsoPrefetchToMemory()}, 2, true},
                          Case{{PictorOptionsInfoItem::forceRefresh()}, 0, true}}) {
        // k0 in memory, k1 on disk only, k2 nowhere.
        cache->clearMemoryCache();
        cache->clearDiskCache();
        storeAndWait(picture(), QStringLiteral("k0"));
        storeAndWait(picture(), QStringLiteral("k1"));
        cache->memoryStorage()->remove(QStringLiteral("k1"));
        Report report;
        const auto running = prefetcher(sources(3), report, c.items);
        running->start();
        waitForReport(report);
        EXPECT_EQ(report.skipped.size(), c.skipped);
        EXPECT_EQ(report.completed.size(), 3 - c.skipped);
        EXPECT_EQ(cache->imageCachedType(QStringLiteral("k1")) == CacheType::memory, c.diskOnlyLoadedToMemory);
    }
}

TEST_F(ImagePrefetcherTest, NothingToDoStillReportsOnce)
{
    Report empty, none;
    prefetcher({}, empty)->start();
    waitForReport(empty);
    const auto zero = prefetcher(sources(2), none);
    zero->setMaxConcurrentDownloads(0);
    zero->start();
    waitForReport(none);
    EXPECT_EQ(none.completed.size() + none.failed.size() + none.skipped.size(), 0);
}

TEST_F(ImagePrefetcherTest, StopCancelsWhatRunsAndCountsTheRestAsFailed)
{
    QList<Source> list;
    for (int i = 0; i < 10; ++i)
        list.append(network(server.url(QStringLiteral("/slow.png")), QStringLiteral("slow%1").arg(i)));
    Report report;
    const auto running = prefetcher(list, report);
    running->setMaxConcurrentDownloads(3);
    running->start();
    QTest::qWait(100);
    running->stop();
    waitForReport(report);
    EXPECT_EQ(report.failed.size(), 10);
    EXPECT_TRUE(running->finished());
    // Neither a second stop nor a start reports again.
    running->stop();
    running->start();
    QTest::qWait(100);
    EXPECT_EQ(report.calls, 1);
    EXPECT_LE(server.hits("/slow.png"), 3);
}

TEST_F(ImagePrefetcherTest, ResourceReportsLeaveProviderSourcesOut)
{
    const QList<QUrl> urls{server.url(QStringLiteral("/image.png")), QUrl::fromLocalFile(QStringLiteral("/nonexistent/a.png"))};
    int calls = 0;
    ImagePrefetcher::ResourceList completed, failed;
    const auto running = ImagePrefetcher::create(
        urls, QList<PictorOptionsInfoItem>{PictorOptionsInfoItem::targetCache(cache), PictorOptionsInfoItem::downloader(downloader)}, {},
        [&](ImagePrefetcher::ResourceList, ImagePrefetcher::ResourceList f, ImagePrefetcher::ResourceList c) {
            ++calls;
            failed = f;
            completed = c;
        });
    running->start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return calls > 0; }, 10000));
    ASSERT_EQ(completed.size(), 1);
    EXPECT_EQ(completed.first()->downloadURL(), urls.first());
    EXPECT_TRUE(failed.isEmpty());
}
