// The engine's media paths, timed in-process for bench/engine-media-bench.sh, which compares
// them with the ffmpeg and curl tools doing the same job in the same run.
//
//   engine-media-bench still VIDEO             the still picture at 2 s (decode, JPEG, write)
//   engine-media-bench download URL RUNS       master downloads in fresh sessions; trust comes
//                                              from QUORVELLE_CA_CERT
//   engine-media-bench upload URL FILE RUNS    FILE sent as the community upload sends it (any
//                                              status counts: the whole body is sent either way)
//   engine-media-bench downloads URL COUNT     COUNT small files one after another through Http,
//                                              as the program fetches previews (a cache's copies)
// Transfers report the median rate and the median CPU time of the whole process during a call.
//   engine-media-bench image-cache IMAGE       memory and disk hits of the image cache

#include "backend/UploadError.h"
#include "backend/WallpaperFileUpload.h"
#include "engine/StaticWallpaperService.h"
#include "engine/WallpaperDownloadService.h"
#include "engine/WallpaperImageCache.h"
#include "foundation/AppError.h"
#include "foundation/Paths.h"
#include "foundation/UserDefaults.h"
#include "platform/Http.h"
#include "platform/HttpWorker.h"

#include <QCoreApplication>
#include <QCoro/QCoroTask>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include "support/TaskWait.h"

#include <exception>
#include <vector>

#include <sys/resource.h>

namespace {

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// CPU seconds the process (every thread) has used so far.
double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& time) { return double(time.tv_sec) + double(time.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

int still(const QString& video)
{
    UserDefaults loginWindow(StaticWallpaperService::kLoginWindowDomain, UserDefaults::Storage::InMemory);
    StaticWallpaperService service(loginWindow);
    QElapsedTimer timer;
    timer.start();
    const QUrl image = waitForTask(service.extractFrameImage(QUrl::fromLocalFile(video)));
    std::printf("still %lld ms (%s)\n", qint64(timer.elapsed()), qPrintable(image.toLocalFile()));
    return 0;
}

int download(const QUrl& url, int runs)
{
    WallpaperDownloadService service;
    std::vector<double> rates;
    std::vector<double> cpu;
    qint64 bytes = 0;
    for (int run = 0; run < runs; ++run) {
        service.clearAll();
        QElapsedTimer timer;
        timer.start();
        const double cpuBefore = processCpuSeconds();
        const QUrl file = waitForTask(service.downloadWallpaper(url, 1, {}));
        cpu.push_back(processCpuSeconds() - cpuBefore);
        const double seconds = double(timer.nsecsElapsed()) / 1e9;
        bytes = QFileInfo(file.toLocalFile()).size();
        rates.push_back(double(bytes) / seconds);
    }
    std::printf("download %lld bytes, median %.1f MB/s over %d runs, cpu %.4f s\n", bytes, median(rates) / 1e6, runs,
        median(cpu));
    return 0;
}

int upload(const QUrl& url, const QString& file, int runs)
{
    std::vector<double> rates;
    std::vector<double> cpu;
    const qint64 bytes = QFileInfo(file).size();
    const QString key = QFileInfo(url.path()).completeBaseName();
    QString outcome;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        const double cpuBefore = processCpuSeconds();
        try {
            waitForTask(WallpaperFileUpload::send(url.toString(QUrl::FullyEncoded), key, file, {}, {}, Http::shared()));
            outcome = QStringLiteral("stored");
        } catch (const UploadError& error) {
            outcome = error.localizedDescription(); // an answer after the whole body, as wanted
        }
        cpu.push_back(processCpuSeconds() - cpuBefore);
        rates.push_back(double(bytes) / (double(timer.nsecsElapsed()) / 1e9));
    }
    std::printf("upload %lld bytes, median %.1f MB/s over %d runs, cpu %.4f s (%s)\n", bytes, median(rates) / 1e6, runs,
        median(cpu), qPrintable(outcome));
    return 0;
}

// The files land in one place, replaced each time. One download first builds what a process
// builds once (the thread, the trust), so the figure is what the next COUNT cost.
int downloads(const QUrl& url, int count)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("file"));
    Http& http = Http::shared();
    const auto fetch = [&] {
        const HttpResponse response = waitForTask(http.download(QNetworkRequest(url), path, DownloadDurability::Cache));
        if (!response.isSuccess())
            throw MessageError(QStringLiteral("status %1 from %2").arg(response.status).arg(url.toString()));
    };
    fetch();
    QElapsedTimer timer;
    timer.start();
    const double cpuBefore = processCpuSeconds();
    for (int i = 0; i < count; ++i)
        fetch();
    std::printf("downloads %d of %lld bytes, %.1f ms, cpu %.4f s\n", count, QFileInfo(path).size(),
        double(timer.nsecsElapsed()) / 1e6, processCpuSeconds() - cpuBefore);
    return 0;
}

int imageCache(const QString& imagePath)
{
    const QImage poster(imagePath);
    if (poster.isNull())
        throw MessageError(QStringLiteral("cannot read ") + imagePath);
    const QUrl url(QStringLiteral("https://assets.example/wallpaper/1/poster.webp"));
    {
        WallpaperImageCache cache;
        cache.store(poster, url);
        cache.waitForDiskWrites();

        constexpr int kMemoryHits = 200'000;
        QElapsedTimer timer;
        timer.start();
        qint64 pixels = 0;
        for (int i = 0; i < kMemoryHits; ++i)
            pixels += cache.image(url).width();
        const double nsPerHit = double(timer.nsecsElapsed()) / kMemoryHits;
        std::printf("memory hit %.2f us (%lld)\n", nsPerHit / 1000.0, pixels / kMemoryHits);
    }

    // A fresh cache each time, as after a restart: every lookup reads and decodes the file.
    constexpr int kDiskHits = 200;
    std::vector<double> times;
    for (int i = 0; i < kDiskHits; ++i) {
        WallpaperImageCache cache;
        QElapsedTimer timer;
        timer.start();
        const QImage image = cache.image(url);
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
        if (image.size() != poster.size())
            throw MessageError(QStringLiteral("the disk hit gave a different image"));
    }
    std::printf("disk hit %dx%d median %.2f ms\n", poster.width(), poster.height(), median(times));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    HttpWorker::preferPlainEventLoops();
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    // The user's own folders stay untouched.
    QTemporaryDir root;
    Paths::Override paths(root.path());
    try {
        if (args.size() == 3 && args[1] == u"still")
            return still(args[2]);
        if (args.size() == 4 && args[1] == u"download")
            return download(QUrl(args[2]), args[3].toInt());
        if (args.size() == 4 && args[1] == u"downloads")
            return downloads(QUrl(args[2]), args[3].toInt());
        if (args.size() == 5 && args[1] == u"upload")
            return upload(QUrl(args[2]), args[3], args[4].toInt());
        if (args.size() == 3 && args[1] == u"image-cache")
            return imageCache(args[2]);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", qPrintable(describeError(error)));
        return 1;
    }
    std::fprintf(stderr, "usage: engine-media-bench still VIDEO | download URL RUNS | downloads URL COUNT | upload URL FILE RUNS | image-cache IMAGE\n");
    return 2;
}
