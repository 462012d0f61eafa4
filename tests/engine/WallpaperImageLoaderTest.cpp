#include "support/TaskWait.h"
#include "engine/WallpaperImageCache.h"
#include "engine/ManualDelays.h"
#include "engine/WallpaperImageLoader.h"
#include "foundation/Config.h"
#include "foundation/Log.h"
#include "foundation/Shared.h"
#include "support/Eventually.h"
#include "support/TempFolder.h"
#include "platform/Http.h"
#include "support/TestHttpsServer.h"

#include <QBuffer>
#include <QCoro/QCoroTask>
#include <QImageWriter>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

QByteArray pngOf(QColor colour)
{
    QImage image(40, 20, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "png").write(image);
    return bytes;
}

// A loopback server with a good image, a flaky one, an error page and one that never answers;
// loaders retry after 1, 2, 4, 5, 5... milliseconds instead of seconds.
class WallpaperImageLoaderTest : public ::testing::Test {
protected:
    WallpaperImageLoaderTest()
    {
        config_.caCertificateFile = TestHttpsServer::certificateFile();
        auto& routes = server_.routes();
        routes.Get("/red/poster.png", [this](const httplib::Request&, httplib::Response& res) {
            ++requests_;
            res.set_content(red_.constData(), size_t(red_.size()), "image/png");
        });
        routes.Get("/blue/poster.png", [this](const httplib::Request&, httplib::Response& res) {
            res.set_content(blue_.constData(), size_t(blue_.size()), "image/png");
        });
        routes.Get("/slow/poster.png", [this](const httplib::Request&, httplib::Response& res) {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            res.set_content(red_.constData(), size_t(red_.size()), "image/png");
        });
        // The first two replies are cut short: the connection drops after half the image.
        routes.Get("/flaky/poster.png", [this](const httplib::Request&, httplib::Response& res) {
            if (++requests_ > 2) {
                res.set_content(red_.constData(), size_t(red_.size()), "image/png");
                return;
            }
            res.set_content_provider(size_t(red_.size()), "image/png", [this](size_t offset, size_t, httplib::DataSink& sink) {
                if (offset > 0)
                    return false;
                sink.write(red_.constData(), size_t(red_.size() / 2));
                return true;
            });
        });
        routes.Get("/missing/poster.png", [this](const httplib::Request&, httplib::Response& res) {
            ++requests_;
            res.status = 404;
            res.set_content("<html>Not found</html>", "text/html");
        });
        routes.Get("/page/poster.png", [this](const httplib::Request&, httplib::Response& res) {
            ++pageRequests_;
            res.set_content("<html>Maintenance</html>", "text/html");
        });
        routes.Get("/silent/poster.png", [this](const httplib::Request&, httplib::Response& res) {
            ++requests_;
            server_.waitForShutdown(30'000);
            res.set_content(blue_.constData(), size_t(blue_.size()), "image/png");
        });
        // No length and no end, until the client leaves (or 1 GiB went out).
        routes.Get("/endless/poster.png", [this](const httplib::Request&, httplib::Response& res) {
            res.set_chunked_content_provider("image/png", [this](size_t offset, httplib::DataSink& sink) {
                const std::string block(64 << 10, 'p');
                endlessSent_ += block.size();
                return offset < (size_t(1) << 30) && sink.write(block.data(), block.size());
            });
        });
        server_.start();
    }

    QUrl url(const char* path) const { return server_.url(QString::fromLatin1(path)); }
    std::unique_ptr<WallpaperImageLoader> makeLoader()
    {
        return std::make_unique<WallpaperImageLoader>(cache_, WallpaperImageLoader::RetryPolicy{10, 1, 5});
    }

    TempFolder temp_;
    Config config_;
    Shared<Config>::Override configGuard_{config_};
    WallpaperImageCache cache_;
    const QByteArray red_ = pngOf(Qt::red);
    const QByteArray blue_ = pngOf(Qt::blue);
    std::atomic<int> requests_ = 0;
    std::atomic<int> pageRequests_ = 0;
    std::atomic<size_t> endlessSent_ = 0;
    TestHttpsServer server_;
};

TEST_F(WallpaperImageLoaderTest, AnImageIsFetchedOncePublishedAndCached)
{
    auto loader = makeLoader();
    QSignalSpy published(loader.get(), &WallpaperImageLoader::imageChanged);
    LogCapture log;
    loader->setUrl(url("/red/poster.png"));
    ASSERT_TRUE(published.wait(10'000));
    EXPECT_EQ(loader->image().pixelColor(0, 0), QColor(Qt::red));
    EXPECT_FALSE(cache_.image(url("/red/poster.png")).isNull());
    EXPECT_TRUE(log.lines().isEmpty()); // success on the first attempt says nothing

    // Another view of the same picture is answered by the cache, without a request.
    auto second = makeLoader();
    second->setUrl(url("/red/poster.png"));
    EXPECT_FALSE(second->image().isNull());
    EXPECT_EQ(requests_, 1);
}

TEST_F(WallpaperImageLoaderTest, FailedFetchesAreRetriedAndTheSuccessNamesItsAttempt)
{
    auto loader = makeLoader();
    LogCapture log;
    waitForTask(loader->load(url("/flaky/poster.png"), {}));
    EXPECT_EQ(requests_, 3);
    EXPECT_EQ(loader->image().pixelColor(0, 0), QColor(Qt::red));
    ASSERT_EQ(log.lines().size(), 2);
    EXPECT_TRUE(log.lines()[0].startsWith(QStringLiteral("⏳ Image load failed (attempt 1/10): poster.png - ")));
    EXPECT_EQ(log.lines()[1], QStringLiteral("✅ Image loaded successfully on attempt 3: poster.png"));
}

TEST_F(WallpaperImageLoaderTest, AnUnreachableServerGetsTenAttemptsAndTwoLogLines)
{
    auto loader = makeLoader();
    LogCapture log;
    // Nothing listens on port 1 of the loopback interface.
    waitForTask(loader->load(QUrl(QStringLiteral("https://127.0.0.1:1/wallpaper/9/poster.webp")), {}));
    EXPECT_TRUE(loader->image().isNull());
    ASSERT_EQ(log.lines().size(), 2);
    EXPECT_TRUE(log.lines()[0].startsWith(QStringLiteral("⏳ Image load failed (attempt 1/10): poster.webp - ")));
    EXPECT_EQ(log.lines()[1], QStringLiteral("❌ Image load failed after 10 attempts: poster.webp"));
}

// Each attempt at a picture without end stops at the bound on a reply.
TEST_F(WallpaperImageLoaderTest, AReplyWithoutEndIsAFailedAttempt)
{
    WallpaperImageLoader loader(cache_, WallpaperImageLoader::RetryPolicy{2, 1, 5});
    LogCapture log;
    waitForTask(loader.load(url("/endless/poster.png"), {}));
    EXPECT_TRUE(loader.image().isNull());
    EXPECT_EQ(log.lines(),
        (QStringList{QStringLiteral("⏳ Image load failed (attempt 1/2): poster.png - The reply is longer than the 32 MiB allowed."),
            QStringLiteral("❌ Image load failed after 2 attempts: poster.png")}));
    EXPECT_LT(endlessSent_, size_t(2 * 3 * Http::kDefaultMaxBodyBytes)) << "each attempt ended soon after the bound";
}

TEST_F(WallpaperImageLoaderTest, RepliesWithoutAnImageUseUpTheAttempts)
{
    struct Case {
        const char* path;
        std::atomic<int>& requests;
        QStringList log; // an error status pauses and logs like a lost connection; a page that is no image does neither
    };
    const Case cases[] = {
        {"/page/poster.png", pageRequests_, {}},
        {"/missing/poster.png", requests_,
            {QStringLiteral("⏳ Image load failed (attempt 1/10): poster.png - The server answered with status 404"),
                QStringLiteral("❌ Image load failed after 10 attempts: poster.png")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        auto loader = makeLoader();
        LogCapture log;
        loader->setUrl(url(c.path));
        ASSERT_TRUE(QTest::qWaitFor([&] { return loader->hasGivenUp(); }, 10'000));
        EXPECT_EQ(c.requests, 10);
        EXPECT_TRUE(loader->image().isNull());
        EXPECT_EQ(log.lines(), c.log);

        // Its view coming back on screen tries again.
        loader->retryIfGivenUp();
        EXPECT_FALSE(loader->hasGivenUp());
        ASSERT_TRUE(QTest::qWaitFor([&] { return c.requests > 10; }, 10'000));
        loader->setUrl(QUrl()); // stops the retry
    }
}

TEST_F(WallpaperImageLoaderTest, AStoredFileIsShownWithoutARequest)
{
    WallpaperImageCache earlierRun(cache_.baseDirectory());
    earlierRun.store(QImage::fromData(red_), url("/red/poster.png"));
    earlierRun.waitForDiskWrites();

    auto loader = makeLoader();
    QSignalSpy published(loader.get(), &WallpaperImageLoader::imageChanged);
    loader->setUrl(url("/red/poster.png"));
    // A quick worker may have read the file before setUrl() returned.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !published.isEmpty(); }, 10'000));
    EXPECT_EQ(loader->imageUrl(), url("/red/poster.png"));
    EXPECT_EQ(requests_, 0);
}

TEST_F(WallpaperImageLoaderTest, ANewAddressCancelsTheRunningLoadWhichNeverPublishes)
{
    auto loader = makeLoader();
    QSignalSpy published(loader.get(), &WallpaperImageLoader::imageChanged);
    loader->setUrl(url("/silent/poster.png"));
    loader->setUrl(url("/blue/poster.png"));
    ASSERT_TRUE(published.wait(10'000));
    EXPECT_EQ(loader->image().pixelColor(0, 0), QColor(Qt::blue));

    // Clearing the address shows nothing again.
    loader->setUrl(QUrl());
    EXPECT_TRUE(loader->image().isNull());
    EXPECT_EQ(published.size(), 2);
}

TEST_F(WallpaperImageLoaderTest, TheRetryPausesDoubleFromOneSecondUpToFive)
{
    ManualDelays delays;
    WallpaperImageLoader loader(cache_, WallpaperImageLoader::RetryPolicy{.sleep = delays.delays().sleep});
    loader.setUrl(url("/missing/poster.png"));
    ASSERT_EVENTUALLY(loader.hasGivenUp(), 10'000);
    EXPECT_EQ(requests_, 10);
    EXPECT_EQ(delays.sleeps(), (QList<int>{1000, 2000, 4000, 5000, 5000, 5000, 5000, 5000, 5000}));
}

TEST_F(WallpaperImageLoaderTest, ACacheThatGoesDuringALoadIsLeftAlone)
{
    auto cache = std::make_unique<WallpaperImageCache>(temp_.file(QStringLiteral("short-lived")));
    WallpaperImageLoader loader(*cache, WallpaperImageLoader::RetryPolicy{10, 1, 5});
    QSignalSpy published(&loader, &WallpaperImageLoader::imageChanged);
    loader.setUrl(url("/slow/poster.png"));
    cache.reset(); // while the reply is on its way
    ASSERT_TRUE(published.wait(10'000));
    EXPECT_EQ(loader.image().pixelColor(0, 0), QColor(Qt::red));

    // Later addresses still load, without a cache.
    loader.setUrl(url("/blue/poster.png"));
    ASSERT_TRUE(published.wait(10'000));
    EXPECT_EQ(loader.image().pixelColor(0, 0), QColor(Qt::blue));
}

TEST_F(WallpaperImageLoaderTest, ALoaderThatGoesStopsRetrying)
{
    auto loader = std::make_unique<WallpaperImageLoader>(cache_, WallpaperImageLoader::RetryPolicy{10, 200, 200});
    loader->setUrl(url("/missing/poster.png"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return requests_ == 1; }, 10'000));
    loader.reset(); // during its pause before the second attempt
    QTest::qWait(600);
    EXPECT_EQ(requests_, 1);
}

// The quit's last turns of the event loop end every load, whether its loader is still there or
// not, where it would otherwise wait for long: for a reply that does not come, or out a pause.
TEST_F(WallpaperImageLoaderTest, EndingTheLoadsStopsThoseWaitingForAReplyOrAPause)
{
    struct Case {
        const char* what;
        const char* path;
        bool loaderGoes;
    };
    const Case cases[] = {
        {"waiting for a reply", "/silent/poster.png", false},
        {"waiting for a reply, its loader gone", "/silent/poster.png", true},
        {"in the pause after a failed attempt", "/missing/poster.png", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        requests_ = 0;
        LogCapture log;
        // Pauses of a minute, waited out for real.
        auto loader = std::make_unique<WallpaperImageLoader>(cache_, WallpaperImageLoader::RetryPolicy{10, 60'000, 60'000});
        loader->setUrl(url(c.path));
        ASSERT_EVENTUALLY(requests_ == 1, 10'000);
        if (QLatin1String(c.path).startsWith(QLatin1String("/missing"))) {
            ASSERT_EVENTUALLY(log.contains(QStringLiteral("⏳ Image load failed (attempt 1/10)")), 10'000);
        }
        if (c.loaderGoes)
            loader.reset();
        EXPECT_TRUE(WallpaperImageLoader::endLoads(10'000));
        EXPECT_EQ(requests_, 1);
        if (loader) {
            EXPECT_TRUE(loader->image().isNull());
        }
    }
}

} // namespace
