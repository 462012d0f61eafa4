// The main window's home page against the sample catalogue that the QUORVELLE_* variables name,
// with the user folders that the XDG_* variables name (so a second run finds warm caches).
//
//   home-page-bench startup             ms from process start to the home page painted with posters,
//                                       in the real program started the way a user starts it
//   home-page-bench library             the same, then the library tab selected: ms from the
//                                       selection to the page painted with its saved grid (or its
//                                       empty state), then the resident memory and its peak
//   home-page-bench taps                the same, then, once the liked list is read, a like and
//                                       an unlike: the longest stall of the event loop around each
//   home-page-bench stream COUNT [likes] the same, then COUNT taps on the heart 150 ms apart (likes,
//                                       then, from the second half on, unlikes; with "likes", likes
//                                       only): for each, ms from
//                                       the tap to its record synced in the settings journal, and
//                                       the bytes the process wrote to disk over the stream
//   home-page-bench liked               the number of liked wallpapers the settings hold, and quits
//   home-page-bench play SECONDS        the home page with its hero playing; "ready" once it plays
//   home-page-bench minimised SECONDS   the same, then the window minimised; "ready" after that
//   home-page-bench nowindow SECONDS    the application state loaded and no window; "ready" then
//
// The script samples CPU and resident memory of the process from outside after "ready".
#include "app/AppRootView.h"
#include "app/ApplicationMain.h"
#include "app/MainWindow.h"
#include "foundation/Async.h"
#include "foundation/UserDefaults.h"
#include "library/LikedWallpapersService.h"
#include "platform/Http.h"
#include "screens/browse/HeroSlideView.h"
#include "screens/browse/HomeHeroCarousel.h"
#include "screens/browse/HomeView.h"
#include "screens/browse/LikedView.h"
#include "state/AppStore.h"
#include "state/HomePageService.h"
#include "ui/LazyGridView.h"
#include "ui/PosterCardView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>
#include <QTimer>
#include <QUuid>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <functional>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Seconds since this process started, from the kernel's own clock.
double secondsSinceStart()
{
    QFile stat(QStringLiteral("/proc/self/stat"));
    QFile uptime(QStringLiteral("/proc/uptime"));
    if (!stat.open(QIODevice::ReadOnly) || !uptime.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    // Fields after the command's closing parenthesis; the start time is field 22.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    const double started = fields.value(19).toDouble() / double(sysconf(_SC_CLK_TCK));
    return uptime.readAll().split(' ').value(0).toDouble() - started;
}

// The feed shows, the hero's first slide and every card in view have their posters.
bool paintedWithPosters(const MainWindow& window)
{
    const auto* home = window.findChild<HomeView*>();
    if (!home || HomePageService::shared().isShowingLoader())
        return false;
    const HeroSlideView* first = home->hero()->slide(0);
    if (first && !first->hasPoster())
        return false;
    for (const PosterCardView* card : window.findChildren<PosterCardView*>())
        if (card->isVisible() && !card->visibleRegion().isEmpty() && !card->hasPoster())
            return false;
    return true;
}

bool heroPlaying(const MainWindow& window)
{
    const auto* home = window.findChild<HomeView*>();
    const HeroSlideView* first = home ? home->hero()->slide(0) : nullptr;
    return first && first->isVideoReady() && first->isPlaying();
}

void whenTrue(std::function<bool()> condition, std::function<void()> then)
{
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, qApp, [poll, condition, then] {
        if (!condition())
            return;
        poll->stop();
        poll->deleteLater();
        then();
    });
    poll->start(5);
}

// The real program's main window, once it is there.
MainWindow* programWindow()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows)
        if (auto* main = qobject_cast<MainWindow*>(window))
            return main;
    return nullptr;
}

// The library page shows what it holds: its saved grid has cells, or its empty state shows.
bool libraryShown(const MainWindow& window)
{
    const auto* liked = window.findChild<LikedView*>();
    return liked && liked->isVisible() && (liked->isEmptyStateShown() || liked->savedGrid()->liveCellCount() > 0);
}

// "VmRSS" or "VmHWM" of this process, in KiB.
qint64 memoryKib(const QByteArray& field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(QByteArray(field + ':')))
            return line.mid(field.size() + 1).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

void quitSoon()
{
    // Loads still under way end before the process does.
    QTimer::singleShot(1500, qApp, &QApplication::quit);
}

// The longest gap between the turns of the event loop from now until `ms` later, given to `done`;
// a tap made meanwhile counts with all it does on the GUI thread.
void longestStall(int ms, std::function<void(double)> done)
{
    struct Watch {
        QTimer beat;
        QElapsedTimer clock;
        double longest = 0;
    };
    auto watch = std::make_shared<Watch>();
    watch->clock.start();
    QObject::connect(&watch->beat, &QTimer::timeout, qApp, [watch = watch.get()] {
        watch->longest = std::max(watch->longest, watch->clock.nsecsElapsed() / 1e6);
        watch->clock.restart();
    });
    watch->beat.start(1);
    QTimer::singleShot(ms, qApp, [watch, done] {
        watch->beat.stop();
        done(watch->longest);
    });
}

WallpaperModel tappedWallpaper(qint64 number);

// A like of a wallpaper not yet liked, then its unlike, each as a tap makes it.
void tapLikeAndUnlike()
{
    const WallpaperModel wallpaper = tappedWallpaper(0);
    LikedWallpapersService& liked = LikedWallpapersService::shared();
    QTimer::singleShot(100, qApp, [&liked, wallpaper] { liked.addWallpaper(wallpaper, true); });
    longestStall(1500, [&liked, wallpaper](double like) {
        std::printf("like_stall_ms = %.0f\n", like);
        QTimer::singleShot(100, qApp, [&liked, wallpaper] { liked.removeWallpaper(wallpaper); });
        longestStall(1500, [](double unlike) {
            std::printf("unlike_stall_ms = %.0f\n", unlike);
            std::printf("end_rss_peak_kib = %lld\n", memoryKib("VmHWM"));
            std::fflush(stdout);
            quitSoon();
        });
    });
}

// The bytes this process had the disk write ("write_bytes" of /proc/self/io).
long long writtenBytes()
{
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : io.readAll().split('\n'))
        if (line.startsWith("write_bytes:"))
            return line.mid(12).trimmed().toLongLong();
    return -1;
}

WallpaperModel tappedWallpaper(qint64 number)
{
    WallpaperModel wallpaper;
    wallpaper.id = QUuid::createUuid();
    wallpaper.key = 4'000'000'000'000 + number;
    wallpaper.title = QStringLiteral("Tapped %1").arg(number);
    wallpaper.category = QStringLiteral("Nature");
    wallpaper.createdAt = QStringLiteral("2025-06-08T10:00:00Z");
    wallpaper.imageUrl = QUrl(QStringLiteral("https://assets.invalid/wallpaper/%1/thumbnail.webp").arg(*wallpaper.key));
    return wallpaper;
}

int streamTaps = 0;
bool streamLikesOnly = false;

// The journal's size and the settings file's inode: a journaled change grows the one (its sync
// follows on a worker: isSyncing()), a whole write (a short list is written whole) replaces the
// other once it is synced.
using DiskState = std::pair<qint64, ino_t>;
DiskState diskState(const QString& journal)
{
    struct stat file {};
    ::stat(QFile::encodeName(UserDefaults::standard().filePath()).constData(), &file);
    return {QFileInfo(journal).size(), file.st_ino};
}

// Taps the heart `streamTaps` times, 150 ms apart: likes of new wallpapers for the first half and
// unlikes of them for the second (all likes for one tap). Each tap's time to its synced record
// is read from the disk (diskState).
void tapStream()
{
    struct Stream {
        int tap = 0;
        long long writtenBefore = writtenBytes();
        QTimer poll;
    };
    auto* stream = new Stream;
    const QString journal = UserDefaults::standard().journalPath();
    const int likes = streamLikesOnly || streamTaps == 1 ? streamTaps : (streamTaps + 1) / 2;
    std::printf("stream_started\n");
    std::fflush(stdout);
    auto* tapNext = new std::function<void()>;
    *tapNext = [stream, journal, likes, tapNext] {
        if (stream->tap == streamTaps) {
            std::printf("stream_written_bytes = %lld\n", writtenBytes() - stream->writtenBefore);
            std::printf("stream_changes = %d\n", streamTaps);
            std::fflush(stdout);
            quitSoon();
            return;
        }
        const int tap = stream->tap++;
        const DiskState before = diskState(journal);
        auto* clock = new QElapsedTimer;
        clock->start();
        LikedWallpapersService& liked = LikedWallpapersService::shared();
        if (tap < likes)
            liked.addWallpaper(tappedWallpaper(tap), true);
        else
            liked.removeWallpaper(tappedWallpaper(tap - likes).key);
        whenTrue([journal, before] { return diskState(journal) != before && !UserDefaults::standard().isSyncing(); },
            [clock, tap, tapNext] {
                std::printf("tap_synced_ms %d = %.1f\n", tap, clock->nsecsElapsed() / 1e6);
                std::fflush(stdout);
                const qint64 wait = std::max<qint64>(0, 150 - clock->elapsed());
                delete clock;
                QTimer::singleShot(wait, qApp, *tapNext);
            });
    };
    (*tapNext)();
}

bool tapAfterLibrary = false;

void openLibrary()
{
    auto* root = programWindow()->findChild<AppRootView*>();
    auto* clock = new QElapsedTimer;
    clock->start();
    root->setSelectedTab(AppTab::Library);
    whenTrue([] { return libraryShown(*programWindow()); }, [clock] {
        programWindow()->repaint();
        std::printf("library_open_ms = %.0f\n", clock->nsecsElapsed() / 1e6);
        delete clock;
        std::printf("rss_kib = %lld\nrss_peak_kib = %lld\n", memoryKib("VmRSS"), memoryKib("VmHWM"));
        std::fflush(stdout);
        if (streamTaps > 0)
            whenTrue([] { return !LikedWallpapersService::shared().isLoading(); }, tapStream);
        else if (tapAfterLibrary)
            whenTrue([] { return !LikedWallpapersService::shared().isLoading(); }, tapLikeAndUnlike);
        else
            quitSoon();
    });
}

// Set for the startup and library modes before the program starts; its application object calls this.
bool measureStartup = false;
bool openLibraryAfterHome = false;
void watchStartup()
{
    if (!measureStartup)
        return;
    whenTrue([] {
        const MainWindow* window = programWindow();
        return window && window->isVisible();
    }, [] {
        std::printf("window_shown_ms = %.0f\n", secondsSinceStart() * 1000);
        std::fflush(stdout);
    });
    whenTrue([] {
        MainWindow* window = programWindow();
        return window && paintedWithPosters(*window);
    }, [] {
        programWindow()->repaint();
        std::printf("home_painted_ms = %.0f\n", secondsSinceStart() * 1000);
        std::printf("home_rss_kib = %lld\nhome_rss_peak_kib = %lld\n", memoryKib("VmRSS"), memoryKib("VmHWM"));
        std::fflush(stdout);
        if (openLibraryAfterHome)
            openLibrary();
        else
            quitSoon();
    });
}
Q_COREAPP_STARTUP_FUNCTION(watchStartup)

void ready()
{
    std::printf("ready\n");
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    const QString mode = argc > 1 ? QString::fromLatin1(argv[1]) : QStringLiteral("startup");
    if (mode == QLatin1String("liked")) {
        QCoreApplication app(argc, argv);
        const QByteArray stored = UserDefaults::standard().data(QStringLiteral("likedWallpapersModels"));
        std::printf("liked = %lld\n", qlonglong(QJsonDocument::fromJson(stored).array().size()));
        return 0;
    }
    if (mode == QLatin1String("startup") || mode == QLatin1String("library") || mode == QLatin1String("taps")
        || mode == QLatin1String("stream")) {
        measureStartup = true;
        openLibraryAfterHome = mode != QLatin1String("startup");
        tapAfterLibrary = mode == QLatin1String("taps");
        streamTaps = mode == QLatin1String("stream") ? std::max(1, argc > 2 ? QString::fromLatin1(argv[2]).toInt() : 40) : 0;
        streamLikesOnly = argc > 3 && QLatin1String(argv[3]) == QLatin1String("likes");
        // Without the bench's own arguments, which the program would take for links.
        return ApplicationMain::run(1, argv);
    }
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    const int seconds = argc > 2 ? QString::fromLatin1(argv[2]).toInt() : 20;

    // As in the application: closing the window does not quit, and the window deletes itself.
    QApplication::setQuitOnLastWindowClosed(false);
    // As in the application's main(): the TLS trust is read on a worker while the window is made.
    Http::shared().prepareTrust();
    QPointer<MainWindow> window;
    if (mode != QLatin1String("nowindow")) {
        window = new MainWindow();
        QObject::connect(window, &QObject::destroyed, [] { std::printf("window closed\n"); });
        window->show();
    }
    fireAndForget(AppStore::shared().initializeIfNeeded());

    if (mode == QLatin1String("nowindow")) {
        whenTrue([] { return HomePageService::shared().isLoaded(); }, [] { ready(); });
    } else {
        whenTrue([&] { return window && heroPlaying(*window); }, [&, mode] {
            if (mode == QLatin1String("minimised"))
                window->showMinimized();
            ready();
        });
    }
    QTimer::singleShot(std::max(seconds, 1) * 1000 + 60'000, qApp, &QApplication::quit);
    const int code = QApplication::exec();
    delete window;
    return code;
}
