// Plays a video in one DesktopVideoWindow per screen for a while, the way the desktop engine
// does, and reports what only the process itself can see: time to the first frame, frames shown,
// and (with --paused) the CPU it still uses after pausing. bench/desktop-video-cost.sh measures
// the whole process around it.
//
//   desktop-video-bench <video> <seconds> [screens] [--paused]
//
// BENCH_START_NS (nanoseconds since the epoch, taken just before the launch) makes the first
// frame time count from there instead of from main().

#include "platform/DesktopVideoWindow.h"
#include "platform/VideoPlayer.h"
#include "platform/VideoSurface.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QScreen>
#include <QTimer>
#include <QUrl>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch()).count();
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char* argv[])
{
    const qint64 mainNs = nowNs();
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");

    QStringList args = QApplication::arguments().mid(1);
    const bool pauseAfterFirstFrame = args.removeAll(QStringLiteral("--paused")) > 0;
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: desktop-video-bench <video> <seconds> [screens] [--paused]\n");
        return 2;
    }
    const QUrl video = QUrl::fromUserInput(args[0], QDir::currentPath(), QUrl::AssumeLocalFile);
    const int seconds = args[1].toInt();
    const QList<QScreen*> screens = QGuiApplication::screens();
    const qsizetype screenCount = args.size() > 2 ? std::min<qsizetype>(args[2].toInt(), screens.size()) : screens.size();
    const qint64 startNs = qEnvironmentVariableIsSet("BENCH_START_NS") ? qgetenv("BENCH_START_NS").toLongLong() : mainNs;

    std::vector<std::unique_ptr<DesktopVideoWindow>> windows;
    bool sawFirstFrame = false;
    double pausedCpuStart = 0;
    QElapsedTimer pausedClock;
    for (qsizetype i = 0; i < screenCount; ++i) {
        auto window = std::make_unique<DesktopVideoWindow>();
        window->setScreenGeometry(screens[i]->geometry());
        VideoSurface* surface = window->surface();
        QObject::connect(surface, &VideoSurface::error, &app, [](const QString& message) {
            std::fprintf(stderr, "error: %s\n", qPrintable(message));
            QApplication::exit(1);
        });
        QObject::connect(surface, &VideoSurface::ready, &app, [&] {
            if (sawFirstFrame)
                return;
            sawFirstFrame = true;
            std::printf("first_frame_ms %.1f\nfirst_frame_from_main_ms %.1f\n", double(nowNs() - startNs) / 1e6,
                        double(nowNs() - mainNs) / 1e6);
            if (!pauseAfterFirstFrame)
                return;
            for (const auto& each : windows)
                each->surface()->setPaused(true);
            // Measure from a second later, once the last frames in flight have landed.
            QTimer::singleShot(1000, &app, [&] {
                pausedCpuStart = cpuSeconds();
                pausedClock.start();
            });
        });
        surface->load(video);
        window->show();
        windows.push_back(std::move(window));
    }

    QTimer::singleShot(seconds * 1000, &app, &QApplication::quit);
    const int code = QApplication::exec();

    quint64 frames = 0;
    for (const auto& window : windows)
        frames += window->surface()->player()->frameCount();
    std::printf("windows %zu\nframes_shown %llu\n", windows.size(), static_cast<unsigned long long>(frames));
    if (pausedClock.isValid())
        std::printf("paused_cpu_percent %.3f\n", 100.0 * (cpuSeconds() - pausedCpuStart) / (double(pausedClock.elapsed()) / 1000.0));

    // How long closing the windows holds the GUI thread (the cores themselves end on a pool thread).
    QElapsedTimer teardown;
    teardown.start();
    windows.clear();
    std::printf("teardown_ms %.1f\n", double(teardown.nsecsElapsed()) / 1e6);
    return code;
}
