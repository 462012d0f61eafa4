#include "ImageCacheFixture.h"

#include "pictor/core/PictorError.h"
#include "support/FileBytes.h"
#include "support/TaskWait.h"

#include <QDirIterator>

#include <sys/resource.h>

#include <csignal>
#include <thread>

using namespace pictor;

namespace {

using ImageCacheBadInput = ImageCacheFixture;

enum class Outcome { miss, image, missOrImage, loadError };

struct DamagedCase {
    const char* name;
    // Replaces the stored file.
    std::function<void(const QString& path)> damage;
    Outcome outcome;
};

class DamagedFiles : public ImageCacheBadInput, public ::testing::WithParamInterface<DamagedCase> {};

TEST_P(DamagedFiles, ReadGivesTheErrorOrAMiss)
{
    storeAndWait(picture(), "k");
    cache->clearMemoryCache();
    GetParam().damage(cache->cachePath("k"));
    std::optional<Result<std::optional<Image>, PictorError>> result;
    cache->retrieveImageInDiskCache("k", PictorParsedOptionsInfo(), CallbackQueue::untouch(), [&](auto r) { result = r; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return result.has_value(); }, 5000));
    switch (GetParam().outcome) {
    case Outcome::miss:
        ASSERT_TRUE(result->isSuccess());
        EXPECT_FALSE(result->value());
        break;
    case Outcome::image:
        ASSERT_TRUE(result->isSuccess());
        EXPECT_TRUE(result->value());
        break;
    case Outcome::missOrImage:
        EXPECT_TRUE(result->isSuccess());
        break;
    case Outcome::loadError:
        ASSERT_TRUE(result->isFailure());
        EXPECT_EQ(result->error().reason(), PictorError::Reason::cannotLoadDataFromDisk);
        break;
    }
    // The combined lookup reports the same: bad bytes are a miss, an unreadable file its error.
    if (GetParam().outcome == Outcome::loadError)
        EXPECT_THROW(waitForTask(cache->retrieveImageAsync("k")), PictorError);
    else
        EXPECT_NO_THROW(waitForTask(cache->retrieveImageAsync("k")));
}

INSTANTIATE_TEST_SUITE_P(
    Files, DamagedFiles,
    ::testing::Values(
        DamagedCase {"truncated", [](const QString& p) { writeFile(p, readFile(p).left(60)); }, Outcome::missOrImage},
        DamagedCase {"garbage", [](const QString& p) { writeFile(p, QByteArray(5000, '\x5a')); }, Outcome::miss},
        DamagedCase {"empty", [](const QString& p) { writeFile(p, QByteArray()); }, Outcome::miss},
        DamagedCase {"deleted", [](const QString& p) { QFile::remove(p); }, Outcome::miss},
        DamagedCase {"folderInItsPlace", [](const QString& p) { QFile::remove(p); QDir().mkdir(p); }, Outcome::loadError}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(ImageCacheBadInput, RemovedFolderMeansMissesThenIsMadeAgain)
{
    storeAndWait(picture(), "k");
    cache->clearMemoryCache();
    ASSERT_TRUE(QDir(cache->diskStorage()->directoryPath()).removeRecursively());
    EXPECT_EQ(waitForTask(cache->retrieveImageAsync("k")).cacheType(), CacheType::none);
    waitForTask(cache->cleanExpiredDiskCacheAsync());
    try {
        waitForTask(cache->diskStorageSize());
        ADD_FAILURE() << "no error";
    } catch (const PictorError& error) {
        EXPECT_EQ(error.reason(), PictorError::Reason::fileEnumeratorCreationFailed);
    }
    EXPECT_TRUE(storeAndWait(picture(), "k").diskCacheResult.isSuccess());
    cache->clearMemoryCache();
    EXPECT_EQ(waitForTask(cache->retrieveImageAsync("k")).cacheType(), CacheType::disk);
}

TEST_F(ImageCacheBadInput, FullDiskFailsTheStoreAndLeavesNoPartialFile)
{
    // A file-size limit makes every write past 1000 bytes fail as a full disk would.
    struct rlimit previous {};
    ::getrlimit(RLIMIT_FSIZE, &previous);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = previous;
    small.rlim_cur = 1000;
    ::setrlimit(RLIMIT_FSIZE, &small);
    std::optional<PictorError> failure;
    try {
        waitForTask(cache->storeToDiskAsync(QByteArray(50000, 'x'), "big"));
    } catch (const PictorError& error) {
        failure = error;
    }
    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, oldHandler);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->reason(), PictorError::Reason::cannotCreateCacheFile);
    EXPECT_TRUE(QDir(cache->diskStorage()->directoryPath()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
    EXPECT_EQ(cache->imageCachedType("big"), CacheType::none);
}

TEST_F(ImageCacheBadInput, HugeKeysNeverWriteOutsideTheFolder)
{
    const QString key = QString("../") + QString(10000, 'k') + ".png";
    EXPECT_TRUE(storeAndWait(picture(), key).diskCacheResult.isSuccess()) << "hashed names have a fixed length";
    cache->clearMemoryCache();
    EXPECT_EQ(waitForTask(cache->retrieveImageAsync(key)).cacheType(), CacheType::disk);

    DiskStorageConfig settings = cache->diskStorage()->config();
    settings.usesHashedFileName = false;
    cache->diskStorage()->setConfig(settings);
    const CacheStoreResult unhashed = storeAndWait(picture(), key);
    ASSERT_TRUE(unhashed.diskCacheResult.isFailure());
    EXPECT_EQ(unhashed.diskCacheResult.error().reason(), PictorError::Reason::cannotCreateCacheFile);
    cache->clearMemoryCache();
    EXPECT_EQ(cache->imageCachedType(key), CacheType::none);
    EXPECT_TRUE(storeAndWait(picture(), "../escape").diskCacheResult.isSuccess());

    QStringList outside;
    for (QDirIterator it(temp.path(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories); it.hasNext();) {
        const QString path = it.next();
        if (!path.startsWith(cache->diskStorage()->directoryPath()))
            outside.append(path);
    }
    EXPECT_TRUE(outside.isEmpty()) << outside.join(", ").toStdString();
}

TEST_F(ImageCacheBadInput, ConcurrentCachesOnOneFolderServeWholeFilesOrMisses)
{
    auto twin = make("test");
    const QByteArray first(20000, 'a'), second(30000, 'b');
    std::atomic<bool> torn = false;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            const auto disk = (t % 2 ? twin : cache)->diskStorage();
            for (int i = 0; i < 200; ++i) {
                try {
                    disk->store(t % 2 ? first : second, "shared");
                    if (i % 10 == 0)
                        disk->remove("shared");
                } catch (const std::exception&) {
                    // A removal racing another is expected to miss.
                }
                try {
                    const auto data = disk->value("shared", std::nullopt, ExpirationExtending::cacheTime());
                    if (data && *data != first && *data != second)
                        torn = true;
                } catch (const PictorError&) {
                }
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_FALSE(torn);
}

} // namespace
