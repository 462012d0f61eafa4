#include "ManagerFixture.h"
#include "support/TaskWait.h"

#include "pictor/networking/ImageLoadingProgressSideEffect.h"

#include <QTimer>

#include <system_error>

using namespace pictor;

class PictorManagerAsyncTest : public ManagerFixture {};

TEST_F(PictorManagerAsyncTest, StoppedBeforeStartingTouchesNothing)
{
    std::stop_source stop;
    stop.request_stop();
    EXPECT_THROW(waitForTask(manager->retrieveImageAsync(network(server.url(QStringLiteral("/image.png"))), std::nullopt, {}, stop.get_token())),
                 std::system_error);
    EXPECT_EQ(server.hits("/image.png"), 0);
}

TEST_F(PictorManagerAsyncTest, DownloadsThenHitsMemoryAndReportsProgress)
{
    const Source source = network(server.url(QStringLiteral("/image.png")));
    qint64 received = 0;
    const RetrieveImageResult loaded
        = waitForTask(manager->retrieveImageAsync(source, std::nullopt, [&](qint64 bytes, qint64) { received = bytes; }));
    EXPECT_EQ(loaded.cacheType, CacheType::none);
    EXPECT_EQ(received, ImageServer::png().size());
    // A stop while the cache is read changes nothing.
    std::stop_source stop;
    QObject guard;
    QTimer::singleShot(0, &guard, [&] { stop.request_stop(); });
    EXPECT_EQ(waitForTask(manager->retrieveImageAsync(source, std::nullopt, {}, stop.get_token())).cacheType, CacheType::memory);
}

TEST_F(PictorManagerAsyncTest, AReferenceCheckThatSaysNoSilencesTheDataEffects)
{
    PictorParsedOptionsInfo options = manager->parsedOptions(std::nullopt);
    bool progressed = false;
    options.onDataReceived = QList<std::shared_ptr<DataReceivingSideEffect>>{
        std::make_shared<ImageLoadingProgressSideEffect>([&](qint64, qint64) { progressed = true; })};
    const RetrieveImageResult result = waitForTask(
        manager->retrieveImageAsync(network(server.url(QStringLiteral("/image.png"))), options, nullptr, [] { return false; }));
    EXPECT_EQ(result.cacheType, CacheType::none);
    QTest::qWait(50);
    EXPECT_FALSE(progressed);
}

TEST_F(PictorManagerAsyncTest, StopDuringTheDownloadThrowsItsCancellation)
{
    std::stop_source stop;
    QObject guard;
    QTimer::singleShot(100, &guard, [&] { stop.request_stop(); });
    try {
        waitForTask(manager->retrieveImageAsync(network(server.url(QStringLiteral("/slow.png"))), std::nullopt, {}, stop.get_token()));
        FAIL() << "no error";
    } catch (const PictorError& error) {
        EXPECT_TRUE(error.isTaskCancelled());
    }
}

TEST_F(PictorManagerAsyncTest, FailuresAreThrown)
{
    EXPECT_THROW(waitForTask(manager->retrieveImageAsync(network(server.url(QStringLiteral("/status/404"))))), PictorError);
}
