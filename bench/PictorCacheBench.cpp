// The image cache inside one process, each figure next to a reference run here:
//   memory hit (target under 1 µs median);
//   disk hit of a 600x340 JPEG including decode against QImageReader decoding the same file
//   (target at most 1.2x);
//   storing 10,000 small images (PNG encoding included) then trimming to half the size limit
//   (target under 2 s), against QImage::save of the same images; total size of 10,000 files (target under 100 ms) against a
//   QDirIterator walk;
//   resident memory while 1 GiB of images passes through a memory level limited to 64 MiB.
// Run: pictor-cache-bench FILE_600x340.jpg (pictor-bench.sh makes the file and runs it).
#include "pictor/cache/DefaultCacheSerializer.h"
#include "pictor/cache/ImageCache.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImageReader>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <future>

#include <unistd.h>

using namespace pictor;

namespace {

QString jpegPath;
QByteArray jpegBytes;

std::shared_ptr<ImageCache> makeCache(const QString& folder, uint64_t sizeLimit, int64_t costLimit)
{
    DiskStorageConfig disk(QStringLiteral("bench"), sizeLimit, folder);
    return ImageCache::create(MemoryStorage<Image>::create(MemoryStorageConfig(costLimit, 120)), DiskStorage::create(disk, true));
}

void BM_MemoryHit(benchmark::State& state)
{
    QTemporaryDir folder;
    auto cache = makeCache(folder.path(), 0, 0);
    PictorParsedOptionsInfo options;
    options.callbackQueue = CallbackQueue::untouch();
    cache->store(Image(QImage(600, 340, QImage::Format_ARGB32)), std::nullopt, QStringLiteral("key"), options, false);
    for (auto _ : state)
        benchmark::DoNotOptimize(cache->retrieveImageInMemoryCache(QStringLiteral("key"), options));
}
BENCHMARK(BM_MemoryHit)->Unit(benchmark::kNanosecond);

void BM_DiskHitJpeg(benchmark::State& state)
{
    QTemporaryDir folder;
    auto cache = makeCache(folder.path(), 0, 0);
    cache->diskStorage()->store(jpegBytes, QStringLiteral("key"));
    PictorParsedOptionsInfo options;
    options.loadDiskFileSynchronously = true;
    for (auto _ : state) {
        std::optional<Image> image;
        cache->retrieveImageInDiskCache(QStringLiteral("key"), options, CallbackQueue::untouch(),
                                        [&](Result<std::optional<Image>, PictorError> result) { image = result.value(); });
        benchmark::DoNotOptimize(image);
    }
}
BENCHMARK(BM_DiskHitJpeg)->Unit(benchmark::kMicrosecond);

void BM_QImageReaderJpeg(benchmark::State& state)
{
    for (auto _ : state) {
        QImageReader reader(jpegPath);
        QImage image = reader.read();
        benchmark::DoNotOptimize(image);
    }
}
BENCHMARK(BM_QImageReaderJpeg)->Unit(benchmark::kMicrosecond);

double msSince(const QElapsedTimer& timer) { return double(timer.nsecsElapsed()) / 1e6; }

void storeAndTrim()
{
    QTemporaryDir folder;
    QList<QImage> smalls;
    for (int i = 0; i < 10000; ++i) {
        QImage image(16, 16, QImage::Format_RGB32);
        image.fill(QColor::fromRgb(i * 2654435761u));
        smalls.append(image);
    }
    auto cache = makeCache(folder.path() + "/ours", 0, 0);
    PictorParsedOptionsInfo options;
    options.callbackQueue = CallbackQueue::untouch();
    std::promise<void> lastStored;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < smalls.size(); ++i) {
        cache->store(Image(smalls[i]), std::nullopt, QString::number(i), options, true,
                     [&, last = i + 1 == smalls.size()](CacheStoreResult) {
                         if (last)
                             lastStored.set_value();
                     });
    }
    lastStored.get_future().wait();
    const double storeMs = msSince(timer);
    timer.restart();
    const uint64_t total = cache->diskStorage()->totalSize();
    const double sizeMs = msSince(timer);
    DiskStorageConfig config = cache->diskStorage()->config();
    config.sizeLimit = total;
    cache->diskStorage()->setConfig(config);
    timer.restart();
    const qsizetype removed = cache->diskStorage()->removeSizeExceededValues().size();
    const double trimMs = msSince(timer);

    QDir().mkpath(folder.path() + "/plain");
    timer.restart();
    for (int i = 0; i < smalls.size(); ++i)
        smalls[i].save(folder.path() + "/plain/" + QString::number(i), "PNG");
    const double plainMs = msSince(timer);
    // Size of a folder of 10,000 files, both ways on the same folder.
    auto full = makeCache(folder.path() + "/full", 0, 0);
    timer.restart();
    for (int i = 0; i < smalls.size(); ++i)
        full->diskStorage()->store(QByteArray(300, char(i)), QString::number(i));
    const double rawStoreMs = msSince(timer);
    QDir().mkpath(folder.path() + "/raw");
    timer.restart();
    for (int i = 0; i < smalls.size(); ++i) {
        QFile file(folder.path() + "/raw/" + QString::number(i));
        file.open(QIODevice::WriteOnly);
        file.write(QByteArray(300, char(i)));
    }
    const double rawPlainMs = msSince(timer);
    timer.restart();
    const uint64_t fullTotal = full->diskStorage()->totalSize();
    const double fullSizeMs = msSince(timer);
    timer.restart();
    uint64_t walked = 0;
    for (QDirIterator it(full->diskStorage()->directoryPath(), QDir::Files); it.hasNext();) {
        it.next();
        walked += uint64_t(it.fileInfo().size());
    }
    const double walkMs = msSince(timer);

    printf("store 10,000 small images:  %8.1f ms   (QImage::save of the same images as PNG %8.1f ms, ratio %.2f)\n", storeMs, plainMs, storeMs / plainMs);
    printf("store 10,000 encoded files: %8.1f ms   (QFile writes of the same bytes %8.1f ms, ratio %.2f)\n", rawStoreMs, rawPlainMs, rawStoreMs / rawPlainMs);
    printf("trim to half the limit:     %8.1f ms   (%lld files removed); store + trim %8.1f ms (target < 2000)\n", trimMs,
           (long long)removed, storeMs + sizeMs + trimMs);
    printf("total size of 10,000 files: %8.1f ms   (QDirIterator walk %8.1f ms, ratio %.2f; %llu = %llu bytes) (target < 100)\n",
           fullSizeMs, walkMs, fullSizeMs / walkMs, (unsigned long long)fullTotal, (unsigned long long)walked);
}

int64_t residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    statm.open(QIODevice::ReadOnly);
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.value(1).toLongLong() * ::sysconf(_SC_PAGE_SIZE);
}

void memoryLevel()
{
    QTemporaryDir folder;
    const int64_t limit = int64_t(64) << 20;
    auto cache = makeCache(folder.path(), 0, limit);
    PictorParsedOptionsInfo options;
    options.callbackQueue = CallbackQueue::untouch();
    const int64_t before = residentBytes();
    int64_t peak = before;
    int64_t passed = 0;
    for (int i = 0; passed < (int64_t(1) << 30); ++i) {
        QImage bitmap(1024, 1024, QImage::Format_ARGB32);
        bitmap.fill(QColor::fromRgb(i * 2654435761u));
        cache->store(Image(bitmap), std::nullopt, QString::number(i), options, false);
        passed += bitmap.sizeInBytes();
        peak = std::max(peak, residentBytes());
    }
    printf("memory level, 64 MiB limit: %lld MiB passed, held cost %lld MiB, resident growth at peak %lld MiB\n",
           (long long)(passed >> 20), (long long)(cache->memoryStorage()->totalCost() >> 20), (long long)((peak - before) >> 20));
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (argc < 2) {
        fprintf(stderr, "usage: pictor-cache-bench FILE_600x340.jpg [benchmark flags]\n");
        return 2;
    }
    jpegPath = QString::fromLocal8Bit(argv[1]);
    QFile file(jpegPath);
    if (!file.open(QIODevice::ReadOnly)) {
        fprintf(stderr, "pictor-cache-bench: cannot read %s\n", argv[1]);
        return 1;
    }
    jpegBytes = file.readAll();
    storeAndTrim();
    memoryLevel();
    fflush(stdout);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
