// Applies wallpapers one after another on this machine's displays, as the application does,
// alternating two videos, and reports the resident memory of the process after each: once every
// display shows the new video and two seconds have passed. bench/video-memory.sh runs it.
//
//   apply-memory-bench <video> <other video> <applies>

#include "engine/HomeScreenWallpaperEngine.h"
#include "foundation/UserDefaults.h"
#include "platform/DesktopVideoWindow.h"
#include "platform/Screens.h"
#include "platform/VideoSurface.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <clocale>
#include <cstdio>

namespace {

double residentMiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0;
}

bool allReady(const HomeScreenWallpaperEngine& engine)
{
    for (const auto& [id, entry] : engine.entries()) {
        if (!entry.window->surface()->isReady())
            return false;
    }
    return !engine.entries().empty();
}

// Runs the event loop until `done` holds (checked every 20 ms) or `limitMs` passes.
bool runUntil(const std::function<bool()>& done, int limitMs)
{
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    poll.start(20);
    QTimer::singleShot(limitMs, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    const QStringList args = QApplication::arguments().mid(1);
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: apply-memory-bench <video> <other video> <applies>\n");
        return 2;
    }
    const QUrl videos[] = {QUrl::fromLocalFile(QDir::current().absoluteFilePath(args[0])),
                           QUrl::fromLocalFile(QDir::current().absoluteFilePath(args[1]))};
    const int applies = args[2].toInt();

    UserDefaults defaults(QStringLiteral("bench"), UserDefaults::Storage::InMemory);
    HomeScreenWallpaperEngine engine(Screens::shared(), defaults);
    for (int apply = 0; apply < applies; ++apply) {
        engine.start(videos[apply % 2], 1000 + apply);
        if (!runUntil([&] { return allReady(engine); }, 30'000)) {
            std::fprintf(stderr, "error: apply %d showed no frame\n", apply + 1);
            return 1;
        }
        runUntil([] { return false; }, 2000);
        std::printf("apply %d rss_mib %.1f\n", apply + 1, residentMiB());
        std::fflush(stdout);
    }
    engine.stopAll();
    return 0;
}
