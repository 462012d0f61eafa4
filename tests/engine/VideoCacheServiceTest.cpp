#include "engine/VideoCacheError.h"
#include "engine/VideoCacheService.h"
#include "support/TaskWait.h"
#include "foundation/Async.h"
#include "foundation/Log.h"
#include "foundation/Paths.h"
#include "platform/HttpError.h"
#include "support/SampleCatalogueFixture.h"
#include "support/TempFolder.h"
#include "support/TestHttpsServer.h"

#include <httplib.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

namespace {

using samplecatalogue::Fault;

constexpr qint64 kKey = 1718000000137;

QStringList entriesOf(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

class VideoCacheServiceTest : public ::testing::Test {
protected:
    QUrl asset(const QString& name)
    {
        return QUrl(catalogue_.server().baseUrl() + QStringLiteral("/wallpaper/%1/%2").arg(kKey).arg(name));
    }

    TempFolder temp_;
    SampleCatalogueFixture catalogue_;
    VideoCacheService service_;
};

TEST_F(VideoCacheServiceTest, AddressesMapToTheirFolderAndName)
{
    struct Case {
        QString url;
        std::optional<qint64> key;
        QString folder;
        QString name;
    };
    const QString normal = VideoCacheService::previewFolder();
    const QString hd = VideoCacheService::hdPreviewFolder();
    for (const Case& c : {Case{QStringLiteral("https://h/wallpaper/7/previewhd.mp4"), 7, hd, QStringLiteral("7.mp4")},
             Case{QStringLiteral("https://h/wallpaper/7/PREVIEWHD.MP4"), 7, hd, QStringLiteral("7.mp4")},
             Case{QStringLiteral("https://h/wallpaper/7/preview.mp4"), 7, normal, QStringLiteral("7.mp4")},
             Case{QStringLiteral("https://h/wallpaper/7/poster.webp"), -7, normal, QStringLiteral("-7.mp4")},
             Case{QStringLiteral("https://h/wallpaper/7/master.mp4"), 7, normal, QStringLiteral("7.mp4")},
             // Without a key, a stable hash of the address: the same name in every run.
             Case{QStringLiteral("https://assets.example/wallpaper/7/preview.mp4"), std::nullopt, normal,
                 QStringLiteral("11245352556018400202.mp4")}}) {
        SCOPED_TRACE(qPrintable(c.url));
        EXPECT_EQ(service_.cacheSubdirectory(QUrl(c.url)), c.folder);
        EXPECT_EQ(service_.cacheFileName(QUrl(c.url), c.key), c.name);
    }
}

TEST_F(VideoCacheServiceTest, APreviewIsFetchedOnceThenPlayedFromDisk)
{
    const QString file = VideoCacheService::hdPreviewFolder() + QStringLiteral("/1718000000137.mp4");
    {
        LogCapture log;
        EXPECT_EQ(waitForTask(service_.cachePreviewVideo(asset(QStringLiteral("previewhd.mp4")), kKey)), QUrl::fromLocalFile(file));
        EXPECT_EQ(log.lines(), (QStringList{
            QStringLiteral("📥 [VideoCacheService] Downloading preview video: previewhd.mp4"),
            QStringLiteral("📁 [VideoCacheService] Destination: ") + file,
            QStringLiteral("✅ [VideoCacheService] Preview video cached: 1718000000137.mp4"),
        }));
    }
    EXPECT_EQ(entriesOf(VideoCacheService::hdPreviewFolder()),
        (QStringList{QStringLiteral("1718000000137.mp4"), QStringLiteral("1718000000137.mp4.size")}));
    EXPECT_EQ(service_.cachedHDPreviewUrl(kKey), QUrl::fromLocalFile(file));
    EXPECT_EQ(service_.cachedPreviewVideoUrl(asset(QStringLiteral("preview.mp4")), kKey), std::nullopt);

    LogCapture log;
    QList<double> progress;
    waitForTask(service_.cachePreviewVideo(asset(QStringLiteral("previewhd.mp4")), kKey, [&](double f) { progress << f; }));
    EXPECT_EQ(progress, QList<double>{1.0});
    EXPECT_EQ(log.lines(), QStringList{QStringLiteral("✅ [VideoCacheService] Preview video already cached: 1718000000137.mp4")});
    EXPECT_EQ(catalogue_.server().requestCount(QStringLiteral("/wallpaper/1718000000137/previewhd.mp4")), 1);
}

TEST_F(VideoCacheServiceTest, FailuresWriteNothingAndTheNextCallTriesAgain)
{
    const QString path = QStringLiteral("/wallpaper/1718000000137/preview.mp4");
    catalogue_.server().setFault(path, Fault{.status = 404, .times = 1});
    try {
        waitForTask(service_.cachePreviewVideo(asset(QStringLiteral("preview.mp4")), kKey));
        ADD_FAILURE() << "a 404 was stored";
    } catch (const VideoCacheError& error) {
        EXPECT_EQ(error.kind(), VideoCacheError::Kind::invalidResponse);
    }

    // A transfer failure reaches the caller as itself.
    catalogue_.server().setFault(path, Fault{.cutShort = true, .times = 1});
    EXPECT_THROW(waitForTask(service_.cachePreviewVideo(asset(QStringLiteral("preview.mp4")), kKey)), HttpError);
    EXPECT_TRUE(entriesOf(VideoCacheService::previewFolder()).isEmpty());

    waitForTask(service_.cachePreviewVideo(asset(QStringLiteral("preview.mp4")), kKey));
    EXPECT_EQ(entriesOf(VideoCacheService::previewFolder()),
        (QStringList{QStringLiteral("1718000000137.mp4"), QStringLiteral("1718000000137.mp4.size")}));
}

// A preview cut short (stored so by an earlier version, or cut on disk since) or a reply that is
// no video is never played: it is fetched again, and only a whole video is kept.
TEST_F(VideoCacheServiceTest, OnlyAWholeVideoIsKeptAndACutOneIsFetchedAgain)
{
    const QUrl preview = asset(QStringLiteral("preview.mp4"));
    const QString file = VideoCacheService::previewFolder() + QStringLiteral("/1718000000137.mp4");
    const QString served = QStringLiteral("/wallpaper/1718000000137/preview.mp4");
    waitForTask(service_.cachePreviewVideo(preview, kKey));
    QFile whole(file);
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QByteArray bytes = whole.readAll();
    whole.close();

    struct Case {
        const char* name;
        std::function<void()> damage;
    };
    const auto writeCut = [&] {
        QFile cut(file);
        ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
        cut.write(bytes.left(bytes.size() / 3));
    };
    const Case cases[] = {
        {"cut since it was stored", writeCut},
        {"stored cut without a record", [&] { writeCut(); QFile::remove(file + QStringLiteral(".size")); }},
        {"a damaged record", [&] {
             QFile record(file + QStringLiteral(".size"));
             ASSERT_TRUE(record.open(QIODevice::WriteOnly));
             record.write("many");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.damage();
        EXPECT_EQ(service_.cachedPreviewVideoUrl(preview, kKey), std::nullopt);
        const int before = catalogue_.server().requestCount(served);
        EXPECT_EQ(waitForTask(service_.cachePreviewVideo(preview, kKey)), QUrl::fromLocalFile(file));
        EXPECT_EQ(catalogue_.server().requestCount(served), before + 1);
        QFile again(file);
        ASSERT_TRUE(again.open(QIODevice::ReadOnly));
        EXPECT_EQ(again.readAll(), bytes);
    }

    // A reply that holds no video is refused and leaves nothing behind.
    service_.clearCache();
    catalogue_.server().setFault(served, Fault{.invalidJson = true, .times = 1});
    try {
        waitForTask(service_.cachePreviewVideo(preview, kKey));
        ADD_FAILURE() << "a reply without a video was stored";
    } catch (const VideoCacheError& error) {
        EXPECT_EQ(error.kind(), VideoCacheError::Kind::invalidResponse);
    }
    EXPECT_TRUE(entriesOf(VideoCacheService::previewFolder()).isEmpty());
}

// A reply cut after the video's header and sent with a length that matches what was sent arrives
// "whole", yet would play only its first part, for good: it is refused.
TEST_F(VideoCacheServiceTest, APreviewIsKeptOnlyWhenItPlaysToItsEnd)
{
    const QString file = VideoCacheService::previewFolder() + QStringLiteral("/1718000000137.mp4");
    waitForTask(service_.cachePreviewVideo(asset(QStringLiteral("preview.mp4")), kKey));
    QFile whole(file);
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QByteArray bytes = whole.readAll();
    whole.close();

    std::string served;
    TestHttpsServer server;
    server.routes().Get("/preview.mp4", [&served](const httplib::Request&, httplib::Response& response) {
        response.set_content(served, "video/mp4");
    });
    server.start();
    struct Case {
        const char* name;
        qsizetype size;
        bool kept;
    };
    const qsizetype all = bytes.size();
    // The preview's index comes first, so a cut in its last packet leaves every frame listed.
    for (const Case& c : {Case{"cut to 30 %", all * 3 / 10, false}, Case{"cut to 60 %", all * 6 / 10, false},
             Case{"cut in its last packet", all - 8, false}, Case{"whole", all, true}}) {
        SCOPED_TRACE(c.name);
        service_.clearCache();
        served = bytes.left(c.size).toStdString();
        const QUrl preview = server.url(QStringLiteral("/preview.mp4"));
        if (c.kept) {
            EXPECT_EQ(waitForTask(service_.cachePreviewVideo(preview, kKey)), QUrl::fromLocalFile(file));
            EXPECT_EQ(service_.cachedPreviewVideoUrl(preview, kKey), QUrl::fromLocalFile(file));
            continue;
        }
        try {
            waitForTask(service_.cachePreviewVideo(preview, kKey));
            ADD_FAILURE() << "a cut preview was stored";
        } catch (const VideoCacheError& error) {
            EXPECT_EQ(error.kind(), VideoCacheError::Kind::invalidResponse);
        }
        EXPECT_TRUE(entriesOf(VideoCacheService::previewFolder()).isEmpty());
    }
}

// Hovering again before the first frame asks for the same preview while it downloads: every
// caller is served by the one transfer.
TEST_F(VideoCacheServiceTest, CallersOfAPreviewInFlightShareOneTransfer)
{
    const QString served = QStringLiteral("/wallpaper/1718000000137/preview.mp4");
    const QUrl preview = asset(QStringLiteral("preview.mp4"));
    for (const bool fails : {false, true}) {
        SCOPED_TRACE(fails ? "failing" : "succeeding");
        service_.clearCache();
        catalogue_.server().clearRequests();
        catalogue_.server().setFault(served, fails ? Fault{.status = 500, .delayMs = 300, .times = 1} : Fault{.delayMs = 300, .times = 1});
        int done = 0;
        int failed = 0;
        QList<double> progress;
        QList<QUrl> urls;
        const auto ask = [&](bool withProgress) -> QCoro::Task<> {
            try {
                urls.append(co_await service_.cachePreviewVideo(preview, kKey,
                    withProgress ? VideoCacheService::ProgressHandler([&](double f) { progress << f; }) : nullptr));
            } catch (const VideoCacheError&) {
                ++failed;
            }
            ++done;
        };
        for (int hover = 0; hover < 3; ++hover)
            fireAndForget(ask(hover == 2));
        ASSERT_TRUE(QTest::qWaitFor([&] { return done == 3; }, 15'000));
        EXPECT_EQ(catalogue_.server().requestCount(served), 1);
        if (fails) {
            EXPECT_EQ(failed, 3);
        } else {
            EXPECT_EQ(urls.size(), 3);
            EXPECT_EQ(QSet<QUrl>(urls.begin(), urls.end()).size(), 1);
            ASSERT_FALSE(progress.isEmpty()) << "a caller that joins hears the transfer's progress";
            EXPECT_EQ(progress.last(), 1.0);
        }
    }
}

// A caller that hears of a failed transfer may ask again at once, in the same turn of the event
// loop, before the other waiters of that transfer have read its outcome: they still hear of the
// failure, and the new request is a transfer of its own.
TEST_F(VideoCacheServiceTest, EachTransferKeepsItsOwnOutcomeForItsOwnWaiters)
{
    const QString served = QStringLiteral("/wallpaper/1718000000137/preview.mp4");
    const QUrl preview = asset(QStringLiteral("preview.mp4"));
    catalogue_.server().setFault(served, Fault{.status = 500, .delayMs = 200, .times = 1});
    int failed = 0;
    int succeeded = 0;
    bool retried = false;
    std::optional<QUrl> retry;
    const auto retryNow = [&]() -> QCoro::Task<> { retry = co_await service_.cachePreviewVideo(preview, kKey); };
    const auto ask = [&]() -> QCoro::Task<> {
        try {
            co_await service_.cachePreviewVideo(preview, kKey);
            ++succeeded;
        } catch (const VideoCacheError&) {
            ++failed;
            if (!std::exchange(retried, true))
                fireAndForget(retryNow());
        }
    };
    for (int waiter = 0; waiter < 3; ++waiter)
        fireAndForget(ask());
    ASSERT_TRUE(QTest::qWaitFor([&] { return failed + succeeded == 3 && retry; }, 15'000));
    EXPECT_EQ(failed, 3);
    EXPECT_EQ(succeeded, 0);
    EXPECT_EQ(retry, QUrl::fromLocalFile(VideoCacheService::previewFolder() + QStringLiteral("/1718000000137.mp4")));
    EXPECT_EQ(catalogue_.server().requestCount(served), 2);
}

TEST_F(VideoCacheServiceTest, ClearingEmptiesBothFoldersAndSizesCountTheirFiles)
{
    QFile(VideoCacheService::previewFolder() + QStringLiteral("/1.mp4")).open(QIODevice::WriteOnly);
    QFile hd(VideoCacheService::hdPreviewFolder() + QStringLiteral("/1.mp4"));
    ASSERT_TRUE(hd.open(QIODevice::WriteOnly));
    hd.write(QByteArray(1000, 'x'));
    hd.close();
    EXPECT_EQ(service_.cacheSizeInBytes(), 1000);

    LogCapture log;
    service_.clearCache();
    service_.clearCache();
    EXPECT_EQ(log.lines().size(), 2); // logged also when there was nothing to remove
    EXPECT_EQ(log.lines().first(), QStringLiteral("🗑️ [VideoCacheService] Cleared preview video cache"));
    EXPECT_TRUE(QFileInfo(VideoCacheService::previewFolder()).isDir());
    EXPECT_TRUE(entriesOf(VideoCacheService::hdPreviewFolder()).isEmpty());
    EXPECT_EQ(service_.cacheSizeInBytes(), 0);

    QDir(Paths::appCaches() + QStringLiteral("/videos")).removeRecursively();
    EXPECT_EQ(service_.cacheSizeInBytes(), 0);
}

} // namespace
