// The image cache's part of the quit: posters just stored, their PNG files still being written,
// then the quit's call. The reference is the wait for every write (the quit before); against it
// the stop that drops the writes not yet begun. Run image-cache-quit.sh.
//
//   image-cache-quit-bench [posters] [runs]     (defaults 40 and 7)
//
// Prints one line a run and side: "<wait|stop> <ms> <files written> <load average>".

#include "BenchPosters.h"
#include "engine/WallpaperImageCache.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace {

QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()).section(u' ', 0, 0) : QStringLiteral("?");
}

int filesIn(const WallpaperImageCache& cache)
{
    return int(QDir(cache.baseDirectory() + QStringLiteral("/posters")).entryList(QDir::Files).size());
}

} // namespace

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    const int posters = argc > 1 ? std::atoi(argv[1]) : 40;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 7;
    QList<QImage> images;
    for (int i = 0; i < posters; ++i)
        images.append(benchPoster(i, true));

    for (int run = 0; run < runs; ++run) {
        for (const bool stop : {false, true}) {
            QTemporaryDir folder;
            WallpaperImageCache cache(folder.path());
            for (int i = 0; i < posters; ++i)
                cache.store(images[i], QUrl(QStringLiteral("https://assets.example/wallpaper/%1/poster.webp").arg(i)));
            const QString load = loadAverage();
            QElapsedTimer clock;
            clock.start();
            if (stop)
                cache.stopDiskWrites();
            else
                cache.waitForDiskWrites();
            const double ms = clock.nsecsElapsed() / 1e6;
            std::printf("%s %.1f %d %s\n", stop ? "stop" : "wait", ms, filesIn(cache), qPrintable(load));
            std::fflush(stdout);
        }
    }
    return 0;
}
