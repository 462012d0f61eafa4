#include "backend/ResponseCache.h"
#include "foundation/Clock.h"
#include "foundation/JsonReader.h"
#include "foundation/Log.h"
#include "support/FileBytes.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSemaphore>
#include <QThreadPool>
#include <QUrl>

#include <gtest/gtest.h>

#include <memory>

namespace {

QUrl url(const char* text) { return QUrl(QString::fromUtf8(text)); }

void writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
}

struct CacheableCase {
    const char* method;
    const char* url;
    bool cacheable;
};

class ResponseCacheabilityTest : public ::testing::TestWithParam<CacheableCase> {};

TEST_P(ResponseCacheabilityTest, DecidesFromMethodAndAddress)
{
    EXPECT_EQ(ResponseCache::isCacheable(GetParam().method, url(GetParam().url)), GetParam().cacheable) << GetParam().url;
}

INSTANTIATE_TEST_SUITE_P(Requests, ResponseCacheabilityTest,
    ::testing::Values(CacheableCase{"GET", "https://b/functions/v1/get-home-page", true},
        CacheableCase{"GET", "https://b/functions/v1/get-wallpapers?mode=recent&limit=6&page=1", true},
        CacheableCase{"GET", "https://b/functions/v1/get-wallpapers?mode=random&limit=6&page=1", false},
        CacheableCase{"GET", "https://b/functions/v1/get-wallpapers-by-category?category=1&limit=6&page=1&sort_by=latest", true},
        CacheableCase{"GET", "https://b/functions/v1/get-wallpapers-by-category?category=1&limit=6&page=1&sort_by=random", false},
        CacheableCase{"GET", "https://b/functions/v1/platform-stats", false},
        CacheableCase{"GET", "https://b/functions/v1/check-upload-status?device_uuid=x", false},
        CacheableCase{"GET", "https://b/functions/v1/gravel-nook?id=koi", false},
        CacheableCase{"GET", "https://b/functions/v1/get-home-page?from=platform-stats", false},
        CacheableCase{"GET", "https://b/functions/v1/increment-wallpaper?key=42&type=downloads", false},
        CacheableCase{"POST", "https://b/functions/v1/get-home-page", false},
        CacheableCase{"get", "https://b/functions/v1/get-home-page", false},
        CacheableCase{"POST", "https://b/functions/v1/search-wallpapers", false}));

// A cache file in a temporary folder, read by fresh caches on a clock the test moves.
class ResponseCacheTest : public ::testing::Test {
protected:
    ResponseCacheTest() { QDir().mkpath(QFileInfo(path()).absolutePath()); }

    QString path() const { return temp_.file(QStringLiteral("caches/Quorvelle/api_cache.json")); }
    std::unique_ptr<ResponseCache> open() { return std::make_unique<ResponseCache>(path(), clock_); }

    TempFolder temp_;
    ManualClock clock_;
};

} // namespace

TEST(ResponseCacheKeyTest, QueryOrderDoesNotMatterButValuesDo)
{
    const auto key = [](const char* address) { return ResponseCache::cacheKey("GET", url(address), std::nullopt); };
    EXPECT_EQ(key("https://b/f/get-wallpapers?mode=recent&limit=6&page=1"),
        QStringLiteral("GET_https://b/f/get-wallpapers?limit=6&mode=recent&page=1"));
    EXPECT_EQ(key("https://b/f/x?b=2&a=1&a=0"), key("https://b/f/x?a=0&b=2&a=1"));
    EXPECT_NE(key("https://b/f/x?a=1"), key("https://b/f/x?a=2"));
    EXPECT_EQ(key("https://b/f/get-home-page"), QStringLiteral("GET_https://b/f/get-home-page"));
    EXPECT_EQ(key("https://b/f/x?q=a%26b%3Dc&r=%2B"), QStringLiteral("GET_https://b/f/x?q=a%26b%3Dc&r=%2B"));
}

TEST(ResponseCacheKeyTest, AUtf8BodyIsPartOfTheKey)
{
    const QUrl address = url("https://b/f/search-wallpapers");
    EXPECT_EQ(ResponseCache::cacheKey("POST", address, QByteArray(R"({"query":"sea"})")),
        QStringLiteral(R"(POST_https://b/f/search-wallpapers_{"query":"sea"})"));
    EXPECT_EQ(ResponseCache::cacheKey("POST", address, QByteArray("\xff\xfe")), QStringLiteral("POST_https://b/f/search-wallpapers"));
}

TEST_F(ResponseCacheTest, ServesForOneHourThenForgets)
{
    auto cache = open();
    cache->store("page", QStringLiteral("k"));
    clock_.advance(3600);
    EXPECT_EQ(cache->cachedResponse(QStringLiteral("k")), QByteArray("page"));
    clock_.advance(1);
    EXPECT_FALSE(cache->cachedResponse(QStringLiteral("k")));
    EXPECT_EQ(cache->size(), 0);
    // A clock that went back still finds the entry fresh.
    cache->store("again", QStringLiteral("k"));
    clock_.advance(-600);
    EXPECT_EQ(cache->cachedResponse(QStringLiteral("k")), QByteArray("again"));
}

TEST_F(ResponseCacheTest, FileHoldsBase64AndSecondsSince2001AndSurvivesARestart)
{
    const QByteArray body("{\"wallpapers\":[]}\n\x01\xff", 20);
    open()->store(body, QStringLiteral("GET_https://b/x"));

    const JsonReader file = JsonReader::parse(readFile(path()));
    const JsonReader entry = file.field("GET_https://b/x");
    EXPECT_EQ(entry.requiredString("data"), QString::fromLatin1(body.toBase64()));
    EXPECT_DOUBLE_EQ(entry.requiredDouble("timestamp"),
        (clock_.now().toMSecsSinceEpoch() - JsonReader::kReferenceDateMSecs) / 1000.0);

    LogCapture log;
    auto reopened = open();
    EXPECT_EQ(reopened->cachedResponse(QStringLiteral("GET_https://b/x")), body);
    EXPECT_EQ(log.lines(), QStringList{QStringLiteral("💾 [APIService] Loaded 1 cached responses from disk (discarded 0 expired)")});
}

TEST_F(ResponseCacheTest, LoadDropsExpiredEntriesWithoutRewritingTheFile)
{
    {
        auto cache = open();
        for (int i = 0; i < 3; ++i)
            cache->store("old", QStringLiteral("old%1").arg(i));
        clock_.advance(1800);
        for (int i = 0; i < 7; ++i)
            cache->store("new", QStringLiteral("new%1").arg(i));
    }
    clock_.advance(1801);
    const QByteArray before = readFile(path());
    LogCapture log;
    auto cache = open();
    EXPECT_EQ(cache->size(), 7);
    EXPECT_TRUE(log.contains(QStringLiteral("💾 [APIService] Loaded 7 cached responses from disk (discarded 3 expired)")));
    EXPECT_EQ(readFile(path()), before);
}

TEST_F(ResponseCacheTest, ADamagedFileIsKeptAsideOnceWithTheEntriesThatStillDecode)
{
    // Stored now, by the test's clock.
    const QByteArray now = QByteArray::number((clock_.now().toMSecsSinceEpoch() - JsonReader::kReferenceDateMSecs) / 1000);
    const QByteArray x = R"("GET_x": {"data": "cGFnZQ==", "timestamp": )" + now + "}";
    struct Case {
        QByteArray content;
        qsizetype kept;
    };
    const Case cases[] = {
        {"not json", 0},
        {"{" + x + R"(, "GET_y": {"data": "cGFnZQ==", "timest)", 1}, // cut short
        {"[{" + x + "}]", 0},                                       // not a map
        {"{" + x + R"(, "GET_y": {"data": "***", "timestamp": )" + now + "}}", 1},
        {"{" + x + R"(, "GET_y": {"data": "cGFnZQ=="}})", 1},       // no timestamp
        {"{" + x + R"(, "GET_y": {"data": "cGFnZQ==", "timestamp": "yesterday"}})", 1},
        {"{\"GET_\xff\": {\"data\": \"\", \"timestamp\": " + now + "}, " + x + "}", 1}, // not UTF-8
        {"", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.content.toStdString());
        QDir(QFileInfo(path()).path()).removeRecursively();
        QDir().mkpath(QFileInfo(path()).path());
        writeFile(path(), c.content);
        LogCapture log;
        {
            auto cache = open();
            EXPECT_EQ(cache->size(), c.kept);
            EXPECT_EQ(cache->cachedResponse(QStringLiteral("GET_x")).has_value(), c.kept == 1);
        }
        EXPECT_TRUE(log.lines().last().startsWith(QStringLiteral("⚠️ [APIService] Damaged response cache ") + path()));
        const QStringList aside = QDir(QFileInfo(path()).path()).entryList({QStringLiteral("api_cache.json.damaged-*")});
        ASSERT_EQ(aside.size(), 1);
        EXPECT_EQ(readFile(QFileInfo(path()).path() + u'/' + aside.first()), c.content);

        // What was kept is in the file now, which reads whole.
        log.clear();
        EXPECT_EQ(open()->size(), c.kept);
        EXPECT_FALSE(log.contains(QStringLiteral("Damaged")));
    }
}

// Far beyond what an hour of replies takes: moved aside without being read into memory.
TEST_F(ResponseCacheTest, AFileTooLargeForACacheIsKeptAsideUnread)
{
    QFile file(path());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("{}");
    ASSERT_TRUE(file.resize(ResponseCache::kMaximumFileBytes + 1)); // sparse: no disk space taken
    file.close();
    LogCapture log;
    EXPECT_EQ(open()->size(), 0);
    EXPECT_TRUE(log.contains(QStringLiteral("⚠️ [APIService] Response cache %1 is too large (%2 bytes)")
                                 .arg(path())
                                 .arg(ResponseCache::kMaximumFileBytes + 1)));
    const QStringList aside = QDir(QFileInfo(path()).path()).entryList({QStringLiteral("api_cache.json.damaged-*")});
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(QFileInfo(QFileInfo(path()).path() + u'/' + aside.first()).size(), ResponseCache::kMaximumFileBytes + 1);
}

// Every worker of the shared pool is held, so a write the store made itself would show.
TEST_F(ResponseCacheTest, StoresLeaveTheWriteToAWorkerAndASeriesEndsInOneWholeFile)
{
    QThreadPool& pool = *QThreadPool::globalInstance();
    const int workers = pool.maxThreadCount();
    // Shared with the workers, which may still be inside them after the test ends.
    const auto held = std::make_shared<QSemaphore>();
    const auto released = std::make_shared<QSemaphore>();
    for (int i = 0; i < workers; ++i) {
        pool.start([held, released] {
            held->release();
            released->acquire();
        });
    }
    held->acquire(workers);
    {
        auto cache = open();
        for (int i = 0; i < 200; ++i)
            cache->store(QByteArray(1000, 'p'), QStringLiteral("k%1").arg(i));
        EXPECT_FALSE(QFile::exists(path()));
        released->release(workers);
    }
    auto reopened = open();
    EXPECT_EQ(reopened->size(), 200);
    EXPECT_EQ(QDir(QFileInfo(path()).path()).entryList(QDir::Files), QStringList{QStringLiteral("api_cache.json")});
}

TEST_F(ResponseCacheTest, MissingFileIsSilentAndMemoryOnlyCacheWorks)
{
    LogCapture log;
    EXPECT_EQ(open()->size(), 0);
    ResponseCache memoryOnly(QString(), clock_);
    memoryOnly.store("x", QStringLiteral("k"));
    EXPECT_EQ(memoryOnly.cachedResponse(QStringLiteral("k")), QByteArray("x"));
    EXPECT_TRUE(log.lines().isEmpty());
    EXPECT_FALSE(QFile::exists(path()));
}

TEST_F(ResponseCacheTest, RemoveForgetsAnEntryOnDiskToo)
{
    {
        auto cache = open();
        cache->store("a", QStringLiteral("a"));
        cache->store("b", QStringLiteral("b"));
        cache->remove(QStringLiteral("a"));
    }
    auto reopened = open();
    EXPECT_FALSE(reopened->cachedResponse(QStringLiteral("a")));
    EXPECT_EQ(reopened->cachedResponse(QStringLiteral("b")), QByteArray("b"));
}
