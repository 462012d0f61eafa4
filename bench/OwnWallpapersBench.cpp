// The own-wallpapers paths, timed in-process for bench/own-wallpapers-bench.sh, which compares
// them with cp and curl doing the same job in the same run.
//
//   own-wallpapers-bench import VIDEO     the personal-use import of VIDEO into a fresh own-videos
//                                         folder: wall time, and the longest stall of the event
//                                         loop meanwhile (a 1 ms timer's largest lateness)
//   own-wallpapers-bench upload VIDEO     a community upload of VIDEO to the backend of
//                                         QUORVELLE_BACKEND_URL (trust from QUORVELLE_CA_CERT):
//                                         whole submission, the file transfer alone, and the rise
//                                         of resident memory over the whole submission and over
//                                         the transfer alone

#include "backend/APIService.h"
#include "foundation/Clock.h"
#include "foundation/Paths.h"
#include "foundation/UserDefaults.h"
#include "library/CommunityUploadService.h"
#include "library/CustomWallpapersService.h"
#include "library/OwnVideoImport.h"
#include "library/PendingUploadService.h"
#include "library/SignedUploadURLService.h"
#include "platform/Http.h"
#include "platform/MediaTools.h"
#include "state/NotificationManager.h"
#include "support/TaskWait.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <QUuid>

#include <cstdio>
#include <unistd.h>

namespace {

// Resident memory of this process in bytes.
qint64 residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.value(1).toLongLong() * sysconf(_SC_PAGESIZE);
}

// Watches the event loop with a 1 ms timer and keeps the largest gap between two of its turns.
class StallWatch {
public:
    StallWatch()
    {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(1);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const qint64 now = clock_.nsecsElapsed();
            longest_ = std::max(longest_, now - last_);
            last_ = now;
        });
        clock_.start();
        timer_.start();
    }
    double longestMs() const { return double(longest_) / 1e6; }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
    qint64 longest_ = 0;
};

int import(const QString& video)
{
    QTemporaryDir support;
    UserDefaults defaults(QStringLiteral("bench"), UserDefaults::Storage::InMemory);
    CustomWallpapersService store(defaults, support.path());
    MediaTools media;
    OwnVideoImport import(store, media);
    StallWatch watch;
    QElapsedTimer timer;
    timer.start();
    const WallpaperModel record = waitForTask(import.importForPersonalUse(video));
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    const qint64 bytes = QFileInfo(record.masterUrl->toLocalFile()).size();
    std::printf("import %lld bytes in %.3f s, %.1f MB/s, longest event-loop stall %.2f ms\n", bytes, seconds,
        double(bytes) / seconds / 1e6, watch.longestMs());
    return 0;
}

int upload(const QString& video)
{
    QTemporaryDir support;
    UserDefaults defaults(QStringLiteral("bench"), UserDefaults::Storage::InMemory);
    CustomWallpapersService store(defaults, support.path());
    MediaTools media;
    NotificationManager toast;
    PendingUploadService pending;
    const QString device = QUuid::createUuid().toString(QUuid::WithoutBraces);
    SignedUploadURLService signedURLs(defaults, APIService::shared(), Clock::system(), [device] { return device; });
    CommunityUploadService uploads({signedURLs, pending, APIService::shared(), Http::shared(), toast, store, media,
        [device] { return device; }});
    // The transfer runs from the "Uploading file..." step to the next one.
    QElapsedTimer clock;
    clock.start();
    qint64 transferStart = 0;
    qint64 transferEnd = 0;
    QObject::connect(&toast, &NotificationManager::messageChanged, [&] {
        if (toast.message() == QLatin1String("Uploading file..."))
            transferStart = clock.nsecsElapsed();
        else if (transferStart && !transferEnd)
            transferEnd = clock.nsecsElapsed();
    });
    const qint64 baseline = residentBytes();
    qint64 peak = baseline;
    qint64 transferPeak = baseline;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        const qint64 now = residentBytes();
        peak = std::max(peak, now);
        if (transferStart && !transferEnd)
            transferPeak = std::max(transferPeak, now);
    });
    sampler.start(10);
    pending.setPendingFilePath(video);
    bool succeeded = false;
    QEventLoop loop;
    QObject::connect(&uploads, &CommunityUploadService::submissionFinished, [&](int, bool ok) {
        succeeded = ok;
        loop.quit();
    });
    const qint64 started = clock.nsecsElapsed();
    uploads.submit(QStringLiteral("Bench Upload"), CategoryItem{QStringLiteral("Nature"), 1, std::nullopt});
    loop.exec();
    const double total = double(clock.nsecsElapsed() - started) / 1e9;
    const double transfer = double(transferEnd - transferStart) / 1e9;
    const qint64 bytes = QFileInfo(video).size();
    if (!succeeded) {
        std::fprintf(stderr, "upload failed\n");
        return 1;
    }
    std::printf("upload %lld bytes: whole submission %.3f s, transfer %.3f s, %.1f MB/s, resident memory rise %.1f MiB"
                " (%.1f MiB while the file went out)\n",
        bytes, total, transfer, double(bytes) / transfer / 1e6, double(peak - baseline) / 1048576.0,
        double(transferPeak - baseline) / 1048576.0);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    try {
        if (args.size() == 3 && args[1] == u"import")
            return import(args[2]);
        if (args.size() == 3 && args[1] == u"upload")
            return upload(args[2]);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "failed: %s\n", error.what());
        return 1;
    }
    std::fprintf(stderr, "usage: own-wallpapers-bench import VIDEO | upload VIDEO\n");
    return 2;
}
