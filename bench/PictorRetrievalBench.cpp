// Retrieval through PictorManager inside one process, each figure next to a reference run here:
//   a processed image served from the memory cache (target under 5 µs median);
//   a 600x340 JPEG served from the disk cache, decode included (target at most 1.3x the
//   QImageReader decode of the same file that pictor-cache-bench measures in the same script run);
//   the frame at 2 s of a 1080p H.264 file as JPEG bytes (the script runs the ffmpeg command line
//   as its reference).
// Run: pictor-retrieval-bench FILE_600x340.jpg FILE_1080p.mp4 (pictor-bench.sh makes the files).
#include "pictor/retrieval/AVAssetImageDataProvider.h"
#include "pictor/retrieval/ImageResource.h"
#include "pictor/retrieval/PictorManager.h"

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <future>

using namespace pictor;

namespace {

QString jpegPath;
QString moviePath;

struct Setup {
    QTemporaryDir folder;
    std::shared_ptr<ImageCache> cache;
    std::shared_ptr<PictorManager> manager;
    Source source = Source::network(std::make_shared<ImageResource>(QUrl(QStringLiteral("https://example.invalid/small.jpg"))));

    Setup()
    {
        DiskStorageConfig disk(QStringLiteral("bench"), 0, folder.path());
        cache = ImageCache::create(MemoryStorage<Image>::create(MemoryStorageConfig(0, 120)), DiskStorage::create(disk, true));
        manager = PictorManager::create(ImageDownloader::create(QStringLiteral("bench")), cache);
    }
    // Retrieves on this thread: the cache and the completion answer at once on the GUI thread.
    bool retrieve(const PictorManager::OptionList& options)
    {
        bool hit = false;
        manager->retrieveImage(source, options, {}, {}, [&hit](PictorManager::RetrieveResult result) {
            hit = result.isSuccess() && result.value().cacheType != CacheType::none;
        });
        return hit;
    }
};

void BM_ManagerMemoryHit(benchmark::State& state)
{
    Setup setup;
    setup.cache->store(Image(QImage(600, 340, QImage::Format_ARGB32)), std::nullopt, setup.source.cacheKey(), PictorParsedOptionsInfo(), false);
    for (auto _ : state) {
        if (!setup.retrieve(std::nullopt))
            state.SkipWithError("not served from memory");
    }
}
BENCHMARK(BM_ManagerMemoryHit)->Unit(benchmark::kMicrosecond);

void BM_ManagerDiskHitJpeg(benchmark::State& state)
{
    Setup setup;
    QFile file(jpegPath);
    file.open(QIODevice::ReadOnly);
    setup.cache->diskStorage()->store(file.readAll(), setup.source.cacheKey());
    const PictorManager::OptionList options = QList<PictorOptionsInfoItem>{PictorOptionsInfoItem::loadDiskFileSynchronously()};
    for (auto _ : state) {
        // The hit goes back into memory: drop it, so that every round reads the disk.
        setup.cache->clearMemoryCache();
        if (!setup.retrieve(options))
            state.SkipWithError("not served from disk");
    }
}
BENCHMARK(BM_ManagerDiskHitJpeg)->Unit(benchmark::kMicrosecond);

void BM_VideoFrameAt2s(benchmark::State& state)
{
    const auto provider = std::make_shared<AVAssetImageDataProvider>(QUrl::fromLocalFile(moviePath), 2.0);
    for (auto _ : state) {
        std::promise<bool> done;
        provider->data([&done](ImageDataProvider::DataResult result) { done.set_value(result.isSuccess()); });
        if (!done.get_future().get())
            state.SkipWithError("no frame");
    }
}
BENCHMARK(BM_VideoFrameAt2s)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (argc < 3) {
        fprintf(stderr, "usage: pictor-retrieval-bench FILE_600x340.jpg FILE_1080p.mp4\n");
        return 2;
    }
    jpegPath = QString::fromLocal8Bit(argv[1]);
    moviePath = QString::fromLocal8Bit(argv[2]);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
