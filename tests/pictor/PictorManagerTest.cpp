#include "ManagerFixture.h"
#include "TestImages.h"

#include "pictor/retrieval/AnyImageModifier.h"
#include "pictor/retrieval/Base64ImageDataProvider.h"
#include "pictor/processing/BlackWhiteProcessor.h"
#include "pictor/cache/DefaultCacheSerializer.h"
#include "pictor/processing/DefaultImageProcessor.h"
#include "pictor/processing/DownsamplingImageProcessor.h"
#include "pictor/retrieval/LocalFileImageDataProvider.h"
#include "pictor/core/PropagationError.h"
#include "pictor/retrieval/RawImageDataProvider.h"
#include "pictor/retrieval/RetryStrategy.h"

#include <QDir>

using namespace pictor;
using Item = PictorOptionsInfoItem;
using testimages::GifFrame;
using testimages::gif;

namespace {

// Retries while fewer than `retries` retries were made; remembers every count it was asked with.
class CountingRetryStrategy : public RetryStrategy {
public:
    explicit CountingRetryStrategy(int retries) : retries_(retries) {}
    void retry(const std::shared_ptr<RetryContext>& context, std::function<void(RetryDecision)> handler) const override
    {
        counts.append(context->retriedCount());
        handler(context->retriedCount() < retries_ ? RetryDecision::retry() : RetryDecision::stop());
    }
    mutable QList<int> counts;

private:
    int retries_;
};

// Decodes as the default processor does under its own name, and remembers the thread of every
// decoding of data.
class ThreadRecordingProcessor : public ImageProcessor {
public:
    QString identifier() const override { return QStringLiteral("thread-recording"); }
    std::optional<Image> process(const ImageProcessItem& item, const PictorParsedOptionsInfo& options) const override
    {
        if (item.asData()) {
            std::lock_guard lock(mutex);
            decodingThreads.append(QThread::currentThread());
        }
        return DefaultImageProcessor::shared()->process(item, options);
    }
    mutable std::mutex mutex;
    mutable QList<QThread*> decodingThreads;
};

std::shared_ptr<const Source> shared(Source source) { return std::make_shared<const Source>(std::move(source)); }

Source raw(const QByteArray& bytes, const QString& key)
{
    return Source::provider(std::make_shared<RawImageDataProvider>(bytes, key));
}

} // namespace

class PictorManagerTest : public ManagerFixture {
protected:
    QUrl at(const char* path) const { return server.url(QString::fromUtf8(path)); }
};

TEST_F(PictorManagerTest, DownloadsOnceThenServesFromMemoryThenDisk)
{
    const Source source = network(at("/image.png"));
    const auto first = retrieve(source);
    ASSERT_TRUE(first.isSuccess()) << first.error().what();
    EXPECT_TRUE(lastTask);
    EXPECT_EQ(first.value().cacheType, CacheType::none);
    EXPECT_EQ(first.value().image.pixelSize(), QSizeF(32, 24));
    EXPECT_TRUE(first.value().metrics.has_value());
    EXPECT_EQ(first.value().data(), ImageServer::png());

    const auto second = retrieve(source);
    ASSERT_TRUE(second.isSuccess());
    EXPECT_EQ(second.value().cacheType, CacheType::memory);
    EXPECT_FALSE(lastTask);
    EXPECT_FALSE(second.value().metrics.has_value());

    ASSERT_TRUE(QTest::qWaitFor([&] { return cache->diskStorage()->isCached(source.cacheKey()); }, 5000));
    cache->clearMemoryCache();
    const auto third = retrieve(source);
    ASSERT_TRUE(third.isSuccess());
    EXPECT_EQ(third.value().cacheType, CacheType::disk);
    EXPECT_EQ(server.hits("/image.png"), 1);
}

TEST_F(PictorManagerTest, CallerItemsWinOverTheManagersOwnCache)
{
    auto other = make(QStringLiteral("other"));
    const Source source = network(at("/image.png"));
    ASSERT_TRUE(retrieve(source, QList<Item>{Item::targetCache(other)}).isSuccess());
    EXPECT_EQ(other->imageCachedType(source.cacheKey()), CacheType::memory);
    EXPECT_EQ(cache->imageCachedType(source.cacheKey()), CacheType::none);
    drain(other);
}

TEST_F(PictorManagerTest, OnlyFromCacheMissesWithTheKeyUnlessForcedToRefresh)
{
    const Source source = network(at("/image.png"), QStringLiteral("the-key"));
    const auto miss = retrieve(source, QList<Item>{Item::onlyFromCache()});
    ASSERT_TRUE(miss.isFailure());
    EXPECT_EQ(miss.error().reason(), PictorError::Reason::imageNotExisting);
    EXPECT_TRUE(QString::fromUtf8(miss.error().what()).contains(QStringLiteral("the-key")));
    EXPECT_EQ(server.hits("/image.png"), 0);
    EXPECT_TRUE(retrieve(source, QList<Item>{Item::onlyFromCache(), Item::forceRefresh()}).isSuccess());
    EXPECT_EQ(server.hits("/image.png"), 1);
}

TEST_F(PictorManagerTest, ProcessedImageIsMadeAgainFromTheCachedOriginalWithoutDownloading)
{
    const Source source = network(at("/image.png"));
    const auto blackWhite = std::make_shared<const BlackWhiteProcessor>();
    // The original data is stored too; waiting for the cache, both writes are done at completion.
    ASSERT_TRUE(retrieve(source, QList<Item>{Item::processor(blackWhite), Item::cacheOriginalImage(), Item::waitForCache()}).isSuccess());
    EXPECT_TRUE(cache->diskStorage()->isCached(ImageCache::computedKey(source.cacheKey(), blackWhite->identifier())));
    EXPECT_TRUE(cache->diskStorage()->isCached(source.cacheKey()));

    const auto small = std::make_shared<const DownsamplingImageProcessor>(QSizeF(16, 12));
    const auto result = retrieve(source, QList<Item>{Item::processor(small), Item::waitForCache()});
    ASSERT_TRUE(result.isSuccess()) << result.error().what();
    EXPECT_EQ(result.value().cacheType, CacheType::none);
    EXPECT_EQ(result.value().image.pixelSize(), QSizeF(16, 12));
    EXPECT_TRUE(cache->diskStorage()->isCached(ImageCache::computedKey(source.cacheKey(), small->identifier())));
    EXPECT_EQ(server.hits("/image.png"), 1);
}

TEST_F(PictorManagerTest, AHitStoredAsOriginalDataIsProcessedAgain)
{
    const Source source = network(at("/image.png"));
    const QList<Item> items{Item::processor(std::make_shared<const DownsamplingImageProcessor>(QSizeF(16, 12))),
                            Item::cacheSerializer(std::make_shared<const DefaultCacheSerializer>(1.0, true)), Item::waitForCache()};
    ASSERT_TRUE(retrieve(source, items).isSuccess());
    cache->clearMemoryCache();
    const auto hit = retrieve(source, items);
    ASSERT_TRUE(hit.isSuccess());
    EXPECT_EQ(hit.value().cacheType, CacheType::disk);
    EXPECT_EQ(hit.value().image.pixelSize(), QSizeF(16, 12));
    EXPECT_EQ(server.hits("/image.png"), 1);
}

TEST_F(PictorManagerTest, AnAnimationHitWithOtherSettingsIsDecodedAgainOffTheGuiThread)
{
    const QList<GifFrame> frames(3, GifFrame{QSize(8, 6), 2, 5});
    const Source source = raw(gif(QSize(8, 6), frames), QStringLiteral("animation"));
    const auto recorder = std::make_shared<ThreadRecordingProcessor>();
    ASSERT_TRUE(retrieve(source, QList<Item>{Item::processor(recorder), Item::cacheMemoryOnly()}).isSuccess());
    ASSERT_EQ(recorder->decodingThreads.size(), 1);

    const auto hit = retrieve(source, QList<Item>{Item::processor(recorder), Item::cacheMemoryOnly(), Item::scaleFactor(2.0)});
    ASSERT_TRUE(hit.isSuccess()) << hit.error().what();
    EXPECT_EQ(hit.value().cacheType, CacheType::memory);
    EXPECT_EQ(hit.value().image.imageFrameCount(), 3);
    EXPECT_EQ(hit.value().image.creatingOptions()->scale, 2.0);
    std::lock_guard lock(recorder->mutex);
    ASSERT_EQ(recorder->decodingThreads.size(), 2);
    EXPECT_NE(recorder->decodingThreads.last(), QThread::currentThread());
}

TEST_F(PictorManagerTest, StoringFollowsTheOptions)
{
    // Memory only, and the default processor keeps no second copy of the original.
    const Source memoryOnly = network(at("/image.png"), QStringLiteral("memory-only"));
    ASSERT_TRUE(retrieve(memoryOnly, QList<Item>{Item::cacheMemoryOnly(), Item::cacheOriginalImage(), Item::waitForCache()}).isSuccess());
    EXPECT_EQ(cache->imageCachedType(memoryOnly.cacheKey()), CacheType::memory);
    EXPECT_FALSE(cache->diskStorage()->isCached(memoryOnly.cacheKey()));

    // The caller gets the modified image, the cache keeps the loaded one.
    const auto flip = std::make_shared<const AnyImageModifier>([](const Image& image) { return Image(image.bitmap().mirrored(true, false)); });
    const Source modified = network(at("/image.png"), QStringLiteral("modified"));
    const auto result = retrieve(modified, QList<Item>{Item::imageModifier(flip)});
    ASSERT_TRUE(result.isSuccess());
    const std::optional<Image> kept = cache->retrieveImageInMemoryCache(modified.cacheKey(), PictorParsedOptionsInfo());
    ASSERT_TRUE(kept);
    EXPECT_EQ(result.value().image.bitmap().pixel(0, 0), kept->bitmap().pixel(kept->bitmap().width() - 1, 0));
    EXPECT_NE(result.value().image.bitmap().pixel(0, 0), kept->bitmap().pixel(0, 0));
}

TEST_F(PictorManagerTest, AlternativesAreTriedInTurnAndAllFailuresAreReported)
{
    const Source first = network(at("/status/404"));
    const QList<std::shared_ptr<const Source>> alternatives{shared(network(at("/status/500"))), shared(network(at("/page.html")))};
    const auto exhausted = retrieve(first, QList<Item>{Item::alternativeSources(alternatives)});
    ASSERT_TRUE(exhausted.isFailure());
    EXPECT_EQ(exhausted.error().reason(), PictorError::Reason::alternativeSourcesExhausted);
    const QString text = QString::fromUtf8(exhausted.error().what());
    EXPECT_LT(text.indexOf(QStringLiteral("/status/404")), text.indexOf(QStringLiteral("/status/500")));
    EXPECT_LT(text.indexOf(QStringLiteral("/status/500")), text.indexOf(QStringLiteral("/page.html")));
    // The failures themselves travel with it, in the order tried.
    const auto* failures = exhausted.error().payload<QList<PropagationError>>();
    ASSERT_TRUE(failures);
    ASSERT_EQ(failures->size(), 3);
    EXPECT_EQ(failures->at(0).source, first);
    EXPECT_EQ(failures->at(0).error.reason(), PictorError::Reason::invalidHTTPStatusCode);
    EXPECT_EQ(failures->at(2).source, *alternatives[1]);
    EXPECT_EQ(failures->at(2).error.reason(), PictorError::Reason::processingFailed);

    // A single failing source reports its own error.
    EXPECT_EQ(retrieve(first).error().reason(), PictorError::Reason::invalidHTTPStatusCode);

    // An alternative that works is the result's source; the original stays the one asked for.
    QList<std::shared_ptr<DownloadTask>> updated;
    std::optional<PictorManager::RetrieveResult> result;
    manager->retrieveImage(first, QList<Item>{Item::alternativeSources({shared(network(at("/image.png")))})}, {},
                           [&](std::shared_ptr<DownloadTask> task) { updated.append(task); },
                           [&](PictorManager::RetrieveResult r) { result.emplace(std::move(r)); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return result.has_value(); }, 10000));
    ASSERT_TRUE(result->isSuccess());
    EXPECT_EQ(result->value().source, network(at("/image.png")));
    EXPECT_EQ(result->value().originalSource, first);
    ASSERT_EQ(updated.size(), 1);
    EXPECT_TRUE(updated.first());
}

TEST_F(PictorManagerTest, AConstrainedNetworkTurnsToTheLowDataSourceOnce)
{
    const Source full = network(at("/slow.png"), QStringLiteral("full"));
    const Source lowData = network(at("/image.png"), QStringLiteral("low-data"));
    for (const bool constrained : {false, true}) {
        downloader->setConstrainedNetworkCheck([constrained] { return constrained; });
        cache->clearMemoryCache();
        const auto result = retrieve(full, QList<Item>{Item::lowDataMode(shared(lowData)), Item::forceRefresh()});
        ASSERT_TRUE(result.isSuccess()) << "constrained " << constrained << ": " << result.error().what();
        // The low-data source is fetched with the field cleared: its own request may use the
        // constrained network, so it is not refused in turn.
        EXPECT_EQ(result.value().source, constrained ? lowData : full);
        EXPECT_EQ(result.value().originalSource, full);
    }
    EXPECT_EQ(server.hits("/slow.png"), 1);
    EXPECT_EQ(server.hits("/image.png"), 1);

    // Without a low-data source the request is not held back.
    EXPECT_TRUE(retrieve(network(at("/image.png"), QStringLiteral("plain")), QList<Item>{Item::forceRefresh()}).isSuccess());
    EXPECT_EQ(server.hits("/image.png"), 2);
}

TEST_F(PictorManagerTest, RetriesRestartTheFirstSourceAndCountAcrossSources)
{
    const auto strategy = std::make_shared<CountingRetryStrategy>(2);
    const auto result = retrieve(network(at("/status/500")),
                                 QList<Item>{Item::retryStrategy(strategy), Item::alternativeSources({shared(network(at("/status/404")))})});
    ASSERT_TRUE(result.isFailure());
    EXPECT_EQ(result.error().reason(), PictorError::Reason::alternativeSourcesExhausted);
    EXPECT_EQ(strategy->counts, (QList<int>{0, 1, 2, 3}));
    EXPECT_EQ(server.hits("/status/500"), 3);
    EXPECT_EQ(server.hits("/status/404"), 1);
}

TEST_F(PictorManagerTest, CancelledRetrievalIsNeitherRetriedNorReplaced)
{
    const auto strategy = std::make_shared<CountingRetryStrategy>(5);
    int calls = 0;
    std::optional<PictorManager::RetrieveResult> result;
    const auto task = manager->retrieveImage(network(at("/slow.png")),
                                             QList<Item>{Item::retryStrategy(strategy), Item::alternativeSources({shared(network(at("/image.png")))})},
                                             {}, {}, [&](PictorManager::RetrieveResult r) {
                                                 ++calls;
                                                 result.emplace(std::move(r));
                                             });
    ASSERT_TRUE(task);
    task->cancel();
    ASSERT_TRUE(QTest::qWaitFor([&] { return result.has_value(); }, 5000));
    QTest::qWait(600);
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(result->error().isTaskCancelled());
    EXPECT_TRUE(strategy->counts.isEmpty());
    EXPECT_EQ(server.hits("/image.png"), 0);
}

TEST_F(PictorManagerTest, ProvidersAreLoadedProcessedAndCached)
{
    const auto loaded = retrieve(raw(ImageServer::png(), QStringLiteral("raw-key")));
    ASSERT_TRUE(loaded.isSuccess());
    EXPECT_FALSE(lastTask);
    EXPECT_EQ(loaded.value().cacheType, CacheType::none);
    EXPECT_EQ(loaded.value().data(), ImageServer::png());
    EXPECT_EQ(cache->imageCachedType(QStringLiteral("raw-key")), CacheType::memory);

    const auto notImage = retrieve(raw("plain text", QStringLiteral("text")));
    ASSERT_TRUE(notImage.isFailure());
    EXPECT_EQ(notImage.error().reason(), PictorError::Reason::processingFailed);
    const auto notBase64
        = retrieve(Source::provider(std::make_shared<Base64ImageDataProvider>(QStringLiteral("%%%"), QStringLiteral("b64"))));
    ASSERT_TRUE(notBase64.isFailure());
    EXPECT_EQ(notBase64.error().reason(), PictorError::Reason::dataProviderError);
    EXPECT_TRUE(QString::fromUtf8(notBase64.error().what()).contains(QStringLiteral("invalidBase64")));
}

TEST_F(PictorManagerTest, CompletionRunsOnceOnTheNamedQueueAcrossRetriesAndAlternatives)
{
    const auto queue = DispatchQueue::create(QStringLiteral("test.callbacks"));
    for (const bool wait : {false, true}) {
        std::atomic_int calls = 0;
        std::atomic_bool onQueue = false;
        QList<Item> items{Item::callbackQueue(CallbackQueue::dispatch(queue)), Item::retryStrategy(std::make_shared<CountingRetryStrategy>(1)),
                          Item::alternativeSources({shared(network(at("/image.png"), QStringLiteral("alt") + QString::number(wait)))})};
        if (wait)
            items.append(Item::waitForCache());
        manager->retrieveImage(network(at("/status/500")), items, {}, {}, [&](PictorManager::RetrieveResult result) {
            onQueue = queue->isCurrent() && result.isSuccess();
            ++calls;
        });
        ASSERT_TRUE(QTest::qWaitFor([&] { return calls > 0; }, 10000));
        QTest::qWait(50);
        EXPECT_EQ(calls, 1);
        EXPECT_TRUE(onQueue);
    }
}

struct BadSource {
    const char* name;
    std::function<Source(const QDir&)> make;
    PictorError::Reason reason;
};

class PictorManagerBadInputTest : public PictorManagerTest, public ::testing::WithParamInterface<BadSource> {};

TEST_P(PictorManagerBadInputTest, FailsOnceWithItsReason)
{
    QTemporaryDir folder;
    const QDir dir(folder.path());
    dir.mkpath(QStringLiteral("Foo.app/Contents"));
    QFile text(dir.filePath(QStringLiteral("notes.png")));
    text.open(QIODevice::WriteOnly);
    text.write("not an image");
    text.close();
    const auto result = retrieve(GetParam().make(dir));
    ASSERT_TRUE(result.isFailure());
    EXPECT_EQ(result.error().reason(), GetParam().reason) << result.error().what();
}

INSTANTIATE_TEST_SUITE_P(
    Sources, PictorManagerBadInputTest,
    ::testing::Values(
        BadSource{"NotAUrl", [](const QDir&) { return network(QUrl(QStringLiteral("not a url"))); }, PictorError::Reason::URLSessionError},
        BadSource{"FtpUrl", [](const QDir&) { return network(QUrl(QStringLiteral("ftp://host/a.png"))); },
                  PictorError::Reason::URLSessionError},
        BadSource{"MissingFile", [](const QDir& dir) { return ImageResource(QUrl::fromLocalFile(dir.filePath(QStringLiteral("none.png")))).convertToSource(); },
                  PictorError::Reason::dataProviderError},
        BadSource{"NotAnImageFile", [](const QDir& dir) { return ImageResource(QUrl::fromLocalFile(dir.filePath(QStringLiteral("notes.png")))).convertToSource(); },
                  PictorError::Reason::processingFailed},
        BadSource{"AppFolder", [](const QDir& dir) { return ImageResource(QUrl::fromLocalFile(dir.filePath(QStringLiteral("Foo.app")))).convertToSource(); },
                  PictorError::Reason::dataProviderError}),
    [](const auto& test) { return std::string(test.param.name); });
