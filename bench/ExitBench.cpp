// The end of the program with long work under way, for bench/exit-time.sh: a personal-use import
// copying a large video and a preview player opening a stream that never ends, then a quit taken
// the way the program takes it (its windows close and let their players go, the imports stop,
// and the end waits a moment for the players' teardown before quitting without them).
//
//   exit-bench quit|signal|idle VIDEO ENDLESS-URL FOLDER
//
// "quit" quits by itself once both are under way and prints the moment ("quit at <ms since the
// epoch>"); "signal" prints "ready" and waits for the script's SIGTERM; "idle" starts neither, as
// the reference. FOLDER stands for Application Support; the files left in its own-videos folder
// are printed at the end.

#include "foundation/Async.h"
#include "foundation/UserDefaults.h"
#include "library/CustomWallpapersService.h"
#include "library/ImportProgress.h"
#include "library/OwnVideoImport.h"
#include "platform/MediaTools.h"
#include "platform/UnixSignalWatcher.h"
#include "platform/VideoPlayer.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QTimer>

#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {
// As the program's end waits, from the quit on (ApplicationMain).
constexpr int kPlayerTeardownMs = 200;
// Long enough for libmpv to be deep in probing the endless stream.
constexpr qint64 kOpeningMs = 1000;

// Sets `ended` when the import ends, however: before the quit, the run measured nothing.
QCoro::Task<> importUntilStopped(OwnVideoImport& import, QString video, std::shared_ptr<ImportProgress> progress, bool& ended)
{
    try {
        co_await import.importForPersonalUse(std::move(video), std::move(progress));
    } catch (const std::exception&) {
        // Stopped by the end, as expected, or failed; the import logged which.
    }
    ended = true;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    const QStringList args = QCoreApplication::arguments();
    const QStringList modes{QStringLiteral("quit"), QStringLiteral("signal"), QStringLiteral("idle")};
    if (args.size() != 5 || !modes.contains(args[1])) {
        std::fprintf(stderr, "usage: exit-bench quit|signal|idle VIDEO ENDLESS-URL FOLDER\n");
        return 2;
    }
    const QString mode = args[1];
    UnixSignalWatcher signalWatcher({SIGINT, SIGTERM});
    QObject::connect(&signalWatcher, &UnixSignalWatcher::received, &app, [] { QCoreApplication::quit(); });

    UserDefaults defaults(QStringLiteral("bench"), UserDefaults::Storage::InMemory);
    CustomWallpapersService store(defaults, args[4]);
    MediaTools media;
    OwnVideoImport import(store, media);
    auto player = std::make_unique<VideoPlayer>();
    const std::shared_ptr<ImportProgress> progress = ImportProgress::make();
    QElapsedTimer opening;
    bool importEnded = false;
    if (mode != QLatin1String("idle")) {
        player->setTargetSize(QSize(320, 180), 1.0);
        player->load(QUrl(args[3]));
        opening.start();
        fireAndForget(importUntilStopped(import, args[2], progress, importEnded), QStringLiteral("ExitBench"));
    }
    QDeadlineTimer playersDeadline(0);
    QObject::connect(&app, &QCoreApplication::aboutToQuit, [&] {
        playersDeadline.setRemainingTime(kPlayerTeardownMs);
        player.reset();
        store.stopImports();
    });
    QTimer underWay;
    QObject::connect(&underWay, &QTimer::timeout, [&] {
        if (importEnded) {
            std::fprintf(stderr, "the import ended before the quit\n");
            QCoreApplication::exit(1);
            return;
        }
        if (mode != QLatin1String("idle") && (progress->fraction() < 0.02 || opening.elapsed() < kOpeningMs))
            return;
        underWay.stop();
        if (mode == QLatin1String("signal")) {
            std::printf("ready\n");
        } else {
            std::printf("quit at %lld\n", QDateTime::currentMSecsSinceEpoch());
            QCoreApplication::quit();
        }
        std::fflush(stdout);
    });
    underWay.start(20);
    const int code = QCoreApplication::exec();

    const bool playersEnded = VideoPlayer::waitForTeardowns(int(playersDeadline.remainingTime()));
    std::printf("copied %.1f%%, player teardown %s, left: %s\n", progress->fraction() * 100,
        playersEnded ? "done" : "still running", qPrintable(QDir(store.folderPath()).entryList(QDir::Files).join(u' ')));
    std::fflush(stdout);
    if (!playersEnded)
        std::_Exit(code);
    return code;
}
