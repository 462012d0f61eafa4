// The full-screen page, measured by bench/full-screen-bench.sh:
//   open CLIP RUNS   a click on a poster card until the pushed page has painted its poster (the
//                    poster in the image cache's disk store), and until the first frame of its
//                    preview (CLIP, in the preview cache) is on the page
//   apply CLIP RUNS  a click on "All" in the display picker of a wallpaper whose master (CLIP)
//                    is in the download cache, until every desktop window shows its first frame
//   play CLIP SECS   the page playing CLIP as its preview in a 1920×1080 window (CPU measured
//                    outside)
// Everything is real except the desktop picture (recorded to a file) and the stores (in memory);
// the backend calls of an apply (the download counter) go to a sample catalogue.

#include "BenchApplyServices.h"
#include "BenchCatalogue.h"
#include "BenchPosters.h"
#include "BenchWait.h"
#include "engine/HomeScreenWallpaperEngine.h"
#include "engine/ScreenEntry.h"
#include "engine/VideoCacheService.h"
#include "engine/WallpaperDownloadService.h"
#include "engine/WallpaperImageCache.h"
#include "foundation/Paths.h"
#include "foundation/Shared.h"
#include "platform/DesktopVideoWindow.h"
#include "platform/Screens.h"
#include "platform/VideoSurface.h"
#include "screens/detail/FootBarApplyControl.h"
#include "screens/detail/FullScreenFootBar.h"
#include "screens/detail/FullScreenHero.h"
#include "screens/detail/FullScreenView.h"
#include "screens/detail/FullscreenApplyTargetChip.h"
#include "screens/detail/MonitorPickerPopoverContent.h"
#include "ui/BrowseContext.h"
#include "ui/CachedAsyncImage.h"
#include "ui/LoopingVideo.h"
#include "ui/NavigationHost.h"
#include "ui/PosterCardView.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr qint64 kKey = 1718000000137;

bool waitUntil(const std::function<bool()>& done, int timeoutMs = 60'000) { return benchWaitUntil(done, timeoutMs); }

void report(const char* what, std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    std::printf("%-30s %.1f   (min %.1f, max %.1f, n=%zu)\n", what, values[values.size() / 2], values.front(), values.back(), values.size());
}

WallpaperModel wallpaper(const QString& host)
{
    WallpaperModel model;
    model.id = QUuid::createUuid();
    model.key = kKey;
    model.title = QStringLiteral("Misty Pine Valley");
    model.category = QStringLiteral("Nature");
    model.resolution = QStringLiteral("1920×1080");
    const QString base = QStringLiteral("https://") + host + QStringLiteral("/wallpaper/") + QString::number(kKey);
    model.posterUrl = QUrl(base + QStringLiteral("/poster.webp"));
    model.previewhdUrl = QUrl(base + QStringLiteral("/previewhd.mp4"));
    model.masterUrl = QUrl(base + QStringLiteral("/master.mp4"));
    return model;
}

void copyInto(const QString& clip, const QString& folder, const QString& name)
{
    QDir().mkpath(folder);
    QFile::remove(folder + u'/' + name);
    QFile::copy(clip, folder + u'/' + name);
}

// A window with a tab's navigation host whose root page is one poster card; the root selection
// pushes the full-screen page as the root view does.
struct Shell {
    QWidget window;
    BrowseContext context;
    NavigationHost* host;
    PosterCardView* card;

    explicit Shell(const WallpaperModel& model)
    {
        window.resize(1920, 1080);
        auto* root = new QWidget;
        card = new PosterCardView(model, {}, &context, root);
        card->setGeometry(40, 40, 480, 270);
        host = new NavigationHost(root, &window);
        host->resize(window.size());
        QObject::connect(&context, &BrowseContext::selectedWallpaperChanged, host, [this] {
            if (const auto selected = context.selectedWallpaper())
                host->push(new FullScreenView(*selected, &context, {}));
            else
                host->pop();
        });
        window.show();
        if (!QTest::qWaitForWindowExposed(&window))
            std::fprintf(stderr, "full-screen-bench: the window was not shown\n");
    }
    FullScreenView* page() const { return qobject_cast<FullScreenView*>(host->currentPage()); }
    void close()
    {
        context.setSelectedWallpaper(std::nullopt);
        waitUntil([&] { return host->depth() == 1; });
        QTest::qWait(BrowseContext::kReselectDelayMs + 50);
    }
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: full-screen-bench open|apply|play <clip> <runs|seconds> <test-data-folder>\n");
        return 2;
    }
    const QString mode = args[0];
    const QString clip = args[1];
    const int count = args[2].toInt();
    const QString data = args[3];

    QTemporaryDir root;
    Paths::Override paths(root.path());
    BenchCatalogue backend(data, "full-screen-bench");
    if (!backend.isRunning())
        return 1;
    samplecatalogue::SampleCatalogue& catalogue = backend.server();
    BenchApplyServices services(root.path(), QStringLiteral("full-screen-bench"));
    HomeScreenWallpaperEngine& engine = services.engine;

    const WallpaperModel model = wallpaper(catalogue.assetHost());
    {
        WallpaperImageCache cache;
        cache.store(benchPoster(0, false), *model.posterUrl);
        cache.waitForDiskWrites();
    }
    copyInto(clip, VideoCacheService::hdPreviewFolder(), QString::number(kKey) + QStringLiteral(".mp4"));

    if (mode == QLatin1String("open")) {
        std::vector<double> poster, frame;
        Shell shell(model);
        for (int run = 0; run <= count; ++run) {
            WallpaperImageCache::shared().clearMemory();
            QElapsedTimer clock;
            clock.start();
            QTest::mouseClick(shell.card, Qt::LeftButton, {}, shell.card->rect().center());
            waitUntil([&] { return shell.page() && shell.page()->hero()->poster()->hasImage(); });
            shell.page()->hero()->repaint();
            const double posterMs = clock.nsecsElapsed() / 1e6;
            waitUntil([&] { return shell.page()->hero()->video()->isReady(); });
            shell.page()->hero()->repaint();
            if (run > 0) { // the first run warms fonts, decoders and the disk cache
                poster.push_back(posterMs);
                frame.push_back(clock.nsecsElapsed() / 1e6);
            }
            shell.close();
        }
        report("click_to_poster_ms", poster);
        report("click_to_first_frame_ms", frame);
    } else if (mode == QLatin1String("apply")) {
        copyInto(clip, WallpaperDownloadService::folderPath(), WallpaperDownloadService::fileName(kKey));
        std::vector<double> applied;
        Shell shell(model);
        for (int run = 0; run <= count; ++run) {
            engine.stopAll();
            shell.context.setSelectedWallpaper(model);
            FootBarApplyControl* control = shell.page()->footBar()->applyControl();
            QTest::mouseClick(control, Qt::LeftButton, {}, control->rect().center());
            FullscreenApplyTargetChip* all = control->picker()->allButton();
            QElapsedTimer clock;
            clock.start();
            QTest::mouseClick(all, Qt::LeftButton, {}, all->rect().center());
            waitUntil([&] {
                return !engine.entries().empty()
                    && std::all_of(engine.entries().begin(), engine.entries().end(),
                        [](const auto& entry) { return entry.second.window->surface()->isReady(); });
            });
            if (run > 0)
                applied.push_back(clock.nsecsElapsed() / 1e6);
            waitUntil([&] { return !shell.page()->applier()->isApplyingWallpaper(); });
            shell.close();
        }
        report("set_wallpaper_to_first_frame_ms", applied);
        // The bare windows loading the same file: the engine's own floor.
        std::vector<double> reference;
        for (int run = 0; run < count; ++run) {
            engine.stopAll();
            QElapsedTimer clock;
            clock.start();
            std::vector<std::unique_ptr<DesktopVideoWindow>> windows;
            for (const ScreenInfo& screen : Screens::shared().screens()) {
                auto& window = windows.emplace_back(std::make_unique<DesktopVideoWindow>());
                window->setScreenGeometry(screen.geometry);
                window->surface()->load(QUrl::fromLocalFile(clip));
                window->show();
            }
            waitUntil([&] { return std::all_of(windows.begin(), windows.end(), [](const auto& w) { return w->surface()->isReady(); }); });
            reference.push_back(clock.nsecsElapsed() / 1e6);
        }
        report("bare_windows_first_frame_ms", reference);
    } else {
        Shell shell(model);
        shell.context.setSelectedWallpaper(model);
        waitUntil([&] { return shell.page()->hero()->video()->isReady(); });
        QTest::qWait(count * 1000);
    }
    std::fflush(stdout);
    waitUntil([] { return false; }, 500); // counter bumps end before the backend client
    catalogue.stop();
    return 0;
}
