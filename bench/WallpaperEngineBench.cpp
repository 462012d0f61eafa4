// Runs the desktop video engine on this machine's displays for a while, as the application
// does, and reports what only the process itself can see: time from start() to the first frame
// painted on a display, frames shown, and (with --paused, --hidden or --obscured) the CPU it
// still uses once the wallpaper is paused, its windows are off the screen, or a full-screen
// window covers them. bench/wallpaper-engine-cost.sh measures the whole process around it.
//
//   wallpaper-engine-bench <video> <seconds> [--displays N] [--paused | --hidden | --obscured]

#include "engine/HomeScreenWallpaperEngine.h"
#include "foundation/UserDefaults.h"
#include "platform/DesktopVideoWindow.h"
#include "platform/Screens.h"
#include "platform/VideoPlayer.h"
#include "platform/VideoSurface.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QScreen>
#include <QTimer>

#include <sys/resource.h>

#include <clocale>
#include <cstdio>
#include <utility>

namespace {

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Notes the first paint of a window that already holds a video frame.
class FirstPaintWatch : public QObject {
public:
    FirstPaintWatch(const QElapsedTimer& clock, std::function<void(double ms)> done) : clock_(clock), done_(std::move(done)) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* surface = static_cast<VideoSurface*>(watched);
        if (event->type() == QEvent::Paint && surface->isReady() && done_) {
            surface->removeEventFilter(this);
            std::exchange(done_, nullptr)(double(clock_.nsecsElapsed()) / 1e6);
        }
        return false;
    }

private:
    const QElapsedTimer& clock_;
    std::function<void(double)> done_;
};

enum class Mode { playing, paused, hidden, obscured };

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");

    QStringList args = QApplication::arguments().mid(1);
    const Mode mode = args.removeAll(QStringLiteral("--paused")) ? Mode::paused
        : args.removeAll(QStringLiteral("--hidden"))             ? Mode::hidden
        : args.removeAll(QStringLiteral("--obscured"))           ? Mode::obscured
                                                                 : Mode::playing;
    std::optional<QSet<int>> displays;
    if (const qsizetype at = args.indexOf(QStringLiteral("--displays")); at >= 0 && at + 1 < args.size()) {
        displays = QSet<int>();
        for (int i = 0; i < args[at + 1].toInt(); ++i)
            displays->insert(i);
        args.remove(at, 2);
    }
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: wallpaper-engine-bench <video> <seconds> [--displays N] [--paused | --hidden | --obscured]\n");
        return 2;
    }
    const QUrl video = QUrl::fromLocalFile(QDir::current().absoluteFilePath(args[0]));
    const int seconds = args[1].toInt();

    UserDefaults defaults(QStringLiteral("bench"), UserDefaults::Storage::InMemory);
    HomeScreenWallpaperEngine engine(Screens::shared(), defaults);
    QObject::connect(&engine, &HomeScreenWallpaperEngine::playbackFailed, &app, [](quint32, const QString& message) {
        std::fprintf(stderr, "error: %s\n", qPrintable(message));
        QApplication::exit(1);
    });

    double idleCpuStart = 0;
    QElapsedTimer idleClock;
    qsizetype painted = 0;
    std::vector<std::unique_ptr<FirstPaintWatch>> watches;
    std::vector<std::unique_ptr<QWidget>> covers;
    QElapsedTimer clock;
    clock.start();
    try {
        engine.start(video, 1, displays);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "error: %s\n", error.what());
        return 1;
    }
    const double startMs = double(clock.nsecsElapsed()) / 1e6;
    for (const auto& [id, entry] : engine.entries()) {
        watches.push_back(std::make_unique<FirstPaintWatch>(clock, [&](double ms) {
            if (painted++ == 0)
                std::printf("start_call_ms %.1f\nfirst_frame_ms %.1f\n", startMs, ms);
            if (painted < qsizetype(engine.entries().size()))
                return;
            std::printf("all_first_frames_ms %.1f\n", ms);
            if (mode == Mode::playing)
                return;
            if (mode == Mode::paused) {
                engine.pause();
            } else if (mode == Mode::hidden) {
                // As when the window system takes the desktop off the screen.
                for (const auto& [each, shown] : engine.entries())
                    shown.window->hide();
            } else {
                // As a full-screen application over the desktop: mapped last, so on top.
                for (QScreen* screen : QGuiApplication::screens()) {
                    auto cover = std::make_unique<QWidget>(nullptr, Qt::Window | Qt::FramelessWindowHint);
                    cover->setGeometry(screen->geometry());
                    cover->show();
                    covers.push_back(std::move(cover));
                }
            }
            // Measure from a second later, once the last frames in flight have landed.
            QTimer::singleShot(1000, &app, [&] {
                idleCpuStart = cpuSeconds();
                idleClock.start();
            });
        }));
        entry.window->surface()->installEventFilter(watches.back().get());
    }

    QTimer::singleShot(seconds * 1000, &app, &QApplication::quit);
    const int code = QApplication::exec();

    quint64 frames = 0;
    for (const auto& [id, entry] : engine.entries())
        frames += entry.window->surface()->player()->frameCount();
    std::printf("displays %zu\nframes_shown %llu\n", engine.entries().size(), static_cast<unsigned long long>(frames));
    if (idleClock.isValid())
        std::printf("idle_cpu_percent %.3f\n", 100.0 * (cpuSeconds() - idleCpuStart) / (double(idleClock.elapsed()) / 1000.0));
    engine.stopAll();
    return code;
}
