// The apply pipeline from the call to the first frame on every desktop window, against the same
// windows loading the same file by hand (the reference, measured in the same run):
//   cached    a 1080p master video already in the download cache
//   uncached  the same wallpaper fetched from the sample catalogue first: the download and the
//             time from its end to the first frame are reported apart
// Everything is real except the desktop picture (recorded to a file) and the stores (in memory).
// bench/apply-bench.sh builds it in Release and runs it under Xvfb when it can.
//
//   apply-bench <test-data-folder> [runs]

#include "BenchApplyServices.h"
#include "BenchCatalogue.h"
#include "BenchWait.h"
#include "backend/APIService.h"
#include "backend/WallpaperCounterService.h"
#include "engine/HomeScreenWallpaperEngine.h"
#include "engine/LockScreenService.h"
#include "engine/ScreenEntry.h"
#include "engine/StaticWallpaperService.h"
#include "engine/WallpaperApplyService.h"
#include "engine/WallpaperDownloadService.h"
#include "foundation/Async.h"
#include "foundation/Clock.h"
#include "foundation/Paths.h"
#include "foundation/Shared.h"
#include "foundation/UserDefaults.h"
#include "library/PlaylistPlaybackService.h"
#include "library/RecentsWallpapersService.h"
#include "library/RotationTimer.h"
#include "platform/DesktopVideoWindow.h"
#include "platform/Http.h"
#include "platform/RecordedDesktopPicture.h"
#include "platform/Screens.h"
#include "platform/VideoSurface.h"
#include "state/NotificationManager.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

constexpr qint64 kKeys[] = {1718000000137, 1718000000211};

bool waitUntil(const std::function<bool()>& done, int timeoutMs = 120'000) { return benchWaitUntil(done, timeoutMs); }

std::vector<const DesktopVideoWindow*> windowsOf(const HomeScreenWallpaperEngine& engine)
{
    std::vector<const DesktopVideoWindow*> windows;
    for (const auto& [id, entry] : engine.entries())
        windows.push_back(entry.window.get());
    return windows;
}

// Every display shows the first frame of a window that the apply made (not one from before).
bool newWindowsShowAFrame(const HomeScreenWallpaperEngine& engine, const std::vector<const DesktopVideoWindow*>& before)
{
    return !engine.entries().empty()
        && std::all_of(engine.entries().begin(), engine.entries().end(), [&](const auto& entry) {
               const DesktopVideoWindow* window = entry.second.window.get();
               return std::find(before.begin(), before.end(), window) == before.end() && window->surface()->isReady();
           });
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

void report(const char* what, const std::vector<double>& values)
{
    std::printf("%-34s median %7.1f ms   min %7.1f   max %7.1f   (n=%zu)\n", what, median(values),
        *std::min_element(values.begin(), values.end()), *std::max_element(values.begin(), values.end()), values.size());
}

// Runs the task to its end, failing loudly.
void finish(QCoro::Task<> task)
{
    bool done = false;
    fireAndForget([](QCoro::Task<> inner, bool& flag) -> QCoro::Task<> {
        co_await std::move(inner);
        flag = true;
    }(std::move(task), done), QStringLiteral("apply-bench"));
    if (!waitUntil([&] { return done; }))
        std::fprintf(stderr, "apply-bench: an apply did not end\n");
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty()) {
        std::fprintf(stderr, "usage: apply-bench <test-data-folder> [runs]\n");
        return 2;
    }
    const QString data = args[0];
    const int runs = args.size() > 1 ? args[1].toInt() : 9;

    QTemporaryDir root;
    Paths::Override paths(root.path());
    BenchCatalogue backend(data, "apply-bench");
    if (!backend.isRunning())
        return 1;
    samplecatalogue::SampleCatalogue& catalogue = backend.server();

    BenchApplyServices services(root.path(), QStringLiteral("apply-bench"));
    UserDefaults& defaults = services.defaults;
    HomeScreenWallpaperEngine& engine = services.engine;
    NotificationManager toast;
    WallpaperApplyService service(toast, Delays::real());
    Shared<WallpaperApplyService>::Override serviceOverride(service);
    // Made after the apply service is installed: they follow its applies.
    RecentsWallpapersService recents(defaults);
    Shared<RecentsWallpapersService>::Override recentsOverride(recents);
    PlaylistPlaybackService rotation(defaults, std::make_unique<RotationTimer>());
    Shared<PlaylistPlaybackService>::Override rotationOverride(rotation);

    const auto masterUrl = [&](qint64 key) -> QUrl {
        return QUrl(catalogue.baseUrl() + QStringLiteral("/wallpaper/") + QString::number(key) + QStringLiteral("/master.mp4"));
    };
    const auto cachedPath = [](qint64 key) -> QString { return WallpaperDownloadService::folderPath() + u'/' + WallpaperDownloadService::fileName(key); };
    const auto request = [&](qint64 key) { return WallpaperApplyRequest{.key = key, .videoURL = masterUrl(key)}; };

    // Warm up: both masters drawn by the catalogue and cached, one apply each.
    for (const qint64 key : kKeys)
        finish(service.applyWallpaper(request(key)));

    // Reference: one bare desktop window per display loading the cached file.
    std::vector<double> reference;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer clock;
        clock.start();
        std::vector<std::unique_ptr<DesktopVideoWindow>> windows;
        for (const ScreenInfo& screen : Screens::shared().screens()) {
            auto& window = windows.emplace_back(std::make_unique<DesktopVideoWindow>());
            window->setScreenGeometry(screen.geometry);
            window->surface()->load(QUrl::fromLocalFile(cachedPath(kKeys[run % 2])));
            window->show();
        }
        waitUntil([&] { return std::all_of(windows.begin(), windows.end(), [](const auto& w) { return w->surface()->isReady(); }); });
        reference.push_back(clock.nsecsElapsed() / 1e6);
    }

    std::vector<double> cached;
    for (int run = 0; run < runs; ++run) {
        const std::vector<const DesktopVideoWindow*> before = windowsOf(engine);
        QElapsedTimer clock;
        clock.start();
        QCoro::Task<> apply = service.applyWallpaper(request(kKeys[run % 2]));
        waitUntil([&] { return newWindowsShowAFrame(engine, before); });
        cached.push_back(clock.nsecsElapsed() / 1e6);
        finish(std::move(apply));
    }

    std::vector<double> downloads;
    std::vector<double> afterDownload;
    for (int run = 0; run < runs; ++run) {
        const qint64 key = kKeys[run % 2];
        QFile::remove(cachedPath(key));
        const std::vector<const DesktopVideoWindow*> before = windowsOf(engine);
        QElapsedTimer clock;
        clock.start();
        double downloaded = 0;
        const QMetaObject::Connection watch = QObject::connect(&toast, &NotificationManager::messageChanged, &toast, [&] {
            if (toast.message() == WallpaperApplyService::applyingMessage() && downloaded == 0)
                downloaded = clock.nsecsElapsed() / 1e6;
        });
        QCoro::Task<> apply = service.applyWallpaper(request(key));
        waitUntil([&] { return downloaded > 0 && newWindowsShowAFrame(engine, before); });
        const double total = clock.nsecsElapsed() / 1e6;
        QObject::disconnect(watch);
        downloads.push_back(downloaded);
        afterDownload.push_back(total - downloaded);
        finish(std::move(apply));
    }

    std::printf("apply-bench on %s, %lld display(s), 1920x1080 master videos of %.1f MB\n", qPrintable(QGuiApplication::platformName()),
        static_cast<long long>(Screens::shared().screens().size()), QFileInfo(cachedPath(kKeys[0])).size() / 1e6);
    report("reference: bare windows, 1st frame", reference);
    report("cached apply, call to 1st frame", cached);
    report("uncached apply, download", downloads);
    report("uncached apply, then to 1st frame", afterDownload);
    std::fflush(stdout);
    // Counter bumps still on their way must end before the backend client does.
    waitUntil([] { return false; }, 1000);
    catalogue.stop();
    return 0;
}
