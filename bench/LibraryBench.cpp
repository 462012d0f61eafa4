// Cost of the personal library's stores at 10,000 liked wallpapers, each against a reference
// measured in the same run:
//  - loading the liked list at start from a store already in memory, against a bare
//    QJsonDocument::fromJson of the same bytes (target: under 100 ms);
//  - the same load with the defaults file read from disk first, as at a real launch (the
//    defaults file holds the list as Base64 text);
//  - one more like, which rewrites the whole stored array and the defaults file.
// Run: library-bench --benchmark_out=/dev/stderr > /dev/null (the stores log every load and
// save on standard output).
#include "backend/APIService.h"
#include "backend/WallpaperCounterService.h"
#include "foundation/Clock.h"
#include "foundation/JsonWriter.h"
#include "foundation/Paths.h"
#include "foundation/UserDefaults.h"
#include "library/LikedWallpapersService.h"
#include "library/WallpaperPlaylistService.h"
#include "model/WallpaperModel.h"
#include "platform/Http.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr int kLiked = 10'000;

WallpaperModel likedWallpaper(int index)
{
    WallpaperModel model;
    model.id = QUuid::createUuid();
    model.key = 1'718'000'000'000 + index * 37;
    model.title = QStringLiteral("Liked wallpaper number %1").arg(index);
    model.category = QStringLiteral("Nature");
    const QString base = QStringLiteral("https://assets.example.net/wallpaper/%1/").arg(*model.key);
    model.imageUrl = QUrl(base + QStringLiteral("thumbnail.webp"));
    model.posterUrl = QUrl(base + QStringLiteral("poster.webp"));
    model.videoUrl = QUrl(base + QStringLiteral("preview.mp4"));
    model.previewhdUrl = QUrl(base + QStringLiteral("previewhd.mp4"));
    model.masterUrl = QUrl(base + QStringLiteral("master.mp4"));
    model.likes = index * 3;
    model.downloads = 1000 + index;
    model.createdAt = QStringLiteral("2025-06-08T03:11:17.012345+00:00");
    model.resolution = QStringLiteral("3840×2160");
    model.is_4k = true;
    return model;
}

QByteArray likedArray()
{
    QJsonArray array;
    for (int i = 0; i < kLiked; ++i)
        array.append(likedWallpaper(i).toJson());
    return JsonWriter::toBytes(array);
}

// The services the liked list is built with; the counter is never reached.
struct Neighbours {
    ManualClock clock;
    Http http;
    APIService api{settings(), clock, http};

    static APIService::Settings settings()
    {
        APIService::Settings settings;
        settings.baseURL = QStringLiteral("https://127.0.0.1:1/functions/v1");
        return settings;
    }
    WallpaperCounterService counter{api};
};

void BM_BareParseOfLikedArray(benchmark::State& state)
{
    const QByteArray bytes = likedArray();
    for (auto _ : state)
        benchmark::DoNotOptimize(QJsonDocument::fromJson(bytes));
    state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(BM_BareParseOfLikedArray)->Unit(benchmark::kMillisecond);

void BM_LoadLikedFromMemory(benchmark::State& state)
{
    Neighbours neighbours;
    UserDefaults defaults(UserDefaults::kStandardDomain, UserDefaults::Storage::InMemory);
    defaults.setData(LikedWallpapersService::kLikedWallpapersKey, likedArray());
    WallpaperPlaylistService playlists(defaults, neighbours.clock);
    for (auto _ : state) {
        auto liked = std::make_unique<LikedWallpapersService>(defaults, playlists, neighbours.counter);
        // Freeing the list happens once, at exit; it is not part of the load.
        state.PauseTiming();
        if (liked->likedOrder().size() != kLiked)
            state.SkipWithError("the liked list did not load whole");
        liked.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_LoadLikedFromMemory)->Unit(benchmark::kMillisecond);

void BM_LoadLikedFromDisk(benchmark::State& state)
{
    Neighbours neighbours;
    QTemporaryDir folder;
    Paths::Override paths(folder.path());
    UserDefaults(UserDefaults::kStandardDomain).setData(LikedWallpapersService::kLikedWallpapersKey, likedArray());
    for (auto _ : state) {
        auto defaults = std::make_unique<UserDefaults>(UserDefaults::kStandardDomain);
        auto playlists = std::make_unique<WallpaperPlaylistService>(*defaults, neighbours.clock);
        auto liked = std::make_unique<LikedWallpapersService>(*defaults, *playlists, neighbours.counter);
        state.PauseTiming();
        if (liked->likedOrder().size() != kLiked)
            state.SkipWithError("the liked list did not load whole");
        liked.reset();
        playlists.reset();
        defaults.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_LoadLikedFromDisk)->Unit(benchmark::kMillisecond);

void BM_OneMoreLikeOnDisk(benchmark::State& state)
{
    Neighbours neighbours;
    QTemporaryDir folder;
    Paths::Override paths(folder.path());
    UserDefaults defaults(UserDefaults::kStandardDomain);
    defaults.setData(LikedWallpapersService::kLikedWallpapersKey, likedArray());
    WallpaperPlaylistService playlists(defaults, neighbours.clock);
    LikedWallpapersService liked(defaults, playlists, neighbours.counter);
    int index = kLiked;
    for (auto _ : state)
        liked.addWallpaper(likedWallpaper(index++), true);
}
BENCHMARK(BM_OneMoreLikeOnDisk)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
