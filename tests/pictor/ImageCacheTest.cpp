#include "ImageCacheFixture.h"

#include "pictor/cache/DefaultCacheSerializer.h"
#include "pictor/cache/ImageCacheNotifications.h"
#include "pictor/processing/ImageProcessor.h"
#include "pictor/retrieval/PictorOptionsInfoItem.h"
#include "support/TaskWait.h"

#include <QGuiApplication>
#include <QSignalSpy>
#include <QThread>

using namespace pictor;

namespace {

// A processor that only names itself, for keys with an identifier.
class NamedProcessor : public ImageProcessor {
public:
    explicit NamedProcessor(QString name) : name_(std::move(name)) {}
    QString identifier() const override { return name_; }
    std::optional<Image> process(const ImageProcessItem&, const PictorParsedOptionsInfo&) const override { return std::nullopt; }

private:
    QString name_;
};

PictorParsedOptionsInfo withProcessor(const QString& identifier)
{
    return PictorParsedOptionsInfo(QList<PictorOptionsInfoItem> {PictorOptionsInfoItem::processor(std::make_shared<NamedProcessor>(identifier))});
}

using ImageCacheTest = ImageCacheFixture;

TEST_F(ImageCacheTest, DiskHitComesBackIntoMemory)
{
    ASSERT_TRUE(storeAndWait(picture(), "k").diskCacheResult.isSuccess());
    EXPECT_EQ(waitForTask(cache->retrieveImageAsync("k")).cacheType(), CacheType::memory);
    cache->clearMemoryCache();
    EXPECT_EQ(cache->imageCachedType("k"), CacheType::disk);
    const ImageCacheResult fromDisk = waitForTask(cache->retrieveImageAsync("k"));
    ASSERT_EQ(fromDisk.cacheType(), CacheType::disk);
    EXPECT_EQ(fromDisk.image()->bitmap().size(), QSize(40, 30));
    EXPECT_EQ(cache->imageCachedType("k"), CacheType::memory);
}

TEST_F(ImageCacheTest, ProcessorIdentifierExtendsTheKeyInMemoryAndOnDisk)
{
    waitForTask(cache->storeAsync(picture(), std::nullopt, "k", "p", std::nullopt, DefaultCacheSerializer::shared()));
    EXPECT_EQ(ImageCache::computedKey("k", "p"), "k@p");
    EXPECT_EQ(ImageCache::computedKey("k", ""), "k");
    EXPECT_TRUE(QFile::exists(cache->cachePath("k", "p")));
    EXPECT_TRUE(cache->retrieveImageInMemoryCache("k", withProcessor("p")));
    EXPECT_FALSE(cache->retrieveImageInMemoryCache("k", PictorParsedOptionsInfo()));
    EXPECT_EQ(cache->imageCachedType("k"), CacheType::none);
    cache->clearMemoryCache();
    EXPECT_EQ(waitForTask(cache->retrieveImageAsync("k", withProcessor("p"))).cacheType(), CacheType::disk);
}

TEST_F(ImageCacheTest, MemoryOnlyStoreCompletesAtOnceWithoutAFile)
{
    bool done = false;
    PictorParsedOptionsInfo options;
    options.callbackQueue = CallbackQueue::untouch();
    cache->store(picture(), std::nullopt, "k", options, false, [&](CacheStoreResult result) {
        done = result.diskCacheResult.isSuccess();
    });
    EXPECT_TRUE(done);
    EXPECT_FALSE(QFile::exists(cache->cachePath("k")));
    EXPECT_EQ(cache->imageCachedType("k"), CacheType::memory);
}

TEST_F(ImageCacheTest, UnserializableImageStaysInMemoryAndTheStoreThrows)
{
    try {
        waitForTask(cache->storeAsync(Image(QImage(), QSizeF(4, 4)), std::nullopt, "k", PictorParsedOptionsInfo()));
        FAIL() << "no error";
    } catch (const PictorError& error) {
        EXPECT_EQ(error.reason(), PictorError::Reason::cannotSerializeImage);
    }
    EXPECT_EQ(cache->imageCachedType("k"), CacheType::memory);
}

TEST_F(ImageCacheTest, StoreToDiskLeavesMemoryAlone)
{
    waitForTask(cache->storeToDiskAsync(testimages::encoded(testimages::quadrants(QSize(8, 8)), "png"), "k"));
    EXPECT_EQ(cache->imageCachedType("k"), CacheType::disk);
    EXPECT_EQ(cache->cacheFileURLIfOnDisk("k"), cache->cachePath("k"));
    EXPECT_FALSE(cache->cacheFileURLIfOnDisk("other"));
}

TEST_F(ImageCacheTest, LookupOptions)
{
    storeAndWait(picture(), "k");
    cache->clearMemoryCache();

    PictorParsedOptionsInfo memoryOnly;
    memoryOnly.fromMemoryCacheOrRefresh = true;
    EXPECT_EQ(waitForTask(cache->retrieveImageAsync("k", memoryOnly)).cacheType(), CacheType::none);

    PictorParsedOptionsInfo synchronous;
    synchronous.loadDiskFileSynchronously = true;
    std::optional<Image> image;
    cache->retrieveImageInDiskCache("k", synchronous, CallbackQueue::untouch(), [&](auto result) { image = result.value(); });
    EXPECT_TRUE(image) << "delivered before the call returned";

    cache->retrieveImage("k", synchronous, CallbackQueue::untouch(), nullptr);
    EXPECT_EQ(cache->imageCachedType("k"), CacheType::disk) << "a lookup without completion reads nothing";
}

TEST_F(ImageCacheTest, ExpiredInMemoryButOnDiskIsOnDisk)
{
    PictorParsedOptionsInfo options;
    options.memoryCacheExpiration = StorageExpiration::seconds(10);
    storeAndWait(picture(), "k", options);
    clock.advance(11);
    EXPECT_EQ(cache->imageCachedType("k"), CacheType::disk);
}

TEST_F(ImageCacheTest, AwaitedLookupResumesOnTheMainThread)
{
    storeAndWait(picture(), "k");
    cache->clearMemoryCache();
    QThread* resumedOn = nullptr;
    waitForTask([](std::shared_ptr<ImageCache> c, QThread*& thread) -> QCoro::Task<> {
        PictorParsedOptionsInfo options;
        options.callbackQueue = CallbackQueue::untouch();
        co_await c->retrieveImageAsync("k", options);
        thread = QThread::currentThread();
    }(cache, resumedOn));
    EXPECT_EQ(resumedOn, QCoreApplication::instance()->thread());
}

TEST_F(ImageCacheTest, RemovalReportsTheFileSystemError)
{
    bool untouched = false;
    storeAndWait(picture(), "k");
    cache->removeImage("k", "", std::nullopt, false, false, CallbackQueue::untouch(), [&](std::exception_ptr error) { untouched = !error; });
    EXPECT_TRUE(untouched);
    EXPECT_EQ(cache->imageCachedType("k"), CacheType::memory);
    waitForTask(cache->removeImageAsync("k"));
    EXPECT_EQ(cache->imageCachedType("k"), CacheType::none);
    try {
        waitForTask(cache->removeImageAsync("k"));
        FAIL() << "no error";
    } catch (const std::system_error& error) {
        EXPECT_EQ(error.code(), std::errc::no_such_file_or_directory);
    }
}

TEST_F(ImageCacheTest, ClearCacheEmptiesMemoryAtOnceAndTheFolderLater)
{
    storeAndWait(picture(), "k");
    cache->clearCache();
    EXPECT_FALSE(cache->retrieveImageInMemoryCache("k", PictorParsedOptionsInfo()));
    waitForTask(cache->clearDiskCacheAsync());
    EXPECT_EQ(cache->imageCachedType("k"), CacheType::none);
    EXPECT_TRUE(QDir(cache->diskStorage()->directoryPath()).exists());
    EXPECT_EQ(waitForTask(cache->diskStorageSize()), 0u);
}

TEST_F(ImageCacheTest, CleanAnnouncesExpiredThenTrimmedFilesFromTheCleaningCache)
{
    auto other = make("test", 0);
    cache = make("sized", 1000);
    const auto disk = cache->diskStorage();
    disk->store(QByteArray(100, 'a'), "expired1", StorageExpiration::seconds(5));
    disk->store(QByteArray(100, 'b'), "expired2", StorageExpiration::seconds(5));
    clock.advance(1);
    disk->store(QByteArray(900, 'c'), "big");
    clock.advance(1);
    disk->store(QByteArray(100, 'd'), "recent");
    clock.advance(10);
    QSignalSpy spy(&ImageCacheNotifications::shared(), &ImageCacheNotifications::didCleanDiskCache);
    bool notifiedBeforeCompletion = false;
    cache->cleanExpiredDiskCache([&] { notifiedBeforeCompletion = spy.count() == 1; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return notifiedBeforeCompletion; }, 5000));
    EXPECT_EQ(spy.at(0).at(0).value<ImageCache*>(), cache.get());
    const QStringList names = spy.at(0).at(1).toMap().value(ImageCacheNotifications::cleanedHashKey()).toStringList();
    const QStringList expected {disk->fileName("expired1"), disk->fileName("expired2"), disk->fileName("big")};
    EXPECT_EQ(QSet<QString>(names.begin(), names.begin() + 2), QSet<QString>(expected.begin(), expected.begin() + 2));
    EXPECT_EQ(names.value(2), expected[2]);
    EXPECT_TRUE(cache->isCached("recent"));

    waitForTask(other->cleanExpiredCacheAsync());
    EXPECT_EQ(spy.count(), 1) << "nothing removed, nothing announced";
}

TEST_F(ImageCacheTest, CleanRemovesExpiredFilesBeforeTrimmingForSize)
{
    cache = make("sized", 1000);
    const auto disk = cache->diskStorage();
    disk->store(QByteArray(400, 'a'), "old");
    clock.advance(1);
    disk->store(QByteArray(700, 'b'), "expiring", StorageExpiration::seconds(5));
    clock.advance(10);
    bool cleaned = false;
    cache->cleanExpiredDiskCache([&] { cleaned = true; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return cleaned; }, 5000));
    // Without the expired file the folder is under its limit: nothing live is trimmed.
    EXPECT_TRUE(cache->isCached("old"));
}

TEST_F(ImageCacheTest, LeavingTheActiveStateCleansExpiredFiles)
{
    cache->diskStorage()->store("x", "old", StorageExpiration::seconds(5));
    clock.advance(10);
    QCoreApplication::processEvents(); // the observer is registered on a later turn
    QSignalSpy spy(&ImageCacheNotifications::shared(), &ImageCacheNotifications::didCleanDiskCache);
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    emit app->applicationStateChanged(Qt::ApplicationActive);
    EXPECT_EQ(spy.count(), 0);
    emit app->applicationStateChanged(Qt::ApplicationInactive);
    ASSERT_TRUE(QTest::qWaitFor([&] { return spy.count() == 1; }, 5000));
    EXPECT_EQ(spy.at(0).at(0).value<ImageCache*>(), cache.get());
}

TEST_F(ImageCacheTest, EmptyNameIsRefused)
{
    EXPECT_THROW(ImageCache::create(QString()), std::invalid_argument);
}

TEST_F(ImageCacheTest, TwoCachesOfOneNameShareTheFolderNotTheQueue)
{
    auto second = make("test");
    EXPECT_EQ(second->diskStorage()->directoryPath(), cache->diskStorage()->directoryPath());
    EXPECT_NE(second->ioQueueLabel(), cache->ioQueueLabel());
    EXPECT_TRUE(cache->ioQueueLabel().startsWith("com.quillmoth.Pictor.ImageCache.ioQueue."));
    storeAndWait(picture(), "k");
    EXPECT_EQ(second->imageCachedType("k"), CacheType::none) << "a file stored after its listing is unknown to the other cache";
}

} // namespace
