// Cost of the backend client, each against a reference measured in the same run:
//  - decoding a 1,000-item wallpapers page into records, against a bare QJsonDocument::fromJson
//    of the same bytes (target: at most 2x);
//  - a response-cache hit, against the same request answered by the sample catalogue over
//    loopback TLS (target: at least 100x faster), for the request alone and for the whole call
//    with its decoding;
//  - loading an api_cache.json of 1,000 entries at start (target: under 20 ms);
//  - one more store into it on the GUI thread, against writing the whole file there.
// Run: backend-bench --benchmark_out=/dev/stderr > /dev/null (the client logs every request on
// standard output).
#include "backend/APIService.h"
#include "backend/ResponseCache.h"
#include "backend/WallpapersResponse.h"
#include "foundation/Clock.h"
#include "foundation/Config.h"
#include "foundation/JsonWriter.h"
#include "foundation/Shared.h"
#include "platform/Http.h"

#include <sample-catalogue/SampleCatalogue.h>

#include <QCoreApplication>
#include <QCoro/QCoroTask>
#include <QJsonDocument>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>

using samplecatalogue::SampleCatalogue;

namespace {

constexpr int kPageItems = 1000;
constexpr int kCacheEntries = 1000;

WallpaperResponseItem sampleItem(int index)
{
    WallpaperResponseItem item;
    item.key = 1'718'000'000'000 + index * 37;
    item.title = QStringLiteral("Sample wallpaper number %1").arg(index);
    item.downloads = 1000 + index;
    item.creator = QStringLiteral("creator.%1").arg(index % 17);
    item.likes = index * 3;
    item.categoryId = index % 8;
    item.resolutionHeight = 2160;
    item.resolutionWidth = 3840;
    item.fileSize = 50'000'000 + index;
    item.durationSeconds = 20 + index % 40;
    item.createdAt = QStringLiteral("2025-06-08T03:11:17.012345+00:00");
    if (index % 2)
        item.for_lockscreen = index % 4 == 1;
    return item;
}

QByteArray wallpapersPage(int count)
{
    QJsonArray items;
    for (int i = 0; i < count; ++i)
        items.append(sampleItem(i).toJson());
    return JsonWriter::toBytes(QJsonObject{{QStringLiteral("wallpapers"), items}});
}

void BM_BareParseOfPage(benchmark::State& state)
{
    const QByteArray page = wallpapersPage(kPageItems);
    for (auto _ : state)
        benchmark::DoNotOptimize(QJsonDocument::fromJson(page));
    state.SetBytesProcessed(state.iterations() * page.size());
}
BENCHMARK(BM_BareParseOfPage)->Unit(benchmark::kMillisecond);

void BM_DecodePageIntoRecords(benchmark::State& state)
{
    const QByteArray page = wallpapersPage(kPageItems);
    for (auto _ : state)
        benchmark::DoNotOptimize(WallpapersResponse::listFromReply(page));
    state.SetBytesProcessed(state.iterations() * page.size());
}
BENCHMARK(BM_DecodePageIntoRecords)->Unit(benchmark::kMillisecond);

// The sample catalogue on a free port, and the configuration that trusts its certificate.
class LoopbackCatalogue {
public:
    LoopbackCatalogue()
    {
        SampleCatalogue::Options options;
        options.mediaFolder = folder_.path();
        options.certificateFile = QStringLiteral(QUORVELLE_TEST_DATA_DIR "/sample-catalogue-cert.pem");
        options.privateKeyFile = QStringLiteral(QUORVELLE_TEST_DATA_DIR "/sample-catalogue-key.pem");
        server_ = std::make_unique<SampleCatalogue>(options);
        if (!server_->start())
            qFatal("the sample catalogue did not start: %s", qPrintable(server_->errorString()));
        config_.backendBaseUrl = QUrl(server_->backendUrl());
        config_.backendKey = options.bearerKey;
        config_.caCertificateFile = options.certificateFile;
    }

    // A client of this catalogue with its response cache in memory only.
    APIService::Settings settings() const { return {server_->backendUrl(), config_.backendKey, QString()}; }

    Config config_;

private:
    QTemporaryDir folder_;
    std::unique_ptr<SampleCatalogue> server_;
};

LoopbackCatalogue& catalogue()
{
    static LoopbackCatalogue instance;
    return instance;
}

void BM_HomePageFromTheCatalogue(benchmark::State& state)
{
    Shared<Config>::Override config(catalogue().config_);
    for (auto _ : state) {
        // A fresh client each time: nothing cached, every request goes over TLS.
        APIService api(catalogue().settings(), Clock::system(), Http::shared());
        benchmark::DoNotOptimize(QCoro::waitFor(api.getHomePage()));
    }
}
BENCHMARK(BM_HomePageFromTheCatalogue)->Unit(benchmark::kMicrosecond);

// The request core alone, without decoding: the same GET answered over TLS or from the cache.
void BM_RequestFromTheCatalogue(benchmark::State& state)
{
    Shared<Config>::Override config(catalogue().config_);
    const QUrl url(catalogue().config_.backendBaseUrl.toString() + QStringLiteral("/get-home-page"));
    for (auto _ : state) {
        APIService api(catalogue().settings(), Clock::system(), Http::shared());
        benchmark::DoNotOptimize(QCoro::waitFor(api.request(url, "GET")));
    }
}
BENCHMARK(BM_RequestFromTheCatalogue)->Unit(benchmark::kMicrosecond);

void BM_RequestFromTheCache(benchmark::State& state)
{
    Shared<Config>::Override config(catalogue().config_);
    const QUrl url(catalogue().config_.backendBaseUrl.toString() + QStringLiteral("/get-home-page"));
    APIService api(catalogue().settings(), Clock::system(), Http::shared());
    QCoro::waitFor(api.request(url, "GET"));
    for (auto _ : state)
        benchmark::DoNotOptimize(QCoro::waitFor(api.request(url, "GET")));
}
BENCHMARK(BM_RequestFromTheCache)->Unit(benchmark::kMicrosecond);

void BM_HomePageFromTheCache(benchmark::State& state)
{
    Shared<Config>::Override config(catalogue().config_);
    APIService api(catalogue().settings(), Clock::system(), Http::shared());
    QCoro::waitFor(api.getHomePage());
    for (auto _ : state)
        benchmark::DoNotOptimize(QCoro::waitFor(api.getHomePage()));
}
BENCHMARK(BM_HomePageFromTheCache)->Unit(benchmark::kMicrosecond);

// A cache file of 1,000 pages of 20 items, as the feeds ask for them.
QString cacheFile(const QTemporaryDir& folder)
{
    const QString path = folder.filePath(QStringLiteral("api_cache.json"));
    SystemClock clock;
    ResponseCache writer(path, clock);
    const QByteArray page = wallpapersPage(20);
    for (int i = 0; i < kCacheEntries; ++i)
        writer.store(page, QStringLiteral("GET_https://backend.example/functions/v1/get-wallpapers?limit=20&mode=recent&page=%1").arg(i));
    return path;
}

void BM_BareParseOfCacheFile(benchmark::State& state)
{
    QTemporaryDir folder;
    QFile file(cacheFile(folder));
    file.open(QIODevice::ReadOnly);
    const QByteArray content = file.readAll();
    for (auto _ : state)
        benchmark::DoNotOptimize(QJsonDocument::fromJson(content));
    state.counters["file_bytes"] = static_cast<double>(content.size());
}
BENCHMARK(BM_BareParseOfCacheFile)->Unit(benchmark::kMillisecond);

void BM_LoadCacheFileOf1000Entries(benchmark::State& state)
{
    QTemporaryDir folder;
    const QString path = cacheFile(folder);
    SystemClock clock;
    for (auto _ : state) {
        ResponseCache loaded(path, clock);
        if (loaded.size() != kCacheEntries)
            state.SkipWithError("the cache file did not load");
    }
}
BENCHMARK(BM_LoadCacheFileOf1000Entries)->Unit(benchmark::kMillisecond);

// One more store into a cache of 1,000 entries, as the GUI thread sees it (the file is written
// by a worker meanwhile), against writing that file whole, which is what a store cost the GUI
// thread while it wrote the file itself.
void BM_StoreIntoCacheOf1000Entries(benchmark::State& state)
{
    QTemporaryDir folder;
    SystemClock clock;
    ResponseCache cache(cacheFile(folder), clock);
    const QByteArray page = wallpapersPage(20);
    int extra = 0;
    for (auto _ : state)
        cache.store(page, QStringLiteral("GET_https://backend.example/functions/v1/extra?page=%1").arg(extra++ % 50));
}
BENCHMARK(BM_StoreIntoCacheOf1000Entries)->Unit(benchmark::kMillisecond);

void BM_WriteCacheFileOf1000Entries(benchmark::State& state)
{
    QTemporaryDir folder;
    const QString path = cacheFile(folder);
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    const QJsonObject content = QJsonDocument::fromJson(file.readAll()).object();
    for (auto _ : state) {
        QSaveFile out(path);
        out.open(QIODevice::WriteOnly);
        out.write(QJsonDocument(content).toJson(QJsonDocument::Compact));
        out.commit();
    }
}
BENCHMARK(BM_WriteCacheFileOf1000Entries)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
