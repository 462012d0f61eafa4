#include "app/ApplicationMain.h"

#include "app/CommandLine.h"
#include "app/LaunchRefusal.h"
#include "app/VideoWallpaperApp.h"
#include "engine/WallpaperImageCache.h"
#include "engine/WallpaperImageLoader.h"
#include "foundation/ApplicationId.h"
#include "foundation/Config.h"
#include "foundation/Log.h"
#include "foundation/UserDefaults.h"
#include "library/LikedWallpapersService.h"
#include "platform/Http.h"
#include "platform/HttpWorker.h"
#include "platform/UnixSignalWatcher.h"
#include "platform/VideoPlayer.h"
#include "platform/WaylandConnection.h"
#include "platform/X11ConnectionLoss.h"
#include "signalry/Signalry.h"
#include "signalry/SignalryManagerConfiguration.h"
#include "ui/AppLogo.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QIcon>

#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>

namespace {
// The exit status of a command line the program does not understand, as command-line tools give.
constexpr int kUsageError = 2;
// How long the end waits, from the quit on, for the video players let go as the windows closed:
// their teardown runs while the quit's other steps do.
constexpr int kPlayerTeardownMs = 200;
// How long the end turns the event loop for image loads to end: a worker's decode at most.
constexpr int kLoadEndMs = 2000;

// The analytics client is configured before the launch sequence, so signals sent during launch
// find it ready.
void startAnalytics()
{
    const Config& config = Config::current();
    auto analytics = std::make_shared<signalry::SignalryManagerConfiguration>(config.analyticsAppId, std::nullopt,
        config.analyticsUrl.isEmpty() ? std::nullopt : std::optional<QUrl>(config.analyticsUrl));
    // The CA file's authorities count beside the system's, as for every other connection.
    if (!config.caCertificateFile.isEmpty())
        analytics->setCertificateCheck(Http::shared().caFileCheck(config.caCertificateFile));
    signalry::Signalry::initialize(std::move(analytics));
}
// Likes asked for while the list was read, and settings changes the disk refused, written now.
void saveLastChanges()
{
    LikedWallpapersService::shared().flush();
    UserDefaults::standard().flush();
}
} // namespace

int ApplicationMain::run(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const CommandLine::Reading asked = CommandLine::read(arguments);
    switch (asked.action) {
    case CommandLine::Action::printUsage:
        std::fputs(CommandLine::usage().toLocal8Bit().constData(), stdout);
        return 0;
    case CommandLine::Action::printVersion:
        std::printf("Quorvelle %s\n", QUORVELLE_VERSION);
        return 0;
    case CommandLine::Action::refuse:
        std::fprintf(stderr, "quorvelle: %s\nTry 'quorvelle --help' for the options.\n", asked.error.toLocal8Bit().constData());
        return kUsageError;
    case CommandLine::Action::run:
        break;
    }

    HttpWorker::preferPlainEventLoops();
    QApplication app(argc, argv);
    // libmpv refuses to start unless numbers are formatted the C way.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(ApplicationId::displayName());
    // Docks group the windows under the installed launcher entry: on Wayland by their app id,
    // the desktop file name; on X11 by their class, the application name above, which the entry
    // gives as StartupWMClass. The icon is the entry's, or the logo when not installed.
    QApplication::setDesktopFileName(ApplicationId::id());
    QApplication::setWindowIcon(QIcon::fromTheme(ApplicationId::id(), QIcon(AppLogo::defaultPicturePath())));
    QApplication::setApplicationVersion(QStringLiteral(QUORVELLE_VERSION));
    QApplication::setQuitOnLastWindowClosed(false);

    // A logout, a closed terminal (SIGHUP) or a kill ends the process through quit(), so the
    // termination steps still run.
    UnixSignalWatcher signalWatcher({SIGINT, SIGTERM, SIGHUP});
    QObject::connect(&signalWatcher, &UnixSignalWatcher::received, &app, [](int) { QApplication::quit(); });
    // The quit's first step, before those connected later: transfers stop writing, and their
    // files are let go on the transfer thread while the rest of the quit runs.
    QDeadlineTimer playersDeadline(0);
    QObject::connect(&app, &QCoreApplication::aboutToQuit, [&playersDeadline] {
        playersDeadline.setRemainingTime(kPlayerTeardownMs);
        Http::shared().cancelTransfers();
    });

    logLine(QStringLiteral("🚀"), QStringLiteral("Quorvelle"), QStringLiteral("Started version ") + QStringLiteral(QUORVELLE_VERSION));
    auto wallpaperApp = std::make_unique<VideoWallpaperApp>(QApplication::arguments(),
        [](const QString& name, const QHash<QString, QString>& parameters) { signalry::Signalry::signal(name, parameters); });
    // Another copy runs: this launch ends before anything of the profile is touched. One that
    // cannot run says why to whoever started it, with the application's objects already gone.
    if (const std::optional<int> code = wallpaperApp->claimInstance()) {
        const std::optional<LaunchRefusal> refusal = wallpaperApp->refusal();
        wallpaperApp.reset();
        if (refusal)
            refusal->tell();
        return *code;
    }

    startAnalytics();
    Http::shared().prepareTrust();
    wallpaperApp->launch();
    // Losing the Wayland compositor may end the process before the event loop returns (Qt's own
    // connection ends it at once): settings and likes are written when the loss is told, after
    // the end's own steps (connected first, by the launch).
    if (WaylandConnection* wayland = WaylandConnection::shared())
        QObject::connect(wayland, &WaylandConnection::lost, &saveLastChanges);
    // Losing the X server ends the process inside Qt, before the event loop returns and without
    // aboutToQuit: the quit's steps that need no display run when the loss is told. Those that
    // turn the event loop (the last signals, image loads) cannot: Qt would end the process in them.
    std::optional<X11ConnectionLoss> x11Loss;
    if (QGuiApplication::platformName() == QStringLiteral("xcb")) {
        x11Loss.emplace();
        QObject::connect(&*x11Loss, &X11ConnectionLoss::lost, [] {
            QMetaObject::invokeMethod(qApp, "aboutToQuit", Qt::DirectConnection);
            saveLastChanges();
            logLine(QStringLiteral("👋"), QStringLiteral("Quorvelle"), QStringLiteral("Quit"));
            // Qt's exit(1) would run the static objects' ends under an application and windows
            // that still live; with everything saved the process ends here, as Qt would have it.
            std::_Exit(1);
        });
    }
    const int code = QApplication::exec();
    // Each step of the exit that ends restarts the deadline of a signal: a slow exit that keeps
    // going ends by itself, with its saves.
    UnixSignalWatcher::extendDeadline();
    // Likes asked for while the list was read, and changes the disk refused, land first.
    saveLastChanges();
    UnixSignalWatcher::extendDeadline();
    // Qt's network thread ends with the calls still in flight, before the application goes.
    Http::shared().shutDown();
    UnixSignalWatcher::extendDeadline();
    // Delivering the last signals runs the event loop again, which can still store posters; the
    // cache keeps them in memory only from here, and its workers, which use the image plugins
    // that go with the application, end first.
    signalry::Signalry::terminate();
    UnixSignalWatcher::extendDeadline();
    // The last turns of the event loop: image loads still under way end here rather than stay
    // suspended for ever (their network calls already fail).
    if (!WallpaperImageLoader::endLoads(kLoadEndMs))
        logLine(QStringLiteral("⚠️"), QStringLiteral("Quorvelle"), QStringLiteral("An image load was still ending; quitting without it"));
    UnixSignalWatcher::extendDeadline();
    WallpaperImageCache::shared().stopDiskWrites();
    UnixSignalWatcher::extendDeadline();
    // libmpv probing a stream that never ends cannot be hurried, and its threads must not run
    // on while the libraries' own ends free what they use: with everything saved above, the
    // process ends here without them.
    const bool playersEnded = VideoPlayer::waitForTeardowns(int(playersDeadline.remainingTime()));
    if (!playersEnded)
        logLine(QStringLiteral("⚠️"), QStringLiteral("Quorvelle"), QStringLiteral("A video player was still ending; quitting without it"));
    logLine(QStringLiteral("👋"), QStringLiteral("Quorvelle"), QStringLiteral("Quit"));
    UnixSignalWatcher::allowTheRestOfTheExit();
    if (!playersEnded)
        std::_Exit(code);
    return code;
}
