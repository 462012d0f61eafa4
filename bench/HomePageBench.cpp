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
//                                       only): for each, ms from the tap to its change committed
//                                       (on disk) and logged saved, and the bytes the process
//                                       wrote to disk over the stream
//   home-page-bench liked               the number of liked wallpapers the settings hold, and quits
//   home-page-bench seed COUNT          stores a returning user (onboarding done) with COUNT liked
//                                       wallpapers, as the program stores them, and quits
//   home-page-bench play SECONDS        the home page with its hero playing; "ready" once it plays
//   home-page-bench minimised SECONDS   the same, then the window minimised; "ready" after that
//   home-page-bench nowindow SECONDS    the application state loaded and no window; "ready" then
//
// The script samples CPU and resident memory of the process from outside after "ready".
#include "app/AppRootView.h"
#include "app/ApplicationMain.h"
#include "app/MainWindow.h"
#include "app/ShellDefaults.h"
#include "foundation/Async.h"
#include "foundation/Log.h"
#include "foundation/UserDefaults.h"
#include "library/LikedWallpapersService.h"
#include "library/PersonalWallpaperList.h"
#include "platform/Http.h"
#include "screens/browse/HeroSlideView.h"
#include "screens/browse/HomeHeroCarousel.h"
#include "screens/browse/HomeView.h"
#include "screens/browse/LikedView.h"
#include "state/AppStore.h"
#include "state/HomePageService.h"
#include "support/SampleLikedWallpaper.h"
#include "ui/LazyGridView.h"
#include "ui/PosterCardView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QTimer>
#include <QUuid>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <functional>
#include <memory>
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

// Taps the heart `streamTaps` times, 150 ms apart: likes of new wallpapers for the first half and
// unlikes of them for the second (all likes for one tap). A change is committed before the call
// that makes it returns: each tap's time is that call's, counted only when its change was logged
// saved.
void tapStream()
{
    struct Stream {
        int tap = 0;
        long long writtenBefore = writtenBytes();
        LogCapture lines;
    };
    auto* stream = new Stream;
    const int likes = streamLikesOnly || streamTaps == 1 ? streamTaps : (streamTaps + 1) / 2;
    std::printf("stream_started\n");
    std::fflush(stdout);
    auto* tapNext = new std::function<void()>;
    *tapNext = [stream, likes, tapNext] {
        if (stream->tap == streamTaps) {
            std::printf("stream_written_bytes = %lld\n", writtenBytes() - stream->writtenBefore);
            std::printf("stream_changes = %d\n", streamTaps);
            std::fflush(stdout);
            quitSoon();
            return;
        }
        const int tap = stream->tap++;
        stream->lines.clear();
        QElapsedTimer clock;
        clock.start();
        LikedWallpapersService& liked = LikedWallpapersService::shared();
        if (tap < likes)
            liked.addWallpaper(tappedWallpaper(tap), true);
        else
            liked.removeWallpaper(tappedWallpaper(tap - likes).key);
        const double ms = clock.nsecsElapsed() / 1e6;
        if (stream->lines.contains(QStringLiteral("[LikedWallpapersService] Saved ")))
            std::printf("tap_committed_ms %d = %.1f\n", tap, ms);
        else
            std::printf("tap_not_saved %d\n", tap);
        std::fflush(stdout);
        QTimer::singleShot(std::max<qint64>(0, 150 - clock.elapsed()), qApp, *tapNext);
    };
    (*tapNext)();
}

// A returning user with `count` liked wallpapers, newest first, stored through the liked list's
// own store in one commit. The store is closed at the end, which copies its log into the file,
// as a launch would before a user taps anything.
void seed(qint64 count)
{
    UserDefaults defaults(UserDefaults::kStandardDomain);
    defaults.setBool(ShellDefaults::onboardingSheetCompleted, true);
    PersonalWallpaperList liked(defaults, LikedWallpapersService::kLikedWallpapersKey,
        StoredList::Lines{QStringLiteral("home-page-bench"), QStringLiteral("❤️"), QStringLiteral("liked wallpapers"),
            QStringLiteral("Loaded %1 liked wallpapers"), QStringLiteral("Seeded %1 liked wallpapers")});
    liked.load();
    for (qint64 n = count - 1; n >= 0; --n) {
        const qint64 key = 1'718'000'000'000 + n;
        const WallpaperModel wallpaper = sampleLikedWallpaper(key, n);
        liked.insertAtFront(key);
        liked.put(wallpaper);
    }
    liked.save();
}

bool tapAfterLibrary = false;

// Runs `then` once the process has had the disk write nothing for half a second (at most 20 s
// on), so that what the window still stores of its launch (posters) is not counted to the taps.
void whenWritesSettle(std::function<void()> then)
{
    struct Settle {
        QTimer poll;
        QElapsedTimer since;
        long long written = writtenBytes();
        int quietTurns = 0;
    };
    auto* settle = new Settle;
    settle->since.start();
    QObject::connect(&settle->poll, &QTimer::timeout, qApp, [settle, then] {
        const long long written = writtenBytes();
        settle->quietTurns = written == settle->written ? settle->quietTurns + 1 : 0;
        settle->written = written;
        if (settle->quietTurns < 5 && settle->since.elapsed() < 20'000)
            return;
        settle->poll.stop();
        QTimer::singleShot(0, qApp, [settle] { delete settle; });
        then();
    });
    settle->poll.start(100);
}

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
            whenTrue([] { return !LikedWallpapersService::shared().isLoading(); }, [] { whenWritesSettle(tapStream); });
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
        // Whether the liked list was still being read then: what the reading holds counts then.
        std::printf("home_liked_loading = %d\n", int(LikedWallpapersService::shared().isLoading()));
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
        std::printf("liked = %lld\n", qlonglong(UserDefaults::standard().rows(LikedWallpapersService::kLikedWallpapersKey).size()));
        return 0;
    }
    if (mode == QLatin1String("seed") && argc > 2) {
        QCoreApplication app(argc, argv);
        seed(QString::fromLatin1(argv[2]).toLongLong());
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
